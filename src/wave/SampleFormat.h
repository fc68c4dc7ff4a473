#pragma once
// The sample format of a wave file: six 32-bit words, copied as they are.

#include <cstddef>
#include <cstdint>

namespace varnel {

struct SampleFormat {
  uint16_t Channels;
  uint32_t SampleRate;
  uint16_t BytesPerSample;
  uint16_t BitsPerSample;
  int32_t MaxValue;
  int32_t MinValue;
  int32_t ZeroValue;

  SampleFormat() { Set(44100, 1, 2); }

  // Normalises (rate 0 -> 44100, channels other than 1 or 2 -> 1, bytes per
  // sample other than 1 to 4 -> 2) and derives bits and the value range.
  void Set(uint32_t rate, uint32_t channels, uint32_t bytesPerSample);

  uint32_t BlockAlign() const { return static_cast<uint32_t>(Channels) * BytesPerSample; }
  uint64_t Bytes(uint64_t frames) const { return frames * BlockAlign(); }
  // Whole frames in a byte count; 0 when the format has no channels or no bytes.
  uint64_t Frames(uint64_t bytes) const;
};

static_assert(sizeof(SampleFormat) == 24, "six 32-bit words");
static_assert(offsetof(SampleFormat, Channels) == 0);
static_assert(offsetof(SampleFormat, SampleRate) == 4);
static_assert(offsetof(SampleFormat, BytesPerSample) == 8);
static_assert(offsetof(SampleFormat, BitsPerSample) == 10);
static_assert(offsetof(SampleFormat, MaxValue) == 12);
static_assert(offsetof(SampleFormat, MinValue) == 16);
static_assert(offsetof(SampleFormat, ZeroValue) == 20);

}  // namespace varnel
