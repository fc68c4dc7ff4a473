#pragma once
// The sample format and the frame counters of a wave, without storage.
// MoveToFrame is its one virtual operation; WaveIO also moves the file.
//
// Called on the main thread only.

#include <cstdint>

#include "wave/SampleFormat.h"

namespace varnel {

class WaveBuffer {
 public:
  int32_t Failed = 0;  // 1 once an operation has failed
  SampleFormat Format;
  // 64-bit: a broadcast wave file grows past the 4 GiB of a wave file's sizes.
  uint64_t ByteSize = 0;       // bytes(Length)
  uint64_t Length = 0;         // frames
  uint64_t Position = 0;       // current frame
  uint64_t HighWaterMark = 0;  // largest Position reached

  virtual void MoveToFrame(uint64_t frame);

  // A frame beyond Length leaves Position as it was; MoveToFrame follows either way.
  uint64_t SetPosition(uint64_t frame);
  uint64_t GetLength() const { return Length; }

 protected:
  WaveBuffer() = default;
  // Not virtual: a wave is never destroyed through its base.
  ~WaveBuffer() = default;
  WaveBuffer(const WaveBuffer&) = default;
  WaveBuffer& operator=(const WaveBuffer&) = default;
};

}  // namespace varnel
