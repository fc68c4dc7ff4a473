#include "calibration/ChannelScale.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "platform/FixedString.h"

namespace varnel {
namespace {

constexpr double kStandardGravity = 9.80665;  // m/s^2 per G

// Length units of the acceleration conversions, in metres.
double MetresPerUnit(int conversion) {
  switch (conversion) {
    case 1:
    case 4:
      return 0.3048;  // ft
    case 2:
    case 5:
      return 0.0254;  // in
    case 7:
    case 8:
      return 0.0000254;  // mils
    case 3:
    case 6:
      return 0.001;  // mm
    default:
      return 0.0;
  }
}

double DecibelReferenceOf(int refUnits) {
  switch (refUnits) {
    case 8:
      return 20e-6;  // Pa in air
    case 11:
      return 1e-6;  // Pa in water
    default:
      return 1.0;  // V, mV, G and anything else: one unit
  }
}

}  // namespace

CalibrationFault CheckCalibration(const ChannelCalibration& half) {
  if (half.CalibrationValid != 1) return CalibrationFault::None;
  if (!std::isfinite(half.RefLevel) || !std::isfinite(half.PctFullScale) || !std::isfinite(half.CalRatio))
    return CalibrationFault::NotFinite;
  const double codes = static_cast<double>(half.PctFullScale) * half.CalRatio;
  if (codes == 0.0 || !std::isfinite(codes)) return CalibrationFault::ZeroRatio;
  if (half.RefLevel == 0.0f) return CalibrationFault::ZeroReference;
  return CalibrationFault::None;
}

const char* FaultText(CalibrationFault fault) {
  switch (fault) {
    case CalibrationFault::None:
      return "";
    case CalibrationFault::NotFinite:
      return "calibration with a number that is not finite";
    case CalibrationFault::ZeroRatio:
      return "calibration with a zero full-scale share or ratio";
    case CalibrationFault::ZeroReference:
      return "calibration with a zero reference level";
  }
  return "calibration refused";
}

ChannelScale ScaleOf(const ChannelCalibration& half, const std::string& side) {
  ChannelScale scale;
  scale.name = std::string(FieldText(half.ChannelName));
  if (scale.name.empty()) scale.name = side;
  if (half.CalibrationValid != 1 || CheckCalibration(half) != CalibrationFault::None) {
    // Full scale (32768 codes at the peak) reads 0 dB.
    scale.logUnits = "dB re full scale";
    scale.linearUnits = "full scale";
    scale.measure = Measure::Peak;
    scale.codesPerUnit = 32768.0;
    return scale;
  }
  scale.calibrated = true;
  scale.logUnits = std::string(FieldText(half.LabelLog));
  scale.linearUnits = std::string(FieldText(half.LabelLinear));
  scale.measure = half.RefType == 1 ? Measure::Rms : Measure::Peak;
  const double peakCodes = std::fabs(static_cast<double>(half.PctFullScale) * half.CalRatio);
  // An rms reference of one unit peaks at sqrt(2) units.
  const double measureCodes = scale.measure == Measure::Rms ? peakCodes / std::sqrt(2.0) : peakCodes;
  scale.codesPerUnit = measureCodes / std::fabs(static_cast<double>(half.RefLevel));
  scale.decibelReference = DecibelReferenceOf(half.RefUnits);
  const double metres = MetresPerUnit(half.ConversionType);
  if (half.RefUnits == 3 && metres > 0.0 && (half.IntegrationType == 1 || half.IntegrationType == 2)) {
    scale.integrations = half.IntegrationType;
    scale.integratedFactor = kStandardGravity / metres;
    scale.decibelReference = 1.0;
  }
  return scale;
}

ChannelScale ConverterVolts(const std::string& name) {
  ChannelScale scale;
  scale.name = name;
  scale.linearUnits = "V";
  scale.logUnits = "dBV";
  scale.measure = Measure::Peak;
  scale.codesPerUnit = 3276.8;
  return scale;
}

double ChannelScale::Level(double codes, double frequency) const {
  double level = codes / codesPerUnit;
  if (integrations == 0) return level;
  const double omega = 2.0 * std::numbers::pi * frequency;
  if (!(omega > 0.0)) return -1.0;
  level *= integratedFactor;
  for (int i = 0; i < integrations; ++i) level /= omega;
  return level;
}

double ChannelScale::Decibels(double codes, double frequency) const {
  const double level = Level(codes, frequency);
  if (level < 0.0) return -std::numeric_limits<double>::infinity();
  return 20.0 * std::log10(level / decibelReference);
}

}  // namespace varnel
