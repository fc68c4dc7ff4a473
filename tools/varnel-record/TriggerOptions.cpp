#include "TriggerOptions.h"

#include <cmath>

namespace varnel::record {
namespace {

constexpr double kMaxPreTriggerSeconds = 60.0;

bool ParseLevelFlag(const std::string& value, TriggerOptions& o, std::string& error) {
  const std::size_t first = value.find(':');
  const std::size_t second = first == std::string::npos ? first : value.find(':', first + 1);
  const auto channel = ParseFiniteNumber(value.substr(0, first));
  const auto level =
      first == std::string::npos ? std::nullopt : ParseTriggerLevel(value.substr(first + 1, second - first - 1));
  const auto slope =
      second == std::string::npos ? std::optional(TriggerSlope::kRising) : ParseTriggerSlope(value.substr(second + 1));
  if (!channel || *channel < 0 || *channel >= kChannelCount || *channel != std::floor(*channel)) {
    error = "--trigger-level needs CH:LEVEL[:rising|falling|either] with a channel from 0 to 15, not \"" + value + "\"";
  } else if (!level) {
    error = "--trigger-level: the level in \"" + value + "\" is not a number (in the channel's units, or 25%)";
  } else if (level->percent && std::fabs(level->value) > 100.0) {
    error = "--trigger-level: the level in \"" + value + "\" is beyond full scale (100%)";
  } else if (!slope) {
    error = "--trigger-level: the slope in \"" + value + "\" is not rising, falling or either";
  } else {
    o.channel = static_cast<int32_t>(*channel);
    o.level = *level;
    o.slope = *slope;
    return true;
  }
  return false;
}

}  // namespace

bool IsTriggerFlag(const std::string& flag) {
  return flag == "--trigger-level" || flag == "--pre-trigger" || flag == "--post-trigger" || flag == "--events";
}

bool ParseTriggerFlag(const std::string& flag, const std::string& value, TriggerOptions& o, std::string& error) {
  if (flag == "--trigger-level") return ParseLevelFlag(value, o, error);
  if (flag == "--events") {
    o.events = ParseTriggerEvents(value);
    if (!o.events) error = "--events needs a count of at least 1 or \"all\", not \"" + value + "\"";
    return o.events.has_value();
  }
  const auto seconds = ParseFiniteNumber(value);
  if (flag == "--pre-trigger") {
    if (seconds && *seconds >= 0.0 && *seconds <= kMaxPreTriggerSeconds) {
      o.preSeconds = *seconds;
      return true;
    }
    error = "--pre-trigger needs seconds from 0 to 60, not \"" + value + "\"";
    return false;
  }
  if (seconds && *seconds > 0.0 && *seconds < 1e9) {
    o.postSeconds = *seconds;
    return true;
  }
  error = "--post-trigger needs a positive number of seconds, not \"" + value + "\"";
  return false;
}

void ApplyTriggerOptions(const TriggerOptions& o, RecorderSettings& s) {
  if (o.channel) {
    s.LevelTriggerEnable = 1;
    s.LevelTriggerChannel = *o.channel;
    s.LevelTrigger = o.level;
    s.LevelTriggerSlope = o.slope;
  }
  if (o.preSeconds) s.PreTriggerSeconds = *o.preSeconds;
  if (o.postSeconds) s.PostTriggerRunTime = static_cast<float>(*o.postSeconds);
  if (o.events) s.TriggerEvents = *o.events;
}

void RestoreTriggerSettings(const RecorderSettings& own, RecorderSettings& s) {
  s.LevelTriggerEnable = own.LevelTriggerEnable;
  s.LevelTriggerChannel = own.LevelTriggerChannel;
  s.LevelTrigger = own.LevelTrigger;
  s.LevelTriggerSlope = own.LevelTriggerSlope;
  s.PreTriggerSeconds = own.PreTriggerSeconds;
  s.PostTriggerRunTime = own.PostTriggerRunTime;
  s.TriggerEvents = own.TriggerEvents;
}

}  // namespace varnel::record
