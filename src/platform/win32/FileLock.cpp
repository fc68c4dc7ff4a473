#include "platform/FileLock.h"

#include "platform/FileSync.h"
#include "platform/win32/WindowsApi.h"

namespace varnel::platform {
namespace {

// Others may read and write but not delete, rename or replace the file, nor
// open it for deleting: the open that asks for deletion is the test.
constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE AsHandle(intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

HANDLE OpenHeld(const std::string& path, DWORD disposition) {
  const DWORD write = disposition == CREATE_NEW ? GENERIC_WRITE : 0;
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | DELETE | write, kShared, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  // A folder where nothing may be deleted: reading with deletion denied still
  // keeps out every other holder, which asks for deletion.
  if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED && disposition == OPEN_EXISTING)
    h = ::CreateFileA(path.c_str(), GENERIC_READ, kShared, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h;
}

bool WriteAll(HANDLE h, const std::string& contents) {
  DWORD written = 0;
  const bool ok =
      contents.empty() || (::WriteFile(h, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
                           written == contents.size());
  return ::FlushFileBuffers(h) != 0 && ok;
}

}  // namespace

FileLock::Outcome FileLock::Take(const std::string& path, std::string* reason) {
  Release();
  HANDLE h = OpenHeld(path, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return Outcome::kHeldElsewhere;
    if (reason) *reason = SystemErrorText(error);
    return Outcome::kFailed;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  path_ = path;
  return Outcome::kTaken;
}

bool FileLock::WriteDurably(const std::string& path, const std::string& contents, bool replaceExisting) {
  if (!replaceExisting) {
    // A new file is made under its name already held.
    HANDLE h = OpenHeld(path, CREATE_NEW);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (!WriteAll(h, contents)) {
      ::CloseHandle(h);
      ::DeleteFileA(path.c_str());
      return false;
    }
    Release();
    handle_ = reinterpret_cast<intptr_t>(h);
    path_ = path;
    return true;
  }
  // A held file cannot be replaced, not even by its holder.
  const bool ownFile = Held() && path_ == path;
  if (ownFile) Release();
  const bool written = WriteFileDurably(path, contents);
  if (written || ownFile) Take(path);
  return written;
}

bool FileLock::Remove() {
  if (!Held()) return false;
  FILE_DISPOSITION_INFO remove{TRUE};
  if (::SetFileInformationByHandle(AsHandle(handle_), FileDispositionInfo, &remove, sizeof remove)) {
    Release();
    return true;
  }
  const std::string path = path_;
  Release();
  return ::DeleteFileA(path.c_str()) != 0;
}

void FileLock::Release() {
  if (handle_ != kNone) ::CloseHandle(AsHandle(handle_));
  handle_ = kNone;
  path_.clear();
}

}  // namespace varnel::platform
