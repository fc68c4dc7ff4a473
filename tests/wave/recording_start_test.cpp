// The time of a file's first sample: written to the microsecond in UTC, and
// counted in samples since local midnight so that the files of one run line
// up to the sample, whatever the rate, across midnight and summer time.

#include <gtest/gtest.h>

#include "WaveTestHelpers.h"
#include "wave/Bext.h"
#include "wave/RecordingStart.h"

namespace varnel {
namespace {

TEST(RecordingStart, TimesAsTextAndBack) {
  EXPECT_EQ("2026-12-09T14:00:00.000123Z", FormatUtcMicroseconds(1796824800000123));
  EXPECT_EQ("1970-01-01T00:00:00.000000Z", FormatUtcMicroseconds(0));
  EXPECT_EQ("1969-12-31T23:59:59.999999Z", FormatUtcMicroseconds(-1));
  EXPECT_EQ("2024-02-29T23:59:59.500000Z", FormatUtcMicroseconds(1709251199500000));
  for (int64_t t : {int64_t{0}, int64_t{1796824800000123}, int64_t{1709251199500000}, int64_t{4102444800000000}})
    EXPECT_EQ(t, ParseUtcMicroseconds(FormatUtcMicroseconds(t))) << t;
  for (const char* bad : {"", "2026-12-09T14:00:00Z", "2026-12-09 14:00:00.000123Z", "2026-13-09T14:00:00.000123Z",
                          "2026-12-09T14:00:00.00012xZ", "2026-12-09T14:00:00.000123"})
    EXPECT_FALSE(ParseUtcMicroseconds(bad)) << bad;

  EXPECT_EQ("+01:00", FormatZoneOffset(3600));
  EXPECT_EQ("-03:30", FormatZoneOffset(-12600));
  EXPECT_EQ("+00:00", FormatZoneOffset(0));
  EXPECT_EQ(-12600, ParseZoneOffset("-03:30"));
  EXPECT_EQ(20700, ParseZoneOffset("+05:45"));
  for (const char* bad : {"", "+1:00", "01:00", "+01-00", "+24:00"}) EXPECT_FALSE(ParseZoneOffset(bad)) << bad;
  EXPECT_EQ("2026-12-09 15:00:00.000123", FormatLocalMicroseconds(1796824800000123, 3600));

  for (int64_t day : {int64_t{-719468}, int64_t{-1}, int64_t{0}, int64_t{11016}, int64_t{19782}, int64_t{2932896}})
    EXPECT_EQ(day, DayOfDate(DateOfDay(day))) << day;
  const CivilDate leap = DateOfDay(DayOfDate({2024, 2, 28}) + 1);
  EXPECT_EQ(29, leap.day);
  EXPECT_EQ(2, leap.month);
}

TEST(RecordingStart, TheFirstFileCountsFromTheSampleAtOrBeforeItsInstant) {
  const LocalSampleTime t = FileLocalSampleTime(test::SampleStart());
  EXPECT_EQ(2026, t.date.year);
  EXPECT_EQ(12, t.date.month);
  EXPECT_EQ(9, t.date.day);
  EXPECT_EQ(15ull * 3600 * 25000 + 3, t.samplesSinceMidnight) << "123 us at 25000 Hz is 3.075 samples";
  EXPECT_EQ(1796824800000123, FileStartUtcMicroseconds(test::SampleStart()));
}

// Two consecutive files line up when the later one's time reference is the
// earlier one's plus the samples it holds, on the same local day or the next.
TEST(RecordingStart, ConsecutiveFilesLineUpToTheSample) {
  for (uint32_t rate : {25000u, 31250u, 44100u, 48000u, 500000u}) {
    const uint64_t day = 86400ull * rate;
    for (uint64_t frames : {uint64_t{1}, uint64_t{12345}, uint64_t{rate} * 3600 * 8 + 7, day - 1, 3 * day + 11}) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, " << frames << " frames");
      const RecordingStart first = test::SampleStart(rate);
      const RecordingStart second = StartAfter(first, frames);
      const RecordingStart third = StartAfter(second, 5);
      const LocalSampleTime a = FileLocalSampleTime(first), b = FileLocalSampleTime(second);
      const uint64_t total = a.samplesSinceMidnight + frames;
      EXPECT_EQ(total % day, b.samplesSinceMidnight);
      EXPECT_EQ(DayOfDate(a.date) + static_cast<int64_t>(total / day), DayOfDate(b.date));
      EXPECT_EQ((b.samplesSinceMidnight + 5) % day, FileLocalSampleTime(third).samplesSinceMidnight);
      // The UTC time in the description is the exact time to the nearest microsecond.
      const double exact = 1796824800000123.0 + static_cast<double>(frames) * 1e6 / rate;
      EXPECT_NEAR(exact, static_cast<double>(FileStartUtcMicroseconds(second)), 0.5001);
    }
  }
}

TEST(RecordingStart, MidnightAndSummerTime) {
  RecordingStart start = test::SampleStart(48000);
  start.utcMicroseconds = *ParseUtcMicroseconds("2026-12-09T22:59:59.900000Z");  // 23:59:59.9 local
  const RecordingStart next = StartAfter(start, 9600);                           // 0.2 s later
  const wave::Bext b = wave::BextForRecording(next, test::Format(48000, 1, 2));
  EXPECT_EQ("2026-12-10", b.originationDate);
  EXPECT_EQ("00-00-00", b.originationTime);
  EXPECT_EQ(4800u, b.timeReference);
  EXPECT_EQ("2026-12-09T23:00:00.100000Z", wave::DescriptionValue(b.description, wave::kStartUtcKey));

  // A file begun after the clocks went forward carries the new offset: its
  // local count moves by exactly the hour, its UTC time not at all.
  RecordingStart summer = StartAfter(start, 9600);
  summer.zoneOffsetSeconds = 7200;
  EXPECT_EQ(4800u + 3600u * 48000u, FileLocalSampleTime(summer).samplesSinceMidnight);
  EXPECT_EQ(FileStartUtcMicroseconds(next), FileStartUtcMicroseconds(summer));
  EXPECT_EQ("+02:00", wave::DescriptionValue(wave::BextForRecording(summer, test::Format(48000, 1, 2)).description,
                                             wave::kZoneOffsetKey));
}

}  // namespace
}  // namespace varnel
