#pragma once
// What a recording needs to survive a crash or a power cut: data and sizes
// forced to the disk, folder entries made durable, files written whole or not
// at all, names taken without ever replacing a file, and whether the process
// that left a file behind is still running. Thread-safe.

#include <ctime>
#include <string>

namespace varnel::platform {

// fdatasync of the file at path (opened for the call). False when it fails.
bool SyncFile(const std::string& path);
// fsync of a folder, so that names created or renamed in it survive a power cut.
bool SyncFolder(const std::string& folder);

// Writes the file through a temporary name in its folder, synced before the
// rename and the folder after it: a reader finds the old file or the new one,
// never a part.
bool WriteFileDurably(const std::string& path, const std::string& contents);

// Moves from to to within one file system; fails, leaving both alone, when to exists.
bool RenameWithoutReplacing(const std::string& from, const std::string& to);

// The local time of the file's last change; false when it cannot be read.
bool FileModifiedLocalTime(const std::string& path, std::tm* time);
// Seconds since the file last changed; -1 when it cannot be read.
long long SecondsSinceModified(const std::string& path);

// Who this process is, in a form that stays unique across reboots and pid reuse.
std::string ProcessIdentity();
// Whether the process that gave this identity is still running.
bool ProcessIsRunning(const std::string& identity);

}  // namespace varnel::platform
