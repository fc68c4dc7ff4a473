#pragma once
// The last frames of every recorded channel, kept while a level trigger
// waits: a ring per channel of a fixed number of frames, so that its memory
// is that number times the channels times 2 bytes, whatever the run's length.
//
// Main thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/RecordingFileSet.h"

namespace varnel {

class PreTriggerHistory {
 public:
  // Room for `frames` frames of each channel with `keep` set.
  void Reset(uint32_t frames, const std::array<bool, kChannelCount>& keep);
  // Frames [from, from + count) of the buffer go in; the oldest go out.
  void Push(const ChannelBlocks& buffer, uint32_t from, uint32_t count);
  // Everything held goes, as after a gap in the samples.
  void Clear() { held_ = 0; }
  uint32_t Held() const { return held_; }
  uint32_t Capacity() const { return capacity_; }
  // The newest `frames` held frames (at most Held()), oldest first, in at
  // most two pieces, each told to `piece`.
  void Replay(uint32_t frames, const std::function<void(const ChannelBlocks&)>& piece) const;

 private:
  uint32_t capacity_ = 0;
  uint32_t held_ = 0;
  uint32_t next_ = 0;  // where the next frame goes
  std::array<std::vector<int16_t>, kChannelCount> rings_;
};

}  // namespace varnel
