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
  uint32_t ByteSize = 0;       // bytes(Length)
  uint32_t Length = 0;         // frames
  uint32_t Position = 0;       // current frame
  uint32_t HighWaterMark = 0;  // largest Position reached

  virtual void MoveToFrame(uint32_t frame);

  // A frame beyond Length leaves Position as it was; MoveToFrame follows either way.
  uint32_t SetPosition(uint32_t frame);
  uint32_t GetLength() const { return Length; }

 protected:
  WaveBuffer() = default;
  // Not virtual: a wave is never destroyed through its base.
  ~WaveBuffer() = default;
  WaveBuffer(const WaveBuffer&) = default;
  WaveBuffer& operator=(const WaveBuffer&) = default;
};

}  // namespace varnel
