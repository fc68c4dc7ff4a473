#pragma once
// A file opened for reading and writing through the system's own handle, with
// positional reads and writes that go straight to the system (no buffer of its
// own). The build picks posix/OsFile.cpp or win32/OsFile.cpp.
//
// One object is used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <string>

namespace varnel::platform {

// Why the latest open or write of a file failed, as far as callers care.
enum class FileError { kNone, kDiskFull, kOther };

class OsFile {
 public:
  // Largest offset the system's file calls take.
  static const uint64_t kMaxOffset;

  OsFile() = default;
  ~OsFile() { Close(); }
  OsFile(const OsFile&) = delete;
  OsFile& operator=(const OsFile&) = delete;

  // Opens for reading and writing; 'create' makes the file when it is absent
  // and keeps its contents when it is there.
  bool Open(const std::string& path, bool create);
  // Opens a regular file for reading only; anything else (a folder, a fifo, a
  // device) is refused without waiting for it.
  bool OpenForReading(const std::string& path);
  // False when the system reports a failure; the handle is gone either way.
  bool Close();
  bool IsOpen() const { return handle_ != kNone; }

  uint64_t Size() const;  // 0 when not open or unknown
  // Bytes transferred; fewer than asked at the end of the file or on a failure.
  std::size_t ReadAt(uint64_t offset, void* data, std::size_t count);
  std::size_t WriteAt(uint64_t offset, const void* data, std::size_t count);
  bool Truncate(uint64_t size);
  // The file's data on the medium.
  bool Sync();
  // The reason of the latest failed open or write; kNone when none failed.
  FileError LastError() const { return lastError_; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;  // a descriptor or a HANDLE
  FileError lastError_ = FileError::kNone;
};

}  // namespace varnel::platform
