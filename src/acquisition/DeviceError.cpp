#include "acquisition/DeviceError.h"

#include <cstdio>

namespace varnel {
namespace {

struct DeviceErrorEntry {
  DeviceError error;
  const char* text;  // printf format: the board's name (%s), then its status (%d), where used
};

// Texts name the board the user chose, whatever its kind.
constexpr DeviceErrorEntry kDeviceErrorTexts[] = {
    {DeviceError::kNone, ""},
    {DeviceError::kNoDevice, "There are no data acquisition devices available on your system."},
    {DeviceError::kOpenFailed, "Error opening device %s. Status code %d.\n"},
    {DeviceError::kConfigureFailed, "Unable to open the device.  It may already be in use by another program"},
    {DeviceError::kStartFailed, "Failure starting A/D"},
};

}  // namespace

std::string DeviceErrorText(DeviceError error, const std::string& board, int32_t status) {
  for (const DeviceErrorEntry& entry : kDeviceErrorTexts) {
    if (entry.error != error) continue;
    if (error != DeviceError::kOpenFailed) return entry.text;
    char text[160];
    std::snprintf(text, sizeof text, entry.text, board.c_str(), static_cast<int>(status));
    return text;
  }
  return {};
}

}  // namespace varnel
