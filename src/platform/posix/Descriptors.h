#pragma once
// What the POSIX file code shares: opening retried on EINTR, and the first
// half of a durable write (WriteFileDurably, and the file lock that holds
// what it wrote).

#include <string>

namespace varnel::platform {

// open(2) with O_CLOEXEC, retried when a signal interrupts it; -1 with errno.
int OpenRetrying(const std::string& path, int flags);

// A new temporary file beside `path` holding `contents`, synced to the disk:
// its open descriptor (close-on-exec) and its name in `tmp`; -1 with nothing
// left behind when it cannot be made.
int WriteSyncedTemporary(const std::string& path, const std::string& contents, std::string* tmp);

}  // namespace varnel::platform
