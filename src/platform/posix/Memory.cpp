#include "platform/Memory.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace varnel::platform {

std::optional<uint64_t> AvailableMemoryBytes() {
  // MemAvailable counts the page cache the kernel would give up; the free
  // pages alone would refuse runs on any machine that has read files.
  if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kib = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
    std::fclose(f);
    if (found) return uint64_t{kib} * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || size <= 0) return std::nullopt;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(size);
}

}  // namespace varnel::platform
