#pragma once
// The device list of the headless recorder: printing it, and choosing one of
// its devices for a run.

#include <cstdint>
#include <cstdio>

#include "boards/BoardApi.h"
#include "engine/RecordingEngine.h"

namespace varnel::record {

// Index, name, channels and rates of every device, as the window lists them.
void PrintDeviceList(BoardApi& board, std::FILE* out);

// Selects the device for this run as the window's device list does, and says
// which one is used. `index` < 0 keeps the one of the settings. False when
// there is no such device.
class DeviceChoice {
 public:
  DeviceChoice(RecordingEngine& engine, int32_t index);
  bool Valid() const { return valid_; }
  // Before the settings are written: a device chosen on the command line is
  // not saved.
  void Restore();

 private:
  RecordingEngine& engine_;
  int32_t saved_;
  char savedName_[80] = {};
  bool valid_ = true;
  bool chosen_ = false;  // by the command line
};

}  // namespace varnel::record
