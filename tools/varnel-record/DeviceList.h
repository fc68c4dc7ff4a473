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

// The device of one run. A run changes nothing of the saved records through
// its device: a device named on the command line is used for this run only
// (the channels it cannot offer keep their saved set-up), and without one the
// settings' own device is used only if it is still where it was: a list that
// changed is refused at every run, never followed to whatever is now there.
class DeviceChoice {
 public:
  // Before the device list is filled: the records as the settings hold them.
  explicit DeviceChoice(RecordingEngine& engine);
  // After: selects device `index` (< 0: the settings' own; it must be in the
  // list) and says which one is used; false after saying why not.
  bool Choose(int32_t index);
  // Before the settings are written.
  void Restore();

 private:
  bool SavedDeviceIsThere() const;

  RecordingEngine& engine_;
  const ChannelSettingsArray channels_;
  const RecorderSettings settings_;
  bool chosen_ = false;  // by the command line
};

}  // namespace varnel::record
