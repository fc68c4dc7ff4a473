#pragma once
// POSIX file modes for the tests of unreadable files and unwritable folders.
// Windows has no such modes (and root ignores them): there those tests skip.

#include <string>

namespace varnel::test {

// True when a mode set with SetFileMode keeps this process out.
bool FileModesApply();
bool SetFileMode(const std::string& path, unsigned mode);
// Makes a named pipe; false where the system has none under a path (Windows).
bool MakeFifo(const std::string& path);

// A folder this process cannot create files in, for as long as the object
// lives: its write permission taken away, or for root (whom modes do not
// stop) a read-only file system mounted on it. Reason() says why not when
// the system offers neither (Windows, or a root that may not mount).
class UnwritableFolder {
 public:
  explicit UnwritableFolder(std::string path);
  ~UnwritableFolder();
  UnwritableFolder(const UnwritableFolder&) = delete;
  UnwritableFolder& operator=(const UnwritableFolder&) = delete;
  bool Made() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
  bool mounted_ = false;
};

}  // namespace varnel::test
