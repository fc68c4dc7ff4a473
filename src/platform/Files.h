#pragma once
// File-system helpers with the semantics the recorder needs from the platform.
// Paths use '/' as the separator. Thread-safe.

#include <string>
#include <string_view>

namespace varnel::platform {

inline constexpr char kPathSeparator = '/';

// Creates a new, empty file "<folder>/<prefix>XXXX.tmp" that no other caller can
// get, and returns its path; "" when the folder cannot hold it.
std::string ReserveUniqueFileName(const std::string& folder, std::string_view prefix);

// Renames within one file system. With replaceExisting false an existing target
// makes the call fail and stays untouched.
bool RenameFile(const std::string& from, const std::string& to, bool replaceExisting);

// Copies 'from' over 'to'. The target is replaced only by a complete copy: a
// copy that fails part-way leaves an existing target as it was.
bool CopyFileReplacing(const std::string& from, const std::string& to);

bool DeleteFile(const std::string& path);
bool FileExists(const std::string& path);     // a regular file or anything else that is there
bool FileReadable(const std::string& path);   // can be opened for reading now
bool FolderExists(const std::string& path);
bool CreateFolders(const std::string& path);  // like mkdir -p

// The folder that holds the running program (from /proc/self/exe), without a
// trailing separator.
std::string ExecutableFolder();

// Folder part of a path (before its last separator) and the part after it.
std::string_view FolderOf(std::string_view path);
std::string_view FileNameOf(std::string_view path);

}  // namespace varnel::platform
