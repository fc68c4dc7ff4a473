#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/FileSync.h"
#include "platform/Files.h"
#include "platform/posix/Descriptors.h"

namespace varnel::platform {
namespace {

// An open-file-description lock over the whole file: a write lock where the
// file can be written, a read lock where it can only be read; either keeps
// every other holder out of a write lock. 0, or the errno of the refusal.
int LockWhole(int fd, bool forWriting) {
  struct flock range {};
  range.l_type = forWriting ? F_WRLCK : F_RDLCK;
  range.l_whence = SEEK_SET;
  int result;
  do {
    result = ::fcntl(fd, F_OFD_SETLK, &range);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

FileLock::Outcome Refusal(int error) {
  if (error == EAGAIN || error == EACCES) return FileLock::Outcome::kHeldElsewhere;
  return FileLock::Outcome::kUnsupported;  // ENOLCK, EINVAL, EOPNOTSUPP: no locks here
}

bool SameFile(int fd, const std::string& path) {
  struct stat held {
  }, named{};
  return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

FileLock::Outcome FileLock::Take(const std::string& path, std::string* reason) {
  Release();
  // A holder may replace the file between our open and our lock: the lock
  // must be on the file that is under the name afterwards.
  for (int attempt = 0; attempt < 8; ++attempt) {
    bool forWriting = true;
    int fd = OpenRetrying(path, O_RDWR | O_NOCTTY);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
      forWriting = false;
      fd = OpenRetrying(path, O_RDONLY | O_NOCTTY);
    }
    if (fd < 0) {
      if (reason) *reason = std::strerror(errno);
      return Outcome::kFailed;
    }
    const int error = LockWhole(fd, forWriting);
    if (error != 0) {
      ::close(fd);
      return Refusal(error);
    }
    if (SameFile(fd, path)) {
      handle_ = fd;
      path_ = path;
      return Outcome::kTaken;
    }
    ::close(fd);
  }
  if (reason) *reason = "it is being replaced all the time";
  return Outcome::kFailed;
}

bool FileLock::WriteDurably(const std::string& path, const std::string& contents, bool replaceExisting) {
  std::string tmp;
  const int fd = WriteSyncedTemporary(path, contents, &tmp);
  if (fd < 0) return false;
  // Locked before it has its name, so nobody finds it unlocked; a file
  // system without locks still gets the file.
  LockWhole(fd, true);
  const bool named = replaceExisting ? ::rename(tmp.c_str(), path.c_str()) == 0 : RenameWithoutReplacing(tmp, path);
  if (!named) {
    ::close(fd);
    ::unlink(tmp.c_str());
    return false;
  }
  Release();
  handle_ = fd;
  path_ = path;
  SyncFolder(std::string(FolderOf(path)));
  return true;
}

bool FileLock::Remove() {
  if (!Held()) return false;
  const bool removed = ::unlink(path_.c_str()) == 0;
  Release();
  return removed;
}

void FileLock::Release() {
  if (handle_ != kNone) ::close(static_cast<int>(handle_));
  handle_ = kNone;
  path_.clear();
}

}  // namespace varnel::platform
