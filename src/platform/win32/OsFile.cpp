#include "platform/OsFile.h"
#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace varnel::platform {
namespace {

HANDLE AsHandle(intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

FileError Classify(DWORD error) {
  const bool full = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
  return full ? FileError::kDiskFull : FileError::kOther;
}

// One system call moves at most this much.
constexpr std::size_t kMaxTransfer = 1u << 30;

}  // namespace

const uint64_t OsFile::kMaxOffset = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

bool OsFile::Open(const std::string& path, bool create) {
  Close();
  // Others may read and even delete or rename the file while it is written,
  // as a POSIX descriptor allows.
  HANDLE h =
      ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    lastError_ = Classify(::GetLastError());
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

bool OsFile::OpenForReading(const std::string& path) {
  Close();
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    lastError_ = Classify(::GetLastError());
    return false;
  }
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    lastError_ = FileError::kOther;
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

bool OsFile::Close() {
  if (handle_ == kNone) return true;
  bool ok = ::CloseHandle(AsHandle(handle_)) != 0;
  handle_ = kNone;
  return ok;
}

uint64_t OsFile::Size() const {
  LARGE_INTEGER size{};
  if (handle_ == kNone || !::GetFileSizeEx(AsHandle(handle_), &size) || size.QuadPart < 0) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

std::size_t OsFile::ReadAt(uint64_t offset, void* data, std::size_t count) {
  if (handle_ == kNone) return 0;
  auto* out = static_cast<unsigned char*>(data);
  std::size_t done = 0;
  while (done < count) {
    OVERLAPPED o = At(offset + done);
    DWORD n = 0;
    const auto ask = static_cast<DWORD>(std::min(count - done, kMaxTransfer));
    if (!::ReadFile(AsHandle(handle_), out + done, ask, &n, &o) || n == 0) break;
    done += n;
  }
  return done;
}

std::size_t OsFile::WriteAt(uint64_t offset, const void* data, std::size_t count) {
  if (handle_ == kNone) return 0;
  const auto* in = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < count) {
    OVERLAPPED o = At(offset + done);
    DWORD n = 0;
    const auto ask = static_cast<DWORD>(std::min(count - done, kMaxTransfer));
    if (!::WriteFile(AsHandle(handle_), in + done, ask, &n, &o)) {
      lastError_ = Classify(::GetLastError());
      break;
    }
    if (n == 0) {
      lastError_ = FileError::kDiskFull;
      break;
    }
    done += n;
  }
  return done;
}

bool OsFile::Truncate(uint64_t size) {
  if (handle_ == kNone || size > kMaxOffset) return false;
  FILE_END_OF_FILE_INFO info{};
  info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFileInformationByHandle(AsHandle(handle_), FileEndOfFileInfo, &info, sizeof info) != 0;
}

bool OsFile::Sync() {
  return handle_ != kNone && ::FlushFileBuffers(AsHandle(handle_)) != 0;
}

}  // namespace varnel::platform
