#pragma once
// A timed run on the command line: --start-at and --stop-at (HH:MM[:SS] or
// an ISO 8601 date and time), with --seconds as the time to stop after, for
// one run; the settings file keeps its own.

#include <optional>
#include <string>

#include "platform/Clock.h"
#include "records/ChannelSettings.h"

namespace varnel::record {

struct TimingOptions {
  std::optional<std::string> startAt;
  std::optional<std::string> stopAt;
};

// Whether `flag` is one of these; if so, `value` is read into `options`, or
// `error` says why it cannot be.
bool IsTimingFlag(const std::string& flag);
bool ParseTimingFlag(const std::string& flag, const std::string& value, TimingOptions& options, std::string& error);
// The times against each other and against `now` (a start in the past, a
// stop not after the start), with `seconds` (0: none) as the time to stop after.
bool CheckTimingOptions(const TimingOptions& options, double seconds, const platform::WallTime& now,
                        std::string& error);

// This run's settings with what the command line gave. With a start or stop
// time (here or in the settings) `seconds` is counted from the start, in the
// run's samples, so it must be whole; false, with `error`, when it is not.
bool ApplyTimingOptions(const TimingOptions& options, double seconds, RecorderSettings& settings, std::string& error);
// Whether the run waits for or stops at the clock: --seconds is then the engine's.
bool HasTiming(const RecorderSettings& settings);
// The timing settings of `own` back in `settings`, before they are saved.
void RestoreTimingSettings(const RecorderSettings& own, RecorderSettings& settings);

}  // namespace varnel::record
