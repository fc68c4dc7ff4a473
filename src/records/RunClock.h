#pragma once
// The clock times a run starts or stops at, as the user writes them: a time of
// day ("14:00", "14:00:30") or a local date and time ("2026-12-24T18:00",
// "2026-12-24T18:00:30"). The settings file, the window and the headless
// recorder read them alike.
//
// Pure functions; safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

struct ClockTime {
  bool hasDate = false;  // otherwise of the day it is read on (a Run refuses one already past)
  int32_t year = 0;
  int32_t month = 0;  // 1..12
  int32_t day = 0;    // 1..31
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
};

// Nothing for text in neither form or with a field out of range (25:00, 31 April).
std::optional<ClockTime> ParseClockTime(std::string_view text);

// Whole seconds of "90", "90s", "10m", "10min", "1h"; nothing for anything else.
std::optional<int64_t> ParseDuration(std::string_view text);
// The shortest of those forms that reads back as `seconds` ("1h", "10m", "90s"); "" for 0.
std::string FormatDuration(int64_t seconds);

// The text without white space at either end.
std::string TrimmedText(std::string_view text);

}  // namespace varnel
