#pragma once
// When a file's first sample was taken, and what a broadcast wave header says
// about its channel. The engine fills one for a run's first file; every later
// file of the run (a rollover, a split) is given StartAfter, so that its time
// follows from the sample count and consecutive files line up to the sample.
//
// Plain values; safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

struct RecordingStart {
  int64_t utcMicroseconds = 0;    // the run's first sample, since 1970-01-01T00:00:00Z
  int32_t zoneOffsetSeconds = 0;  // local time minus UTC; a later file may carry another (summer time)
  uint32_t sampleRate = 0;        // per channel
  uint64_t framesBefore = 0;      // samples of the run before this file's first one
  std::string label;              // the channel's label
  std::string unit;               // its calibrated linear unit; empty without calibration
  std::string board;              // the board's name
  int32_t gain = 1;
};

// The start of a file that begins `frames` samples after `earlier`'s first sample.
RecordingStart StartAfter(const RecordingStart& earlier, uint64_t frames);

// The UTC time of the file's first sample, to the microsecond.
int64_t FileStartUtcMicroseconds(const RecordingStart& start);

struct CivilDate {
  int32_t year = 1970;
  int32_t month = 1;
  int32_t day = 1;
};

// The file's first sample in local time, counted in samples: the date, and the
// samples since that date's midnight (a broadcast wave's TimeReference).
struct LocalSampleTime {
  CivilDate date;
  uint64_t samplesSinceMidnight = 0;
};
LocalSampleTime FileLocalSampleTime(const RecordingStart& start);

CivilDate DateOfDay(int64_t daysSince1970);
int64_t DayOfDate(const CivilDate& date);

// "2026-12-09T14:00:00.000123Z" and back (nothing for any other text).
std::string FormatUtcMicroseconds(int64_t micros);
std::optional<int64_t> ParseUtcMicroseconds(std::string_view text);
// "+01:00", "-03:30" and back.
std::string FormatZoneOffset(int32_t seconds);
std::optional<int32_t> ParseZoneOffset(std::string_view text);
// Local date and time of a UTC instant: "2026-12-09 15:00:00.000123".
std::string FormatLocalMicroseconds(int64_t utcMicros, int32_t zoneOffsetSeconds);

}  // namespace varnel
