#include "platform/OsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace varnel::platform {
namespace {

FileError Classify(int error) {
  bool full = error == ENOSPC;
#ifdef EDQUOT
  full = full || error == EDQUOT;  // a user's quota is that user's full disk
#endif
  return full ? FileError::kDiskFull : FileError::kOther;
}

}  // namespace

const uint64_t OsFile::kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());

bool OsFile::Open(const std::string& path, bool create) {
  Close();
  int flags = O_RDWR | O_CLOEXEC;
  if (create) flags |= O_CREAT;
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    lastError_ = Classify(errno);
    return false;
  }
  handle_ = fd;
  return true;
}

bool OsFile::OpenForReading(const std::string& path) {
  Close();
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    lastError_ = Classify(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    lastError_ = FileError::kOther;
    return false;
  }
  // Reads of a regular file never wait: the flag only kept the open from blocking.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle_ = fd;
  return true;
}

bool OsFile::Close() {
  if (handle_ == kNone) return true;
  // close() is not retried on EINTR: on Linux the descriptor is gone either way.
  bool ok = ::close(static_cast<int>(handle_)) == 0;
  handle_ = kNone;
  return ok;
}

uint64_t OsFile::Size() const {
  struct stat st {};
  if (handle_ == kNone || ::fstat(static_cast<int>(handle_), &st) != 0 || st.st_size < 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

std::size_t OsFile::ReadAt(uint64_t offset, void* data, std::size_t count) {
  if (handle_ == kNone) return 0;
  auto* out = static_cast<unsigned char*>(data);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(static_cast<int>(handle_), out + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t OsFile::WriteAt(uint64_t offset, const void* data, std::size_t count) {
  if (handle_ == kNone) return 0;
  const auto* in = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(static_cast<int>(handle_), in + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that takes nothing without an error is the disk refusing more.
      lastError_ = n < 0 ? Classify(errno) : FileError::kDiskFull;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool OsFile::Truncate(uint64_t size) {
  if (handle_ == kNone || size > kMaxOffset) return false;
  int rc;
  do {
    rc = ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size));
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

bool OsFile::Sync() {
  return handle_ != kNone && ::fdatasync(static_cast<int>(handle_)) == 0;
}

}  // namespace varnel::platform
