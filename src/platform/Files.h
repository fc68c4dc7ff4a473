#pragma once
// File-system helpers with the semantics the recorder needs from the platform.
// Paths use the platform's separator ('/' on POSIX, '\\' on Windows, where '/'
// is understood too). The build picks posix/Files.cpp or win32/Files.cpp.
// Thread-safe.

#include <optional>
#include <string>
#include <string_view>

namespace varnel::platform {

extern const char kPathSeparator;

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
// Why files cannot be made, renamed or removed in the folder now, in the
// system's words ("Read-only file system"); empty when they can.
std::string FolderWriteProblem(const std::string& folder);

// Can be opened for reading now and is a regular file (not a folder or a pipe).
bool RegularFileReadable(const std::string& path);
// The whole contents of a readable regular file; nothing for a folder, a
// device or a fifo under its name (never blocks on one), or a failed read.
std::optional<std::string> ReadRegularFile(const std::string& path);

// Replaces the file's contents all at once: a reader sees the old or the new
// contents, never a part. An existing file keeps its permissions.
bool WriteFileAtomically(const std::string& path, const std::string& contents);

// The path with symbolic links followed, so that a rewrite replaces the file
// and not the link; the path itself when it cannot be resolved.
std::string ResolvedPath(const std::string& path);

// The folder that holds the running program, without a trailing separator.
std::string ExecutableFolder();

// The default folder for the recorder's files of one kind ("wave", "cal"):
// $HOME/orvanta/<kind> on POSIX, c:\orvanta\<kind> on Windows.
std::string DefaultDataFolder(std::string_view kind);

// True when the name can be a single file name in a folder of this platform.
bool IsPlainFileName(std::string_view name);
// True when the system keeps the name for a device, so that no file of that
// name can be made: on Windows CON, PRN, AUX, NUL, COM0-COM9 and LPT0-LPT9
// (and the superscripts 1-3), with any extension and in any case; none on POSIX.
bool IsReservedFileName(std::string_view name);
// True when the two names name one file in a folder of this platform: the
// same bytes on POSIX, the same without regard to case (as the file system
// compares, beyond ASCII) on Windows.
bool SameFileName(std::string_view a, std::string_view b);

// folder + separator + name.
std::string JoinPath(std::string_view folder, std::string_view name);

// Folder part of a path (before its last separator) and the part after it.
std::string_view FolderOf(std::string_view path);
std::string_view FileNameOf(std::string_view path);

}  // namespace varnel::platform
