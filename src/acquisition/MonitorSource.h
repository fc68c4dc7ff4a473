#pragma once
// What the analyser link reads from the acquisition device: the most recent
// frames of the two monitored channels.

#include <cstdint>

namespace varnel {

class MonitorSource {
 public:
  virtual ~MonitorSource() = default;
  // Fills `out` (count int16 slots) with the newest Left/Right frames, oldest
  // first. 1 when filled, 0 when nothing was delivered.
  virtual int ReadMonitorFrames(int32_t count, int32_t wantLeft, int32_t wantRight, int16_t* out,
                                int32_t noOffset) = 0;
};

}  // namespace varnel
