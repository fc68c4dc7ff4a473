#include "engine/TimedRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace varnel {
namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kSecondsPerDay = 86400;
// Beyond a lifetime a duration is a typing slip; its frames stay far within 64 bits.
constexpr double kMaxStopAfterSeconds = 1e9;

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// "2026-12-09 15:02:11": an instant as the user reads a clock.
std::string LocalText(int64_t utc, const platform::WallTime& now) {
  return FormatLocalMicroseconds(utc, now.zoneOffsetSeconds).substr(0, 19);
}

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

int64_t InstantOf(const ClockTime& time, const platform::WallTime& now) {
  const int32_t zone = now.zoneOffsetSeconds;
  const int64_t today = FloorDiv(FloorDiv(now.utcMicroseconds, kMicrosPerSecond) + zone, kSecondsPerDay);
  const int64_t day = time.hasDate ? DayOfDate({time.year, time.month, time.day}) : today;
  const int64_t local = day * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
  return (local - zone) * kMicrosPerSecond;
}

std::string TimingProblem::Text() const {
  const std::string forms = "  Give HH:MM, HH:MM:SS or a date and time such as 2026-12-10T14:00[:SS].";
  switch (fault) {
    case TimingFault::kNone:
      return {};
    case TimingFault::kWithTtl:
      return "A start or stop time cannot be set with the external (TTL) trigger, which starts and ends its run by "
             "itself.  Turn one of them off.";
    case TimingFault::kStartUnreadable:
      return "The start time \"" + detail + "\" is not a time." + forms;
    case TimingFault::kStartPast:
      return "The start time \"" + detail + "\" is in the past: it is " + against + " now." +
             (timeOfDay ? "  A time of day means today; give a date for another day." : "");
    case TimingFault::kStopUnreadable:
      return "The stop time \"" + detail + "\" is not a time." + forms;
    case TimingFault::kStopNotAfterStart:
      return "The stop time \"" + detail + "\" is not after the start of the run (" + against + ").";
    case TimingFault::kBadStopAfter:
      return "The time to stop after, " + detail +
             " s, must be a positive number of seconds (up to 1e9), or 0 for no stop after a time.";
  }
  return {};
}

TimingProblem PlanTiming(const TimingRequest& r, const platform::WallTime& now, TimingPlan* plan) {
  auto fault = [](TimingFault f, std::string detail, std::string against = {}) {
    return TimingProblem{f, std::move(detail), std::move(against), false};
  };
  const std::string startText = TrimmedText(r.startAt), stopText = TrimmedText(r.stopAt);
  TimingPlan p;
  p.stopAfterSeconds = r.stopAfterSeconds;
  if (!(r.stopAfterSeconds >= 0.0 && r.stopAfterSeconds <= kMaxStopAfterSeconds))
    return fault(TimingFault::kBadStopAfter, Number(r.stopAfterSeconds));
  if (!startText.empty()) {
    const auto start = ParseClockTime(startText);
    if (!start) return fault(TimingFault::kStartUnreadable, startText);
    p.startUtc = InstantOf(*start, now);
    if (*p.startUtc <= now.utcMicroseconds) {
      TimingProblem past = fault(TimingFault::kStartPast, startText, LocalText(now.utcMicroseconds, now));
      past.timeOfDay = !start->hasDate;
      return past;
    }
  }
  if (!stopText.empty()) {
    const auto stop = ParseClockTime(stopText);
    if (!stop) return fault(TimingFault::kStopUnreadable, stopText);
    p.stopUtc = InstantOf(*stop, now);
    const int64_t start = p.startUtc.value_or(now.utcMicroseconds);
    if (*p.stopUtc <= start)
      return fault(TimingFault::kStopNotAfterStart, stopText,
                   p.startUtc ? LocalText(start, now) : "now, " + LocalText(start, now));
  }
  if (r.ttlTrigger && p.On()) return fault(TimingFault::kWithTtl, {});
  *plan = p;
  return {};
}

std::string WaitingUntilStatus(int64_t startUtc, const platform::WallTime& now) {
  const std::string start = LocalText(startUtc, now);
  const bool today = start.substr(0, 10) == LocalText(now.utcMicroseconds, now).substr(0, 10);
  return " Waiting until " + (today ? start.substr(11) : start) + "...";
}

uint64_t FrameAtOrAfter(int64_t instantUtc, int64_t firstUtc, uint32_t rate) {
  if (instantUtc <= firstUtc) return 0;
  // Whole seconds and the rest apart: exact, and within 64 bits for any date.
  const auto since = static_cast<uint64_t>(instantUtc - firstUtc);
  const uint64_t seconds = since / kMicrosPerSecond, micros = since % kMicrosPerSecond;
  return seconds * rate + (micros * rate + kMicrosPerSecond - 1) / kMicrosPerSecond;
}

RunWindow WindowOf(const TimingPlan& plan, int64_t firstUtc, uint32_t rate) {
  RunWindow w;
  if (plan.startUtc) w.first = FrameAtOrAfter(*plan.startUtc, firstUtc, rate);
  if (plan.stopUtc) w.end = std::max(w.first, FrameAtOrAfter(*plan.stopUtc, firstUtc, rate));
  if (plan.stopAfterSeconds > 0.0) {
    const uint64_t after = w.first + static_cast<uint64_t>(std::llround(plan.stopAfterSeconds * rate));
    w.end = w.end ? std::min(*w.end, after) : after;
  }
  return w;
}

}  // namespace varnel
