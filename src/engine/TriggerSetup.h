#pragma once
// What a Run makes of the level trigger's settings: the stage's plan, or the
// reason it cannot be had, each reason with its text (TriggerProblem::Text).
//
// Plain functions; main thread only.

#include <cstdint>
#include <optional>
#include <string>

#include "calibration/ChannelScale.h"
#include "engine/TriggerStage.h"
#include "records/ChannelSettings.h"

namespace varnel {

inline constexpr double kMaxPreTriggerSeconds = 60.0;

enum class TriggerFault {
  kNone,
  kWithTtl,
  kChannelNotEnabled,
  kLevelNotANumber,
  kLevelBeyondFullScale,
  kBadHysteresis,
  kBadPreTrigger,
  kNotEnoughMemory,
  kNoPostTrigger,
};

struct TriggerProblem {
  TriggerFault fault = TriggerFault::kNone;
  int32_t channel = 0;
  std::string detail;  // the value at fault, as the user gave it
  std::string Text() const;
  explicit operator bool() const { return fault != TriggerFault::kNone; }
};

// The plan of a run with the level trigger on. `scale` reads the trigger
// channel's samples; `freeBytes` is the memory the machine has free (nothing:
// not known, not checked).
TriggerProblem PlanLevelTrigger(const RecorderSettings& settings, const ChannelSettingsArray& channels,
                                const ChannelScale& scale, std::optional<uint64_t> freeBytes, TriggerPlan* plan);

// Channel `index`'s samples as the live monitor reads them: in its
// calibration's units, in volts at the converter without one. Reads the
// channel's calibration file.
ChannelScale TriggerChannelScale(const ChannelSettings& channel, int32_t index);
// The unit a level in the channel's units is written in ("Pa"; "V" at the converter).
std::string TriggerLevelUnit(const ChannelScale& scale);

// "rising, 2 Pa", "falling, 25 % of full scale": the trigger as the status line tells it.
std::string DescribeTrigger(const RecorderSettings& settings, const ChannelScale& scale);

}  // namespace varnel
