#pragma once
// Why the acquisition device could not do what a Run asked, each reason with
// the text the program shows for it. The device never talks to the user: it
// keeps its latest problem, and the Run says it.

#include <cstdint>
#include <string>

namespace varnel {

enum class DeviceError {
  kNone,
  kNoDevice,         // the device list is empty
  kOpenFailed,       // the board refused to be initialised (with its status)
  kConfigureFailed,  // the board refused the run's settings or buffers
  kStartFailed,      // the board refused to start
};

// The text shown for `error` about the board named `board` with the driver's
// `status`; empty for kNone.
std::string DeviceErrorText(DeviceError error, const std::string& board, int32_t status);

struct DeviceProblem {
  DeviceError error = DeviceError::kNone;
  std::string board;   // the name the device list shows
  int32_t status = 0;  // the board's status code, where it gave one
  std::string Text() const { return DeviceErrorText(error, board, status); }
  explicit operator bool() const { return error != DeviceError::kNone; }
};

}  // namespace varnel
