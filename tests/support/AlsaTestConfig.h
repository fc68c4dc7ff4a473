#pragma once
// A private ALSA configuration for tests: no sound hardware, only alsa-lib's
// own plugins. Each input is a `file` plugin over `null` whose infile holds a
// known signal per channel (one input in 32-bit samples), behind a `plug` that fixes its channel count (and
// for the restricted one its rate, as a card would), with a name hint.
// Installing it points ALSA_CONFIG_PATH at it for this process and its
// children.

#include <cstdint>
#include <string>

#include "support/TempDir.h"

namespace varnel::test {

class AlsaTestConfig {
 public:
  // `frames`: length of every infile, longer than any capture of the tests;
  // `withFloat`: one more input, last in the list, of float samples only.
  explicit AlsaTestConfig(int64_t frames = 1 << 20, bool withFloat = false);

  // The sample of channel c at frame f of every input: a counter with the
  // channel in its top four bits.
  static int16_t Signal(int channel, int64_t frame) {
    return static_cast<int16_t>(static_cast<uint16_t>((channel << 12) | (frame & 0xFFF)));
  }
  // Board names as the ALSA boards list them.
  static std::string InputName(int channels);  // any usual rate
  static std::string CardName();               // 2 channels, 48000 Hz only
  static std::string Input32Name();            // 2 channels of S32_LE only
  static std::string FloatName();              // 4 channels of FLOAT_LE only
  // The float input's sample: Signal / 32768, but for a few per thousand
  // frames on channels 2 and 3 at and beyond full scale, and not a number.
  static float FloatSignal(int channel, int64_t frame);
  const std::string& Path() const { return path_; }

 private:
  TempDir dir_;
  std::string path_;
};

}  // namespace varnel::test
