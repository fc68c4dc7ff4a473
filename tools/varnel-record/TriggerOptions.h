#pragma once
// The level trigger on the command line: --trigger-level CH:LEVEL[:SLOPE],
// --pre-trigger, --post-trigger and --events, for one run; the settings
// file keeps its own.

#include <cstdint>
#include <optional>
#include <string>

#include "records/ChannelSettings.h"

namespace varnel::record {

struct TriggerOptions {
  std::optional<int32_t> channel;  // with --trigger-level: the trigger is on
  TriggerLevel level{};
  TriggerSlope slope = TriggerSlope::kRising;
  std::optional<double> preSeconds;
  std::optional<double> postSeconds;
  std::optional<int32_t> events;
};

// Whether `flag` is one of these; if so, `value` is read into `options`, or
// `error` says why it cannot be.
bool IsTriggerFlag(const std::string& flag);
bool ParseTriggerFlag(const std::string& flag, const std::string& value, TriggerOptions& options, std::string& error);

// This run's settings with what the command line gave.
void ApplyTriggerOptions(const TriggerOptions& options, RecorderSettings& settings);
// The trigger settings of `own` back in `settings`, before they are saved.
void RestoreTriggerSettings(const RecorderSettings& own, RecorderSettings& settings);

}  // namespace varnel::record
