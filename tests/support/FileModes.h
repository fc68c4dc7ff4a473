#pragma once
// POSIX file modes for the tests of unreadable files and unwritable folders.
// Windows has no such modes (and root ignores them): there those tests skip.

#include <string>

namespace varnel::test {

// True when a mode set with SetFileMode keeps this process out.
bool FileModesApply();
bool SetFileMode(const std::string& path, unsigned mode);

}  // namespace varnel::test
