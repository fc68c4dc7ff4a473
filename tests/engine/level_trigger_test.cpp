// The level trigger on the simulated board in step mode: a pulse that changes
// at known scans, and every file of every event checked sample for sample
// against the pulse it must hold.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/RunSummary.h"
#include "engine/TriggerSetup.h"
#include "platform/FixedString.h"
#include "platform/Messages.h"
#include "support/RecorderRig.h"
#include "support/WaveSamples.h"

namespace varnel {
namespace {

using test::RecorderRig;

constexpr int32_t kRate = 8000;  // buffers of 8192 frames
constexpr uint32_t kBuffer = 8192;

// A simulated channel: `high` volts for `width` scans (0: ever after) from
// scan `at`, every `period` scans (0: once); `low` volts otherwise.
struct Pulse {
  uint64_t at = 0;
  uint64_t width = 0;
  uint64_t period = 0;
  double high = 5.0;
  double low = -5.0;

  // The converted sample: 32768 is 10 V at the converter.
  int16_t Sample(uint64_t scan) const {
    sim::ChannelSignal s{sim::SignalKind::Pulse, 0.0, high, low, at, width, period};
    return static_cast<int16_t>(std::lround(s.PulseValue(scan) * 3276.8));
  }
  std::string Ini(int channel) const {
    return "[Board0_Channel" + std::to_string(channel) + "]\nSignal=pulse\nAmplitude=" + std::to_string(high) +
           "\nLow=" + std::to_string(low) + "\nPulseAt=" + std::to_string(at) +
           "\nPulseWidth=" + std::to_string(width) + "\nPulsePeriod=" + std::to_string(period) + "\n";
  }
};

// Channel 1 is recorded beside the trigger channel with a pattern of its own,
// so that a file of either shows where it begins to the sample.
const Pulse kOther{3, 5, 11};

class EventLines : public RecordingObserver {
 public:
  void EventRecorded(const TriggerEvent& event, const std::string& line) override {
    events.push_back(event);
    lines.push_back(line);
  }
  std::vector<TriggerEvent> events;
  std::vector<std::string> lines;
};

// A recorder whose channels 0 (the trigger's) and 1 are recorded.
class TriggerRig {
 public:
  void Open(const Pulse& trigger, TriggerSlope slope, double percent, double pre, double post, int32_t events = 1) {
    test::WriteFile(rig.dir.File("olsim.ini"),
                    "[Boards]\nCount=1\n[Board0]\nName=Pulses\n" + trigger.Ini(0) + kOther.Ini(1));
    rig.UseChannels({0, 1}, {0, 1});
    RecorderSettings& s = rig.settings;
    s.SamplingRate = kRate;
    s.LevelTriggerEnable = 1;
    s.LevelTriggerChannel = 0;
    s.LevelTrigger = {percent, true};
    s.LevelTriggerSlope = slope;
    s.PreTriggerSeconds = pre;
    s.PostTriggerRunTime = static_cast<float>(post);
    s.TriggerEvents = events;
    rig.OpenEngine();
    rig.engine->SetObserver(&told);
  }
  void Step(int buffers) {
    for (int i = 0; i < buffers && rig.engine->bIsRunning == 1; ++i) {
      ASSERT_TRUE(rig.board->StepBuffer());
      rig.loop.DispatchPending();
    }
  }
  // Every file of event `index` (0-based) holds the pulses over [first, end).
  void ExpectEventFiles(std::size_t index, const Pulse& trigger, uint64_t first, uint64_t end) {
    const std::vector<FinishedFile>& files = rig.engine->Files.FinishedFiles();
    ASSERT_GE(files.size(), 2 * index + 2);
    for (int channel = 0; channel < 2; ++channel) {
      const FinishedFile& file = files[2 * index + channel];
      SCOPED_TRACE(file.name);
      const Pulse& model = channel == 0 ? trigger : kOther;
      const std::vector<int16_t> samples = test::WaveSamples(file.name);
      ASSERT_EQ(end - first, samples.size());
      std::vector<int16_t> expected;
      for (uint64_t scan = first; scan < end; ++scan) expected.push_back(model.Sample(scan));
      EXPECT_EQ(expected.front(), samples.front());
      EXPECT_EQ(expected.back(), samples.back());
      EXPECT_EQ(expected, samples);
    }
  }

