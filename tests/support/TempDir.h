#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.

#include <string>

#include "platform/Files.h"

namespace varnel::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return platform::JoinPath(path_, name); }

 private:
  std::string path_;
};

// Whole-file helpers for tests.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);
// Runs a shell command and returns its standard output; exit status in *status.
// POSIX builds only.
std::string RunCommand(const std::string& command, int* status = nullptr);

}  // namespace varnel::test
