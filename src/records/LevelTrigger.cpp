#include "records/LevelTrigger.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace varnel {

std::optional<double> ParseFiniteNumber(std::string_view text) {
  const std::string s(text);
  if (s.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<TriggerLevel> ParseTriggerLevel(std::string_view text) {
  const bool percent = !text.empty() && text.back() == '%';
  if (percent) text.remove_suffix(1);
  const auto value = ParseFiniteNumber(text);
  if (!value) return std::nullopt;
  return TriggerLevel{*value, percent};
}

std::string FormatTriggerLevel(const TriggerLevel& level) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g%s", level.value, level.percent ? "%" : "");
  return text;
}

std::optional<TriggerSlope> ParseTriggerSlope(std::string_view text) {
  if (text == "rising") return TriggerSlope::kRising;
  if (text == "falling") return TriggerSlope::kFalling;
  if (text == "either") return TriggerSlope::kEither;
  return std::nullopt;
}

const char* TriggerSlopeKey(TriggerSlope slope) {
  switch (slope) {
    case TriggerSlope::kRising:
      return "rising";
    case TriggerSlope::kFalling:
      return "falling";
    case TriggerSlope::kEither:
      return "either";
  }
  return "rising";
}

std::optional<int32_t> ParseTriggerEvents(std::string_view text) {
  if (text == "all") return 0;
  const auto value = ParseFiniteNumber(text);
  if (!value || *value < 1 || *value > std::numeric_limits<int32_t>::max() || *value != std::floor(*value))
    return std::nullopt;
  return static_cast<int32_t>(*value);
}

std::string TriggerEventsKey(int32_t events) {
  return events <= 0 ? "all" : std::to_string(events);
}

}  // namespace varnel