  RecorderRig rig;
  EventLines told;
};

class LevelTrigger : public ::testing::Test, public TriggerRig {};

struct OneEvent {
  const char* name;
  Pulse trigger;
  TriggerSlope slope;
  double percent;
  double pre, post;  // seconds
  uint64_t triggerScan;
  uint32_t before;
  TriggerSlope fired;
};

TEST(LevelTriggerEvents, EachEventFileBeginsItsHistoryBeforeTheTriggerSampleAndHoldsThePostTriggerTime) {
  const Pulse up{.at = 1000};
  const Pulse down{.at = 5000, .high = -5.0, .low = 5.0};
  const OneEvent cases[] = {
      {"in the first buffer", up, TriggerSlope::kRising, 0, 0.05, 0.1, 1000, 400, TriggerSlope::kRising},
      {"on a buffer's first sample",
       {.at = kBuffer},
       TriggerSlope::kRising,
       0,
       0.5,
       1.5,
       kBuffer,
       4000,
       TriggerSlope::kRising},
      {"on a buffer's last sample",
       {.at = kBuffer - 1},
       TriggerSlope::kRising,
       0,
       0.25,
       0.125,
       kBuffer - 1,
       2000,
       TriggerSlope::kRising},
      {"mid-buffer, history from two buffers before",
       {.at = 2 * kBuffer + 3000},
       TriggerSlope::kRising,
       0,
       1.5,
       0.5,
       2 * kBuffer + 3000,
       12000,
       TriggerSlope::kRising},
      {"falling", down, TriggerSlope::kFalling, 0, 0.1, 0.1, 5000, 800, TriggerSlope::kFalling},
      {"either, on a rise", up, TriggerSlope::kEither, 0, 0.05, 0.1, 1000, 400, TriggerSlope::kRising},
      {"either, on a fall", down, TriggerSlope::kEither, 0, 0.1, 0.1, 5000, 800, TriggerSlope::kFalling},
      {"no rise falls through the level first", up, TriggerSlope::kFalling, 0, 0.1, 0.1, 0, 0, TriggerSlope::kFalling},
      {"above the level from the start: only after the band",
       {.at = 3000, .width = 100, .high = -5.0, .low = 5.0},
       TriggerSlope::kRising,
       25,
       0.1,
       0.1,
       3100,
       800,
       TriggerSlope::kRising},
      {"the run younger than the history", up, TriggerSlope::kRising, 0, 1.0, 0.1, 1000, 1000, TriggerSlope::kRising},
  };
  for (const OneEvent& c : cases) {
    SCOPED_TRACE(c.name);
    TriggerRig t;
    RecorderRig& rig = t.rig;
    const EventLines& told = t.told;
    t.Open(c.trigger, c.slope, c.percent, c.pre, c.post);
    rig.Run();
    ASSERT_EQ(1, rig.engine->bIsRunning);
    t.Step(4);
    if (c.triggerScan == 0) {
      // It waited all along: nothing.
      rig.engine->StopRecording();
      EXPECT_TRUE(told.events.empty());
      EXPECT_TRUE(rig.WaveFiles().empty());
      continue;
    }
    // The post-trigger time recorded, the run ended by itself.
    EXPECT_EQ(0, rig.engine->bIsRunning);
    ASSERT_EQ(1u, told.events.size());
    const TriggerEvent& e = told.events[0];
    EXPECT_EQ(c.triggerScan, e.triggerFrame);
    EXPECT_EQ(c.before, e.framesBefore);
    EXPECT_EQ(c.fired, e.slope);
    const uint64_t post = static_cast<uint64_t>(std::llround(c.post * kRate));
    EXPECT_EQ(post, e.framesAfter);
    EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_1.wav"}), rig.WaveFiles());
    t.ExpectEventFiles(0, c.trigger, c.triggerScan - c.before, c.triggerScan + post);
  }
}

// A pulse every 1000 scans, 500 long; each event records 1500 frames, so the
// pulse that begins within an event is no event of its own: the signal must
// fall back across the band after the event first.
TEST_F(LevelTrigger, ItReArmsOnlyAfterTheSignalFellBackAcrossTheBand) {
  const Pulse train{.at = 500, .width = 500, .period = 1000};
  Open(train, TriggerSlope::kRising, 0, 100.0 / kRate, 1500.0 / kRate, 3);
  rig.Run();
  Step(2);
  EXPECT_EQ(0, rig.engine->bIsRunning);
  ASSERT_EQ(3u, told.events.size());
  const uint64_t triggers[] = {500, 2500, 4500};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(triggers[i], told.events[i].triggerFrame);
    ExpectEventFiles(i, train, triggers[i] - 100, triggers[i] + 1500);
  }
  // Later events are named with the time of their trigger sample.
  const std::vector<FinishedFile>& files = rig.engine->Files.FinishedFiles();
  EXPECT_EQ(platform::JoinPath(rig.wavePath, "Channel_0.wav"), files[0].name);
  const std::string time = told.lines[1].substr(9, 19);  // "event 2: 2026-01-02 03:04:05.123456, ..."
  const std::string stamp = time.substr(0, 4) + "_" + time.substr(5, 2) + "_" + time.substr(8, 2) + "_" +
                            time.substr(11, 2) + time.substr(14, 2) + time.substr(17, 2);
  EXPECT_EQ(platform::JoinPath(rig.wavePath, "Channel_0_" + stamp + ".wav"), files[2].name);
  EXPECT_EQ(platform::JoinPath(rig.wavePath, "Channel_0_" + stamp + "_2.wav"), files[4].name);
  EXPECT_NE(std::string::npos, told.lines[1].find(", channel 0 rising to ")) << told.lines[1];
  EXPECT_NE(std::string::npos, told.lines[1].find(", 100 frames before, 1500 after")) << told.lines[1];
}

// Every event until stopped: the event a Stop cuts short keeps what came.
TEST_F(LevelTrigger, AStopDuringAnEventEndsItWithTheFramesThatCame) {
  const Pulse train{.at = 500, .width = 1000, .period = 3000};
  Open(train, TriggerSlope::kRising, 0, 100.0 / kRate, 2.0, 0);
  rig.Run();
  Step(1);
  EXPECT_EQ(1, rig.engine->bIsRunning);
  EXPECT_EQ(" Running...", rig.engine->Status());
  rig.engine->StopRecording();
  ASSERT_EQ(1u, told.events.size());
  EXPECT_EQ(kBuffer - 500, told.events[0].framesAfter);
  ExpectEventFiles(0, train, 400, kBuffer);
  EXPECT_EQ(" Stopped", rig.engine->Status());
}

TEST_F(LevelTrigger, AStopWhileWaitingMakesNoFileAndSaysSo) {
  Open({.at = 100000}, TriggerSlope::kRising, 0, 0.5, 0.1);
  rig.Run();
  EXPECT_EQ(" Waiting for level trigger on channel 0 (rising, 0 % of full scale)...", rig.engine->Status());
  Step(2);
  rig.engine->StopRecording();
  EXPECT_TRUE(rig.WaveFiles().empty());
  EXPECT_EQ(" Stopped: no trigger came; nothing was recorded", rig.engine->Status());
  EXPECT_EQ("no trigger came; nothing was recorded\n", FormatRunSummary(rig.engine->Files));
}

TEST_F(LevelTrigger, AnOverrunWhileWaitingEmptiesTheHistoryAndTheSummarySaysSo) {
  const Pulse late{.at = 2 * kBuffer + 1000};
  Open(late, TriggerSlope::kRising, 0, 0.5, 0.1);
  rig.ui.AnswerUnscriptedBoxes(ui::DialogResult::OK);
  rig.Run();
  Step(2);
  rig.loop.Post({platform::kBufferOverrunMessage, 0, 0});
  rig.loop.DispatchPending();
  Step(1);
  ASSERT_EQ(1u, told.events.size());
  EXPECT_EQ(1000u, told.events[0].framesBefore);
  ExpectEventFiles(0, late, late.at - 1000, late.at + 800);
  EXPECT_EQ(
      "overrun after 2.048 s while waiting for the trigger: the pre-trigger history was emptied\n"
      "event 1: 1000 of 4000 pre-trigger frames (an overrun emptied the history)\n"
      "overrun 1 after 2.048 s of recording: 0.000 s (0 frames) lost\n",
      FormatRunSummary(rig.engine->Files).substr(FormatRunSummary(rig.engine->Files).find("overrun after")));
}

// With a start time the trigger is armed from the start's sample on: the
// pulse before it is no event, the one high at the start only after it fell
// back across the band, and the history holds nothing from before the start
// (03:04:07 is the run's frame 23392: see timed_run_test.cpp).
TEST_F(LevelTrigger, WithAStartTimeItIsArmedFromTheStartSampleOn) {
  const Pulse train{.at = 1000, .width = 5000, .period = 10000};
  Open(train, TriggerSlope::kRising, 0, 1.0, 0.1);
  CopyCut(rig.engine->Settings.StartAt, "03:04:07");
  rig.Run();
  Step(2);
  EXPECT_EQ(" Waiting until 03:04:07...", rig.engine->Status());
  Step(1);
  EXPECT_EQ(" Waiting for level trigger on channel 0 (rising, 0 % of full scale)...", rig.engine->Status());
  Step(1);
  EXPECT_EQ(0, rig.engine->bIsRunning);
  ASSERT_EQ(1u, told.events.size());
  EXPECT_EQ(31000u, told.events[0].triggerFrame);
  EXPECT_EQ(31000u - 23392u, told.events[0].framesBefore);
  ExpectEventFiles(0, train, 23392, 31800);
}

struct Refusal {
  const char* name;
  void (*set)(RecorderSettings&);
  const char* told;
};

TEST_F(LevelTrigger, SettingsItCannotRunWithAreRefusedBeforeAnythingIsMade) {
  const Refusal cases[] = {
      {"with the TTL trigger", [](RecorderSettings& s) { s.TriggerEnable = 1; },
       "The level trigger and the external (TTL) trigger cannot both be on.  Turn one of them off."},
      {"channel not enabled", [](RecorderSettings& s) { s.LevelTriggerChannel = 5; },
       "The level trigger watches channel 5, which is not enabled.  Enable it or choose another."},
      {"level no number",
       [](RecorderSettings& s) {
         s.LevelTrigger = {std::nan(""), false};
       },
       "The level trigger's level \"nan\" is not a number."},
      {"level beyond full scale",
       [](RecorderSettings& s) {
         s.LevelTrigger = {101, true};
       },
       "The level trigger's level 101 % on channel 0 is beyond the full scale of the converter, so no sample can "
       "reach it."},
      {"pre-trigger over 60 s", [](RecorderSettings& s) { s.PreTriggerSeconds = 61; },
       "The pre-trigger time \"61\" must be a number of seconds from 0 to 60."},
      {"negative hysteresis", [](RecorderSettings& s) { s.LevelTriggerHysteresis = -1; },
       "The level trigger's hysteresis \"-1\" must be a number from 0 to 100 % of full scale."},
  };
  Open({.at = 1000}, TriggerSlope::kRising, 0, 0.1, 0.1);
  const RecorderSettings good = rig.engine->Settings;
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    rig.engine->Settings = good;
    c.set(rig.engine->Settings);
    rig.ui.ExpectMessageBox(c.told, ui::DialogResult::OK);
    rig.engine->OnRun();
    EXPECT_EQ(0, rig.engine->bIsRunning);
    EXPECT_FALSE(rig.engine->Device.IsOpen());
    EXPECT_TRUE(rig.ui.AllAnswersUsed());
  }
  EXPECT_TRUE(rig.WaveFiles().empty());
}

