#pragma once
// A lock that says "a running program owns this file", seen by every process
// that opens the file: in another PID namespace or container, and on another
// machine that shares the folder. On POSIX it is an open-file-description
// lock (a classic fcntl lock belongs to the process and goes as soon as any
// descriptor of the file is closed); on Windows a handle that denies
// deletion. It goes with the object, or with the process however it ends.
// The build picks posix/FileLock.cpp or win32/FileLock.cpp.
//
// While a file is held, others can read it through ReadRegularFile but can
// neither take its lock nor remove or replace it (Windows), or take its lock
// (POSIX). One object is used by one thread at a time.

#include <cstdint>
#include <string>

namespace varnel::platform {

class FileLock {
 public:
  enum class Outcome {
    kTaken,          // this object holds the lock now
    kHeldElsewhere,  // another holder has it: the file is in use
    kUnsupported,    // the file system keeps no locks: nothing can be told
    kFailed,         // the file cannot be opened
  };

  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock of an existing file; on kFailed `reason` says why.
  Outcome Take(const std::string& path, std::string* reason = nullptr);
  // Writes the file durably (as WriteFileDurably) and holds it from then on;
  // a lock held before is given up. Without replaceExisting an existing file
  // makes it fail and stays untouched. On POSIX the new file is never seen
  // unlocked under its name; on Windows a replaced file is unlocked for the
  // moment of its replacement.
  bool WriteDurably(const std::string& path, const std::string& contents, bool replaceExisting);
  // Removes the held file and gives up the lock.
  bool Remove();
  void Release();
  bool Held() const { return handle_ != kNone; }
  const std::string& Path() const { return path_; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;  // a descriptor or a HANDLE
  std::string path_;
};

}  // namespace varnel::platform
