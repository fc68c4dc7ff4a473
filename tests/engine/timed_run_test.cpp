// Runs that start and stop at a set time: the plan a Run makes of the times
// (or why it refuses them), and, on the simulated board in step mode with the
// fake clock, files that begin at the first sample at or after the start and
// hold exactly the frames up to the stop.
//
// The rig's clock reads 2026-01-02 03:04:05.000 (UTC) at Run; the Run's start
// of the board takes 100 ms, so the first buffer (8192 frames at 8000 Hz)
// ends at 03:04:05.100 and the run's first sample was taken at 03:04:04.076.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/RunSummary.h"
#include "engine/TimedRun.h"
#include "platform/FixedString.h"
#include "support/RecorderRig.h"
#include "support/WaveSamples.h"

namespace varnel {
namespace {

using test::RecorderRig;

constexpr int64_t kSecond = 1000000;

// 2026-12-09 13:30:00 local, an hour east of UTC.
const platform::WallTime kNow{(int64_t{20796} * 86400 + 12 * 3600 + 30 * 60) * kSecond, 3600};

int64_t Local(const std::string& text) {
  return InstantOf(*ParseClockTime(text), kNow);
}

struct PlanCase {
  TimingRequest request;
  TimingFault fault;
  const char* told;  // the refusal, or the status while waiting for the start
};

TEST(TimedRunPlan, TimesOfTheDayOfTheRunOrDatesAreCheckedAgainstTheClockAndEachOther) {
  const PlanCase cases[] = {
      {{.startAt = "14:00"}, TimingFault::kNone, " Waiting until 14:00:00..."},
      {{.startAt = "2026-12-10T09:15:30", .stopAfterSeconds = 60},
       TimingFault::kNone,
       " Waiting until 2026-12-10 09:15:30..."},
      {{.startAt = "13:29:59"},
       TimingFault::kStartPast,
       "The start time \"13:29:59\" is in the past: it is 2026-12-09 13:30:00 now.  A time of day means today; give "
       "a date for another day."},
      {{.startAt = "13:30:00"}, TimingFault::kStartPast, nullptr},
      {{.startAt = "2026-12-08T20:00"}, TimingFault::kStartPast, nullptr},
      {{.startAt = "half past two"}, TimingFault::kStartUnreadable, nullptr},
      {{.stopAt = "25:00"}, TimingFault::kStopUnreadable, nullptr},
      {{.stopAt = "13:00"},
       TimingFault::kStopNotAfterStart,
       "The stop time \"13:00\" is not after the start of the run (now, 2026-12-09 13:30:00)."},
      {{.stopAfterSeconds = -1}, TimingFault::kBadStopAfter, nullptr},
      {{.startAt = "14:00", .ttlTrigger = true}, TimingFault::kWithTtl, nullptr},
  };
  for (const PlanCase& c : cases) {
    SCOPED_TRACE(c.request.startAt + " " + c.request.stopAt);
    TimingPlan plan;
    const TimingProblem problem = PlanTiming(c.request, kNow, &plan);
    EXPECT_EQ(c.fault, problem.fault);
    const std::string told = problem ? problem.Text() : plan.startUtc ? WaitingUntilStatus(*plan.startUtc, kNow) : "";
    if (c.told) {
      EXPECT_EQ(c.told, told);
    }
  }
  TimingPlan plan;
  ASSERT_FALSE(PlanTiming({.startAt = "2026-12-10T09:15:30", .stopAt = "2026-12-11T00:00"}, kNow, &plan));
  EXPECT_EQ((int64_t{20797} * 86400 + 8 * 3600 + 15 * 60 + 30) * kSecond, *plan.startUtc);
  EXPECT_EQ(Local("2026-12-11T00:00"), *plan.stopUtc);
}

TEST(TimedRunWindow, TheFirstSampleAtOrAfterAnInstantIsExactForAnyDateAndRate) {
  const int64_t two = Local("14:00");
  EXPECT_EQ(3u, FrameAtOrAfter(two, two - 50, 48000));
  EXPECT_EQ(0u, FrameAtOrAfter(two, two + 7, 8000));
  EXPECT_EQ(366ull * 86400 * 500000 + 1, FrameAtOrAfter(two + 366ll * 86400 * kSecond, two - 1, 500000));
  // The earlier of the stops, the duration exact from the start sample.
  RunWindow w = WindowOf({.startUtc = two, .stopUtc = Local("15:00"), .stopAfterSeconds = 7200}, two - 50, 48000);
  EXPECT_EQ(3u, w.first);
  EXPECT_EQ(3 + 3600ull * 48000, w.end);
  w = WindowOf({.startUtc = two, .stopAfterSeconds = 2.5}, two - 200000, 8000);
  EXPECT_EQ(1600u + 20000u, w.end);
}

struct TimedCase {
  const char* name;
  const char* startAt;
  int32_t stopAfter;
  const char* stopAt;
  bool stamped;
  uint64_t from, end;  // frames of the run in the files
  const char* file;    // channel 0's
};

// Channels 0 and 2 recorded; every file checked sample for sample.
TEST(TimedRun, ItWaitsWithoutRecordingThenRecordsFromTheStartSampleToTheStopSample) {
  const TimedCase cases[] = {
      {"start, stop after a second", "03:04:07", 1, "", false, 23392, 31392, "Channel_0.wav"},
      {"start and stop at times, stamped", "03:04:06", 0, "2026-01-02T03:04:08", true, 15392, 31392,
       "Channel_0_2026_01_02_030406.wav"},
      {"stop at a time only", "", 0, "03:04:07", false, 0, 23392, "Channel_0.wav"},
  };
  for (const TimedCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecorderRig rig;
    rig.UseChannels({0, 2}, {0, 2});
    rig.settings.SamplingRate = 8000;
    rig.settings.bAppendTimeStamp = c.stamped ? 1 : 0;
    CopyCut(rig.settings.StartAt, c.startAt);
    rig.settings.StopAfterSeconds = c.stopAfter;
    CopyCut(rig.settings.StopAt, c.stopAt);
    rig.OpenEngine();
    rig.Run();
    ASSERT_EQ(1, rig.engine->bIsRunning);
    const std::string waiting = *c.startAt ? std::string(" Waiting until ") + c.startAt + "..." : " Running...";
    EXPECT_EQ(waiting, rig.engine->Status());
    int buffers = 0;
    while (rig.engine->bIsRunning == 1 && buffers < 10) {
      const bool before = static_cast<uint64_t>(buffers + 1) * 8192 <= c.from;
      rig.StepBuffers(1);
      ++buffers;
      if (rig.engine->bIsRunning == 1) {
        EXPECT_EQ(before ? waiting : " Running...", rig.engine->Status()) << buffers;
      }
    }
    // It ended by itself with the buffer that holds the stop sample.
    EXPECT_EQ(0, rig.engine->bIsRunning);
    EXPECT_EQ(static_cast<int>((c.end + 8191) / 8192), buffers);
    EXPECT_EQ(" Stopped", rig.engine->Status());
    const std::vector<FinishedFile>& files = rig.engine->Files.FinishedFiles();
    ASSERT_EQ(2u, files.size());
    EXPECT_EQ(platform::JoinPath(rig.wavePath, c.file), files[0].name);
    for (int32_t entry = 0; entry < 2; ++entry) {
      const std::vector<int16_t> samples = test::WaveSamples(files[entry].name);
      ASSERT_EQ(c.end - c.from, samples.size()) << files[entry].name;
      for (uint64_t f = 0; f < samples.size(); ++f) {
        if (samples[f] == RecorderRig::Expected(entry, static_cast<int64_t>(c.from + f))) continue;
        ADD_FAILURE() << files[entry].name << " frame " << f << ": " << samples[f];
        break;
      }
    }
  }
}

TEST(TimedRun, AStopBeforeTheStartMakesNoFileAndSaysSo) {
  RecorderRig rig;
  rig.UseChannels({0, 2}, {0, 2});
  rig.settings.SamplingRate = 8000;
  CopyCut(rig.settings.StartAt, "2026-01-02T03:05:00");
  rig.OpenEngine();
  rig.Run();
  EXPECT_EQ(" Waiting until 03:05:00...", rig.engine->Status());
  rig.StepBuffers(2);
  rig.engine->StopRecording();
  EXPECT_TRUE(rig.WaveFiles().empty());
  EXPECT_EQ(" Stopped: the start time had not come; nothing was recorded", rig.engine->Status());
  EXPECT_EQ("the start time had not come; nothing was recorded\n", FormatRunSummary(rig.engine->Files));
}

TEST(TimedRun, ATimeItCannotKeepIsRefusedAtRunBeforeAnythingIsMade) {
  RecorderRig rig;
  rig.UseChannels({0, 2}, {0, 2});
  CopyCut(rig.settings.StartAt, "03:04:00");
  rig.OpenEngine();
  rig.ui.ExpectMessageBox(
      "The start time \"03:04:00\" is in the past: it is 2026-01-02 03:04:05 now.  A time of day means today; give a "
      "date for another day.",
      ui::DialogResult::OK);
  rig.engine->OnRun();
  EXPECT_EQ(0, rig.engine->bIsRunning);
  EXPECT_FALSE(rig.engine->Device.IsOpen());
  EXPECT_TRUE(rig.ui.AllAnswersUsed());
  EXPECT_TRUE(rig.WaveFiles().empty());
}

}  // namespace
}  // namespace varnel
