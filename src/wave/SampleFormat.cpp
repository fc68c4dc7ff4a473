#include "wave/SampleFormat.h"

namespace varnel {
namespace {

struct Range {
  int32_t max;
  int32_t min;
  int32_t zero;
};

// The ranges are symmetric, and 8-bit silence is 127: files and meters rely on these values.
constexpr Range kRanges[] = {
    {255, 0, 127},
    {32767, -32767, 0},
    {8388607, -8388607, 0},
    {1073741824, -1073741824, 0},
};

}  // namespace

void SampleFormat::Set(uint32_t rate, uint32_t channels, uint32_t bytesPerSample) {
  if (rate == 0) rate = 44100;
  if (channels == 0 || channels > 2) channels = 1;
  if (bytesPerSample == 0 || bytesPerSample > 4) bytesPerSample = 2;
  Channels = static_cast<uint16_t>(channels);
  SampleRate = rate;
  BytesPerSample = static_cast<uint16_t>(bytesPerSample);
  BitsPerSample = static_cast<uint16_t>(8 * bytesPerSample);
  const Range& range = kRanges[bytesPerSample - 1];
  MaxValue = range.max;
  MinValue = range.min;
  ZeroValue = range.zero;
}

uint64_t SampleFormat::Frames(uint64_t bytes) const {
  if (Channels == 0 || BytesPerSample == 0) return 0;
  return bytes / Channels / BytesPerSample;
}

}  // namespace varnel
