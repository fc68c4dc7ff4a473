#include "wave/RecordingStart.h"

#include <cstdio>

namespace varnel {
namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kSecondsPerDay = 86400;

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
int64_t FloorMod(int64_t a, int64_t b) {
  return a - FloorDiv(a, b) * b;
}

struct Split {
  int64_t seconds;
  int64_t micros;  // 0..999999
};
Split SplitMicros(int64_t micros) {
  return {FloorDiv(micros, kMicrosPerSecond), FloorMod(micros, kMicrosPerSecond)};
}

// "yyyy-mm-dd?hh:mm:ss.ffffff" of a count of microseconds since 1970 (of some zone).
std::string FormatCivil(int64_t micros, char between) {
  const Split s = SplitMicros(micros);
  const CivilDate d = DateOfDay(FloorDiv(s.seconds, kSecondsPerDay));
  const int64_t second = FloorMod(s.seconds, kSecondsPerDay);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d.%06d", d.year, d.month, d.day, between,
                static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60), static_cast<int>(second % 60),
                static_cast<int>(s.micros));
  return text;
}

// Digits of a fixed width at text[at]; nothing when any is not a digit.
std::optional<int64_t> Digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return std::nullopt;
  int64_t value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

// Days from civil and back: the proleptic Gregorian calendar, exact for any year.
CivilDate DateOfDay(int64_t days) {
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int32_t>(yoe + era * 400 + (month <= 2)), static_cast<int32_t>(month), static_cast<int32_t>(day)};
}

int64_t DayOfDate(const CivilDate& date) {
  const int64_t y = static_cast<int64_t>(date.year) - (date.month <= 2);
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t m = date.month;
  const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + date.day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

RecordingStart StartAfter(const RecordingStart& earlier, uint64_t frames) {
  RecordingStart later = earlier;
  later.framesBefore += frames;
  return later;
}

int64_t FileStartUtcMicroseconds(const RecordingStart& start) {
  if (start.sampleRate == 0) return start.utcMicroseconds;
  // Split so that no product leaves 64 bits, whatever the length of the run.
  const uint64_t rate = start.sampleRate;
  const uint64_t seconds = start.framesBefore / rate;
  const uint64_t rest = start.framesBefore % rate;
  const uint64_t micros = (rest * kMicrosPerSecond + rate / 2) / rate;
  return start.utcMicroseconds + static_cast<int64_t>(seconds) * kMicrosPerSecond + static_cast<int64_t>(micros);
}

LocalSampleTime FileLocalSampleTime(const RecordingStart& start) {
  const int64_t rate = start.sampleRate ? start.sampleRate : 1;
  const Split local = SplitMicros(start.utcMicroseconds + int64_t{start.zoneOffsetSeconds} * kMicrosPerSecond);
  // The run's first sample counts from the sample at or before its instant, so
  // every file of the run lies on the same grid of whole samples.
  const int64_t dayNumber = FloorDiv(local.seconds, kSecondsPerDay);
  const int64_t secondOfDay = local.seconds - dayNumber * kSecondsPerDay;
  const uint64_t samplesPerDay = static_cast<uint64_t>(kSecondsPerDay * rate);
  const uint64_t sinceMidnight = static_cast<uint64_t>(secondOfDay * rate + local.micros * rate / kMicrosPerSecond) +
                                 start.framesBefore % samplesPerDay;
  const uint64_t days = start.framesBefore / samplesPerDay + sinceMidnight / samplesPerDay;
  return {DateOfDay(dayNumber + static_cast<int64_t>(days)), sinceMidnight % samplesPerDay};
}

std::string FormatUtcMicroseconds(int64_t micros) {
  return FormatCivil(micros, 'T') + "Z";
}

std::optional<int64_t> ParseUtcMicroseconds(std::string_view text) {
  if (text.size() != 27 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':' ||
      text[19] != '.' || text[26] != 'Z')
    return std::nullopt;
  const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  const auto micros = Digits(text, 20, 6);
  if (!year || !month || !day || !hour || !minute || !second || !micros) return std::nullopt;
  if (*month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 60)
    return std::nullopt;
  const int64_t days =
      DayOfDate({static_cast<int32_t>(*year), static_cast<int32_t>(*month), static_cast<int32_t>(*day)});
  return ((days * kSecondsPerDay + *hour * 3600 + *minute * 60 + *second) * kMicrosPerSecond) + *micros;
}

std::string FormatZoneOffset(int32_t seconds) {
  const char sign = seconds < 0 ? '-' : '+';
  const int64_t magnitude = seconds < 0 ? -int64_t{seconds} : seconds;
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d:%02d", sign, static_cast<int>(magnitude / 3600),
                static_cast<int>(magnitude / 60 % 60));
  return text;
}

std::optional<int32_t> ParseZoneOffset(std::string_view text) {
  if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') return std::nullopt;
  const auto hours = Digits(text, 1, 2), minutes = Digits(text, 4, 2);
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
  const auto seconds = static_cast<int32_t>(*hours * 3600 + *minutes * 60);
  return text[0] == '-' ? -seconds : seconds;
}

std::string FormatLocalMicroseconds(int64_t utcMicros, int32_t zoneOffsetSeconds) {
  return FormatCivil(utcMicros + int64_t{zoneOffsetSeconds} * kMicrosPerSecond, ' ');
}

}  // namespace varnel
