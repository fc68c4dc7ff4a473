#include "engine/TriggerSetup.h"

#include <cmath>
#include <cstdio>

#include "calibration/CalibrationFile.h"
#include "platform/FixedString.h"
#include "records/LevelTrigger.h"

namespace varnel {
namespace {

constexpr double kFullScaleCodes = 32768.0;

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

double LevelCodes(const TriggerLevel& level, const ChannelScale& scale) {
  return level.percent ? level.value / 100.0 * kFullScaleCodes : level.value * scale.codesPerUnit;
}

}  // namespace

ChannelScale TriggerChannelScale(const ChannelSettings& channel, int32_t index) {
  const std::string label(FieldText(channel.szLabel));
  CalibrationRecord record = ZeroCalibrationRecord();
  char path[sizeof channel.szCalFilename];
  CopyCut(path, FieldText(channel.szCalFilename));
  if (!CalibrationFile::Read(path, &record, index, channel.Gain)) return ConverterVolts(label);
  const ChannelScale scale = ScaleOf(record.Left, label);
  return scale.calibrated ? scale : ConverterVolts(label);
}

std::string TriggerLevelUnit(const ChannelScale& scale) {
  const std::string unit = scale.WaveformUnits();
  return unit.empty() ? "V" : unit;
}

std::string TriggerProblem::Text() const {
  const std::string channelText = "channel " + std::to_string(channel);
  switch (fault) {
    case TriggerFault::kNone:
      return {};
    case TriggerFault::kWithTtl:
      return "The level trigger and the external (TTL) trigger cannot both be on.  Turn one of them off.";
    case TriggerFault::kChannelNotEnabled:
      return "The level trigger watches " + channelText + ", which is not enabled.  Enable it or choose another.";
    case TriggerFault::kLevelNotANumber:
      return "The level trigger's level \"" + detail + "\" is not a number.";
    case TriggerFault::kLevelBeyondFullScale:
      return "The level trigger's level " + detail + " on " + channelText +
             " is beyond the full scale of the converter, so no sample can reach it.";
    case TriggerFault::kBadHysteresis:
      return "The level trigger's hysteresis \"" + detail + "\" must be a number from 0 to 100 % of full scale.";
    case TriggerFault::kBadPreTrigger:
      return "The pre-trigger time \"" + detail + "\" must be a number of seconds from 0 to 60.";
    case TriggerFault::kNotEnoughMemory:
      return "The pre-trigger history needs " + detail +
             " of memory, more than the machine has free.  Shorten the pre-trigger time or record fewer channels.";
    case TriggerFault::kNoPostTrigger:
      return "The post-trigger time \"" + detail + "\" holds no sample at this sampling rate.";
  }
  return {};
}

TriggerProblem PlanLevelTrigger(const RecorderSettings& s, const ChannelSettingsArray& channels,
                                const ChannelScale& scale, std::optional<uint64_t> freeBytes, TriggerPlan* plan) {
  const int32_t ch = s.LevelTriggerChannel;
  auto fault = [&](TriggerFault f, std::string detail = {}) { return TriggerProblem{f, ch, std::move(detail)}; };
  if (IsSet(s.TriggerEnable)) return fault(TriggerFault::kWithTtl);
  if (ch < 0 || ch >= kChannelCount || !IsSet(channels[ch].bIsEnabled)) return fault(TriggerFault::kChannelNotEnabled);
  if (!std::isfinite(s.LevelTrigger.value)) return fault(TriggerFault::kLevelNotANumber, Number(s.LevelTrigger.value));
  const double level = LevelCodes(s.LevelTrigger, scale);
  if (!(std::fabs(level) <= kFullScaleCodes))
    return fault(TriggerFault::kLevelBeyondFullScale,
                 s.LevelTrigger.percent ? Number(s.LevelTrigger.value) + " %"
                                        : Number(s.LevelTrigger.value) + " " + TriggerLevelUnit(scale));
  if (!(s.LevelTriggerHysteresis >= 0.0 && s.LevelTriggerHysteresis <= 100.0))
    return fault(TriggerFault::kBadHysteresis, Number(s.LevelTriggerHysteresis));
  if (!(s.PreTriggerSeconds >= 0.0 && s.PreTriggerSeconds <= kMaxPreTriggerSeconds))
    return fault(TriggerFault::kBadPreTrigger, Number(s.PreTriggerSeconds));
  const double post = std::round(static_cast<double>(s.PostTriggerRunTime) * s.SamplingRate);
  if (!(post >= 1.0)) return fault(TriggerFault::kNoPostTrigger, Number(s.PostTriggerRunTime));
  TriggerPlan p;
  p.channel = ch;
  p.thresholds = {level, s.LevelTriggerHysteresis / 100.0 * kFullScaleCodes, s.LevelTriggerSlope};
  p.preFrames = static_cast<uint32_t>(std::llround(s.PreTriggerSeconds * s.SamplingRate));
  p.postFrames = static_cast<uint64_t>(post);
  p.events = s.TriggerEvents;
  for (int32_t slot = 0; slot < kChannelCount; ++slot)
    p.recorded[slot] = IsSet(channels[slot].bIsEnabled) && IsSet(channels[slot].bIsRecording);
  uint64_t bytes = 0;
  for (bool kept : p.recorded) bytes += kept ? uint64_t{p.preFrames} * sizeof(int16_t) : 0;
  if (freeBytes && bytes > *freeBytes)
    return fault(TriggerFault::kNotEnoughMemory, Number(static_cast<double>(bytes) / (1024.0 * 1024.0)) + " MiB");
  *plan = p;
  return {};
}

std::string DescribeTrigger(const RecorderSettings& s, const ChannelScale& scale) {
  const std::string level = s.LevelTrigger.percent ? Number(s.LevelTrigger.value) + " % of full scale"
                                                   : Number(s.LevelTrigger.value) + " " + TriggerLevelUnit(scale);
  return std::string(TriggerSlopeKey(s.LevelTriggerSlope)) + ", " + level;
}

}  // namespace varnel