TEST(LevelTriggerPlan, TheLevelIsReadInTheChannelsUnitsOrInPercentAndTheHistoryMustFitInMemory) {
  ChannelSettingsArray channels = DefaultChannels();
  RecorderSettings s;
  s.SamplingRate = 10000;
  s.LevelTriggerEnable = 1;
  s.PreTriggerSeconds = 2;
  channels[0].bIsRecording = channels[1].bIsRecording = 1;
  const ChannelScale volts = ConverterVolts("Channel_0");
  TriggerPlan plan;
  s.LevelTrigger = {2.5, false};
  ASSERT_FALSE(PlanLevelTrigger(s, channels, volts, std::nullopt, &plan));
  EXPECT_DOUBLE_EQ(8192.0, plan.thresholds.level);
  EXPECT_DOUBLE_EQ(327.68, plan.thresholds.hysteresis);
  EXPECT_EQ(20000u, plan.preFrames);
  s.LevelTrigger = {-50, true};
  ASSERT_FALSE(PlanLevelTrigger(s, channels, volts, uint64_t{80000}, &plan));
  EXPECT_DOUBLE_EQ(-16384.0, plan.thresholds.level);
  const TriggerProblem tooBig = PlanLevelTrigger(s, channels, volts, uint64_t{79999}, &plan);
  EXPECT_EQ(TriggerFault::kNotEnoughMemory, tooBig.fault);
  s.LevelTrigger = {10.5, false};
  EXPECT_EQ(
      "The level trigger's level 10.5 V on channel 0 is beyond the full scale of the converter, so no sample "
      "can reach it.",
      PlanLevelTrigger(s, channels, volts, std::nullopt, &plan).Text());
}

