#pragma once
// A run that starts or stops at a set time: the plan a Run makes of the times
// the user wrote (records/RunClock: a time of day means the day of the Run)
// in instants, or the reason it cannot have one, and the frames of the run's
// timeline the plan records once the run's first sample is placed in time.
//
// Plain values and functions; safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "records/RunClock.h"
#include "wave/RecordingStart.h"

namespace varnel {

// The UTC instant, in microseconds, that `time` names when it is `now`: a
// time of day is of the day of `now`, both in the local zone of `now`.
int64_t InstantOf(const ClockTime& time, const platform::WallTime& now);

// What a Run is asked to do, as the settings or the command line say it.
struct TimingRequest {
  std::string startAt{};          // empty: at once
  double stopAfterSeconds = 0.0;  // 0: no stop after a duration
  std::string stopAt{};           // empty: no stop at a time
  bool ttlTrigger = false;        // the external trigger starts and ends its own run
};

enum class TimingFault {
  kNone,
  kWithTtl,
  kStartUnreadable,
  kStartPast,
  kStopUnreadable,
  kStopNotAfterStart,
  kBadStopAfter,
};

struct TimingProblem {
  TimingFault fault = TimingFault::kNone;
  std::string detail;      // the time at fault as the user gave it, or the duration
  std::string against;     // the time it was checked against, as the user reads it
  bool timeOfDay = false;  // the time had no date
  std::string Text() const;
  explicit operator bool() const { return fault != TimingFault::kNone; }
};

struct TimingPlan {
  std::optional<int64_t> startUtc{};  // nothing: from the run's first sample
  std::optional<int64_t> stopUtc{};
  double stopAfterSeconds = 0.0;  // 0: none; counted from the start
  bool On() const { return startUtc || stopUtc || stopAfterSeconds > 0.0; }
};

TimingProblem PlanTiming(const TimingRequest& request, const platform::WallTime& now, TimingPlan* plan);

// " Waiting until 14:00:00..." (with the date when it is not the day of `now`).
std::string WaitingUntilStatus(int64_t startUtc, const platform::WallTime& now);

// The frames of the run's timeline a timed run records: [first, end).
struct RunWindow {
  uint64_t first = 0;
  std::optional<uint64_t> end;  // nothing: until stopped
};

// The first frame at or after `instantUtc` of a run whose first frame was
// sampled at `firstUtc` (frame 0 for an instant before it).
uint64_t FrameAtOrAfter(int64_t instantUtc, int64_t firstUtc, uint32_t rate);

// The plan's window on a run whose first frame was sampled at `firstUtc`: it
// begins at the first frame at or after the start and ends at the first at or
// after the stop time, or the duration's frames after its first, whichever
// comes first.
RunWindow WindowOf(const TimingPlan& plan, int64_t firstUtc, uint32_t rate);

}  // namespace varnel
