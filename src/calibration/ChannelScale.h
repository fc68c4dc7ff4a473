#pragma once
// How one channel's samples become physical levels: the reading of a
// ChannelCalibration half as the calibration files define it. The live
// monitor and varnel-info read samples through it alike.
//
// A reference of RefLevel units reaches PctFullScale of the converter's full
// scale (CalRatio codes) at its peak, so a sine whose peak is A codes has the
// level RefLevel * A / (PctFullScale * CalRatio), in the reference's measure:
// rms when RefType is 1, peak otherwise. RefUnits names the decibel reference
// (1 V, 1 mV, 20 uPa in air, 1 uPa in water, 1 G); an acceleration record with
// a conversion is integrated once (velocity) or twice (displacement).
//
// Plain values; safe from any thread.

#include <cmath>
#include <string>

#include "wave/CalibrationRecord.h"

namespace varnel {

enum class CalibrationFault { None, NotFinite, ZeroRatio, ZeroReference };

// Why a calibration half cannot be used; None for one that can. A half whose
// CalibrationValid is not 1 carries no calibration and is never at fault.
CalibrationFault CheckCalibration(const ChannelCalibration& half);
const char* FaultText(CalibrationFault fault);

enum class Measure { Rms, Peak };

struct ChannelScale {
  bool calibrated = false;
  std::string name;         // ChannelName, or the side's name when empty
  std::string logUnits;     // LabelLog
  std::string linearUnits;  // LabelLinear
  Measure measure = Measure::Rms;
  // Codes (in the measure) that make one unit, before any integration.
  double codesPerUnit = 1.0;
  // The level that reads 0 dB, in the displayed units.
  double decibelReference = 1.0;
  int integrations = 0;           // 0, 1 (velocity) or 2 (displacement)
  double integratedFactor = 1.0;  // units of the integral per (unit * s^n)

  // The level of a component of `codes` (in the measure) at `frequency`;
  // negative when it has none (DC of an integrated signal).
  double Level(double codes, double frequency) const;
  // The same in decibels; -inf for no level.
  double Decibels(double codes, double frequency) const;
  // Instantaneous units of one code, and their name, for the waveform (an
  // integrated channel's waveform stays the acceleration it measured).
  double UnitsPerCode() const { return 1.0 / codesPerUnit; }
  std::string WaveformUnits() const { return integrations > 0 ? "G" : linearUnits; }
};

// The scale of a half; `side` ("Left", "Right") names a channel without one.
// A half without calibration reads in decibels re the converter's full scale.
ChannelScale ScaleOf(const ChannelCalibration& half, const std::string& side);

// Volts at the converter, where 32768 codes are 10 V whatever the gain: what
// a sample says when no calibration goes with it.
ChannelScale ConverterVolts(const std::string& name);

}  // namespace varnel