struct Crossing {
  const char* name;
  TriggerSlope slope;
  std::vector<int16_t> samples;
  std::vector<std::size_t> fires;
};

// Level 0, a band of 100 codes.
TEST(LevelDetector, FiresOnTheFirstCrossingAfterTheBandAndNotOnNoiseAroundTheLevel) {
  const Crossing cases[] = {
      {"rising", TriggerSlope::kRising, {-200, 10, -50, 20, -150, 0}, {1, 5}},
      {"not armed at the start", TriggerSlope::kRising, {50, -99, 30, -100, 1}, {4}},
      {"falling", TriggerSlope::kFalling, {200, -10, 50, -20, 150, 0}, {1, 5}},
      {"either", TriggerSlope::kEither, {-200, 10, 200, -1, -50, 40, -101, 0}, {1, 3, 7}},
  };
  for (const Crossing& c : cases) {
    SCOPED_TRACE(c.name);
    LevelDetector detector({0.0, 100.0, c.slope});
    std::vector<std::size_t> fired;
    std::size_t at = 0;
    while (at < c.samples.size()) {
      const auto hit = detector.Find(std::span(c.samples).subspan(at));
      if (!hit) break;
      fired.push_back(at + *hit);
      at += *hit + 1;
    }
    EXPECT_EQ(c.fires, fired);
  }
}

}  // namespace
}  // namespace varnel
