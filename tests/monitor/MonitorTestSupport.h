#pragma once
// Calibration halves as the calibration creator makes them, and test signals.

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/FixedString.h"
#include "wave/CalibrationRecord.h"

namespace varnel::test {

// A microphone of `mvPerPa` millivolts per pascal, as the creator writes it.
inline ChannelCalibration Microphone(float mvPerPa, int gain = 1) {
  ChannelCalibration c{};
  c.CalibrationValid = 1;
  c.RefLevel = 1.0f;
  c.RefType = 1;
  c.RefUnits = 8;
  CopyCut(c.LabelLinear, "Pascals (PA)");
  CopyCut(c.LabelLog, "SPL (dB re 20uPA)");
  c.LabelType = 1;
  c.PctFullScale = static_cast<float>(mvPerPa * 0.0001414) * static_cast<float>(gain);
  c.CalRatio = 32768.0f;
  CopyCut(c.ChannelName, "Mic");
  return c;
}

// An accelerometer of `mvPerG` millivolts per G with one of the conversions.
inline ChannelCalibration Accelerometer(float mvPerG, int conversion = 0, int integration = 0) {
  ChannelCalibration c = Microphone(mvPerG);
  c.RefUnits = 3;
  c.ConversionType = conversion;
  c.IntegrationType = integration;
  CopyCut(c.LabelLinear, "Acceleration (G)");
  CopyCut(c.LabelLog, "Acceleration (G dB)");
  CopyCut(c.ChannelName, "Accel");
  return c;
}

// `frames` samples of a sine of `peakCodes` at `hz`, plus `offset`.
inline std::vector<int16_t> Sine(std::size_t frames, double rate, double hz, double peakCodes, double offset = 0.0,
                                 double phase = 0.3) {
  std::vector<int16_t> out(frames);
  for (std::size_t n = 0; n < frames; ++n)
    out[n] = static_cast<int16_t>(std::lround(offset + peakCodes * std::sin(2 * M_PI * hz * n / rate + phase)));
  return out;
}

}  // namespace varnel::test
