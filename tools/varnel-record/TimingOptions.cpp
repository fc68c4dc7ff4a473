#include "TimingOptions.h"

#include <cmath>
#include <cstdio>

#include "engine/TimedRun.h"
#include "platform/FixedString.h"

namespace varnel::record {
namespace {

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

bool IsTimingFlag(const std::string& flag) {
  return flag == "--start-at" || flag == "--stop-at";
}

bool ParseTimingFlag(const std::string& flag, const std::string& value, TimingOptions& o, std::string& error) {
  const std::string text = TrimmedText(value);
  if (!ParseClockTime(text)) {
    error = flag + " needs HH:MM, HH:MM:SS or a date and time (2026-12-10T14:00:00), not \"" + value + "\"";
    return false;
  }
  (flag == "--start-at" ? o.startAt : o.stopAt) = text;
  return true;
}

bool CheckTimingOptions(const TimingOptions& o, double seconds, const platform::WallTime& now, std::string& error) {
  if (!o.startAt && !o.stopAt) return true;
  TimingRequest request;
  request.startAt = o.startAt.value_or("");
  request.stopAt = o.stopAt.value_or("");
  request.stopAfterSeconds = seconds;
  TimingPlan plan;
  const TimingProblem problem = PlanTiming(request, now, &plan);
  if (problem) error = problem.Text();
  if (!problem && seconds != std::floor(seconds))
    error = "--seconds with --start-at or --stop-at counts whole seconds of samples, not " + Number(seconds);
  return error.empty();
}

bool HasTiming(const RecorderSettings& s) {
  return !FieldText(s.StartAt).empty() || !FieldText(s.StopAt).empty() || s.StopAfterSeconds != 0;
}

bool ApplyTimingOptions(const TimingOptions& o, double seconds, RecorderSettings& s, std::string& error) {
  if (o.startAt) CopyCut(s.StartAt, *o.startAt);
  if (o.stopAt) CopyCut(s.StopAt, *o.stopAt);
  if (seconds <= 0 || !HasTiming(s)) return true;
  if (seconds != std::floor(seconds) || seconds > 2147483647.0) {
    error =
        "--seconds with a start or stop time (StartAt, StopAt in the settings) counts whole seconds of samples, "
        "not " +
        Number(seconds);
    return false;
  }
  s.StopAfterSeconds = static_cast<int32_t>(seconds);
  return true;
}

void RestoreTimingSettings(const RecorderSettings& own, RecorderSettings& s) {
  CopyCut(s.StartAt, FieldText(own.StartAt));
  CopyCut(s.StopAt, FieldText(own.StopAt));
  s.StopAfterSeconds = own.StopAfterSeconds;
}

}  // namespace varnel::record
