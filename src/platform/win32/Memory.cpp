#include "platform/Memory.h"

#include "platform/win32/WindowsApi.h"

namespace varnel::platform {

std::optional<uint64_t> AvailableMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
  return static_cast<uint64_t>(status.ullAvailPhys);
}

}  // namespace varnel::platform
