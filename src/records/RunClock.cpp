#include "records/RunClock.h"

namespace varnel {
namespace {

// Exactly `digits` decimal digits at `at`.
std::optional<int32_t> Digits(std::string_view text, std::size_t at, std::size_t digits) {
  if (at + digits > text.size()) return std::nullopt;
  int32_t value = 0;
  for (std::size_t i = at; i < at + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int32_t DaysInMonth(int32_t year, int32_t month) {
  static constexpr int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "HH:MM" or "HH:MM:SS", and nothing after it.
bool ParseTimeOfDay(std::string_view text, ClockTime& t) {
  if (text.size() != 5 && text.size() != 8) return false;
  const auto hour = Digits(text, 0, 2);
  const auto minute = Digits(text, 3, 2);
  if (!hour || !minute || text[2] != ':' || *hour > 23 || *minute > 59) return false;
  t.hour = *hour;
  t.minute = *minute;
  t.second = 0;
  if (text.size() == 5) return true;
  const auto second = Digits(text, 6, 2);
  if (!second || text[5] != ':' || *second > 59) return false;
  t.second = *second;
  return true;
}

}  // namespace

std::optional<ClockTime> ParseClockTime(std::string_view text) {
  ClockTime t;
  if (text.size() > 10 && text[10] == 'T') {
    const auto year = Digits(text, 0, 4);
    const auto month = Digits(text, 5, 2);
    const auto day = Digits(text, 8, 2);
    if (!year || !month || !day || text[4] != '-' || text[7] != '-' || *month < 1 || *month > 12 || *day < 1 ||
        *day > DaysInMonth(*year, *month))
      return std::nullopt;
    t.hasDate = true;
    t.year = *year;
    t.month = *month;
    t.day = *day;
    text.remove_prefix(11);
  }
  if (!ParseTimeOfDay(text, t)) return std::nullopt;
  return t;
}

std::string TrimmedText(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace varnel
