#pragma once
// The fuzz input as a file: the code under test reads files by path.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace varnel::fuzz {

// A path of the process's own, removed at exit, holding `data`.
inline const std::string& WriteInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/varnel-fuzz-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    static std::string removed = pattern;
    std::atexit([] { ::unlink(removed.c_str()); });
    return pattern;
  }();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

}  // namespace varnel::fuzz
