#pragma once
// The level trigger's settings as text: a level in the channel's units or in
// percent of full scale ("2.5", "-25%"), a slope, a count of events. The
// settings file and the headless recorder's command line read them alike.
//
// Pure functions; safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

enum class TriggerSlope : int32_t { kRising = 0, kFalling = 1, kEither = 2 };

struct TriggerLevel {
  double value = 0.0;    // NaN: the text was no number
  bool percent = false;  // of full scale; otherwise in the channel's units
};

// Nothing for text that is not a finite number, with or without a trailing '%'.
std::optional<TriggerLevel> ParseTriggerLevel(std::string_view text);
std::string FormatTriggerLevel(const TriggerLevel& level);

// "rising", "falling", "either".
std::optional<TriggerSlope> ParseTriggerSlope(std::string_view text);
const char* TriggerSlopeKey(TriggerSlope slope);

// "all" (every event until stopped) is 0; otherwise a count of at least 1.
std::optional<int32_t> ParseTriggerEvents(std::string_view text);
std::string TriggerEventsKey(int32_t events);

// A decimal number and nothing else; nothing for text that is not one.
std::optional<double> ParseFiniteNumber(std::string_view text);

}  // namespace varnel
