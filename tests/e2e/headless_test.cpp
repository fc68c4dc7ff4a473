#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "ChildProcess.h"
#include "support/RecorderRig.h"
#include "wave/RecordingStart.h"

namespace varnel {
namespace {

std::string Tool() {
  const char* build = std::getenv("VARNEL_BUILD_DIR");
  return std::string(build ? build : "build") + "/bin/varnel-record";
}

// A settings file with channels 0 and 1 recorded into the rig's folders.
std::string PrepareSettings(test::RecorderRig& rig) {
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.SamplingRate = 20000;
  const std::string ini = rig.dir.File("headless.ini");
  SaveSettings(ini, rig.channels, rig.settings);
  return ini;
}

TEST(Headless, CtrlCStopsAndSavesEverything) {
  test::RecorderRig rig;
  const std::string ini = PrepareSettings(rig);
  test::ChildProcess recorder({Tool(), "--continue-without-analyser", "--settings", ini}, rig.dir.File("out.log"));
  ASSERT_NE(std::string::npos, recorder.WaitFor("status: Running...", 120000)) << recorder.Output();
  recorder.Signal(SIGINT);
  EXPECT_EQ(0, recorder.Wait(120000));
  const std::string out = recorder.Output();
  EXPECT_NE(std::string::npos, out.find("status: Saving Wave Files....")) << out;
  EXPECT_NE(std::string::npos, out.find("wrote " + rig.wavePath + "/Channel_0.wav (")) << out;
  EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_1.wav"}), rig.WaveFiles());
  std::string info = test::RunCommand("sndfile-info '" + rig.wavePath + "/Channel_1.wav' 2>&1");
  EXPECT_NE(std::string::npos, info.find("Sample Rate : 20000")) << info;
  // The settings were written at close: ChannelIndex is written, never read.
  EXPECT_NE(std::string::npos, test::ReadFile(ini).find("ChannelIndex=1")) << test::ReadFile(ini);
}

TEST(Headless, AnswersComeFromTheCommandLine) {
  test::RecorderRig rig;
  const std::string ini = PrepareSettings(rig);
  test::WriteFile(rig.wavePath + "/Channel_0.wav", "old");
  int status = 0;
  // Without an analyser and without permission to go on, nothing is recorded.
  std::string out = test::RunCommand(Tool() + " --seconds 0.5 --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(1, status) << out;
  EXPECT_NE(std::string::npos, out.find("Continue anyway? -> No")) << out;
  // The overwrite question answered No: channel 0 keeps its old file.
  out = test::RunCommand(
      Tool() + " --seconds 1.5 --overwrite no --continue-without-analyser --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_EQ("old", test::ReadFile(rig.wavePath + "/Channel_0.wav"));
  EXPECT_TRUE(platform::FileExists(rig.wavePath + "/Channel_1.wav"));

  out = test::RunCommand(Tool() + " --seconds soon 2>&1", &status);
  EXPECT_EQ(2, status);
  EXPECT_NE(std::string::npos, out.find("--seconds needs a positive number")) << out;
}

TEST(Headless, FormatChoosesTheLayoutOfOneRunOnly) {
  test::RecorderRig rig;
  const std::string ini = PrepareSettings(rig);
  int status = 0;
  std::string out = test::RunCommand(
      Tool() + " --seconds 1 --format bwf --continue-without-analyser --quiet --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  // Read by a reader nobody here wrote: the bext and the samples behind it.
  const std::string info = test::RunCommand("sndfile-info '" + rig.wavePath + "/Channel_0.wav' 2>&1");
  EXPECT_NE(std::string::npos, info.find("bext")) << info;
  EXPECT_NE(std::string::npos, info.find("Sample Rate : 20000")) << info;
  EXPECT_NE(std::string::npos, test::ReadFile(ini).find("FileFormat=wav")) << test::ReadFile(ini);

  out = test::RunCommand(Tool() + " --format mp3 2>&1", &status);
  EXPECT_EQ(2, status);
  EXPECT_NE(std::string::npos, out.find("--format needs wav or bwf, not \"mp3\"")) << out;
}

// No TTL input needed: the recorder catches events of a channel's own signal
// unattended (channel 0 is a 1 V tone, 10 % of full scale at its peaks).
TEST(Headless, TheLevelTriggerCatchesEventsUnattendedAndTellsEachOnALine) {
  test::RecorderRig rig;
  const std::string ini = PrepareSettings(rig);
  int status = 0;
  std::string out = test::RunCommand(Tool() +
                                         " --quiet --continue-without-analyser --trigger-level 0:5%:falling"
                                         " --pre-trigger 0.001 --post-trigger 0.2 --events 2 --settings '" +
                                         ini + "' 2>&1",
                                     &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos,
            out.find("status: Waiting for level trigger on channel 0 (falling, 5 % of full scale)..."))
      << out;
  for (const char* event : {"event 1: ", "event 2: "}) {
    const std::size_t at = out.find(event);
    ASSERT_NE(std::string::npos, at) << out;
    EXPECT_NE(std::string::npos, out.find(", channel 0 falling to ", at)) << out;
    EXPECT_NE(std::string::npos, out.find(", 20 frames before, 4000 after\n", at)) << out;
  }
  const std::vector<std::string> files = rig.WaveFiles();
  ASSERT_EQ(4u, files.size()) << out;
  for (const std::string& name : files) EXPECT_NE(std::string::npos, out.find(name + " (4020 frames)")) << out;
  // The command line held for this run only.
  EXPECT_NE(std::string::npos, test::ReadFile(ini).find("LevelTriggerEnable=0")) << test::ReadFile(ini);

  const struct {
    const char* args;
    const char* told;
  } wrong[] = {
      {"--trigger-level 0:loud", "--trigger-level: the level in \"0:loud\" is not a number"},
      {"--trigger-level 16:1", "with a channel from 0 to 15, not \"16:1\""},
      {"--trigger-level 0:150%", "is beyond full scale (100%)"},
      {"--trigger-level 0:1:up", "the slope in \"0:1:up\" is not rising, falling or either"},
      {"--pre-trigger 61", "--pre-trigger needs seconds from 0 to 60, not \"61\""},
      {"--events 0", "--events needs a count of at least 1 or \"all\", not \"0\""},
  };
  for (const auto& w : wrong) {
    out = test::RunCommand(Tool() + " " + w.args + " 2>&1", &status);
    EXPECT_EQ(2, status) << w.args;
    EXPECT_NE(std::string::npos, out.find(w.told)) << out;
  }
}

TEST(Headless, ASplitPeriodIsWholeSecondsFromOneSecondOn) {
  for (const char* period : {"0s", "500ms", "1.5s", "x"}) {
    int status = 0;
    const std::string out = test::RunCommand(Tool() + " --split-every " + period + " 2>&1", &status);
    EXPECT_EQ(2, status) << period;
    EXPECT_NE(std::string::npos,
              out.find("--split-every needs a period from 1s to 31 days (30s, 10m, 1h), not \"" + std::string(period)))
        << out;
  }
}

// The local time `seconds` from now, as --start-at reads it, and as the status tells it.
struct Ahead {
  std::string option, status;
  int64_t utcMicroseconds = 0;
};
Ahead LocalTimeAhead(int seconds) {
  const std::time_t at = std::time(nullptr) + seconds;
  std::tm tm{};
  localtime_r(&at, &tm);
  char option[32], status[16];
  std::strftime(option, sizeof option, "%Y-%m-%dT%H:%M:%S", &tm);
  std::strftime(status, sizeof status, "%H:%M:%S", &tm);
  return {option, status, int64_t{at} * 1000000};
}

// A start a few seconds ahead: nothing is recorded until then, and then
// exactly --seconds of samples, whenever the buffers happen to come.
TEST(Headless, AStartTimeWaitsAndTheFilesHoldTheSecondsFromIt) {
  test::RecorderRig rig;
  const std::string ini = PrepareSettings(rig);
  // A machine so busy that the start passed before the Run tries again further ahead.
  Ahead start;
  int status = 0;
  std::string out;
  for (int ahead : {5, 30}) {
    start = LocalTimeAhead(ahead);
    out = test::RunCommand(Tool() + " --quiet --continue-without-analyser --format bwf --start-at " + start.option +
                               " --seconds 2 --settings '" + ini + "' 2>&1",
                           &status);
    if (out.find("is in the past") == std::string::npos) break;
  }
  ASSERT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos, out.find("status: Waiting until " + start.status + "...\n")) << out;
  EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_1.wav"}), rig.WaveFiles());
  for (const std::string& name : rig.WaveFiles()) {
    EXPECT_NE(std::string::npos, out.find(rig.wavePath + "/" + name + " (40000 frames)")) << out;
    // Its first sample is the first at or after the start: less than a sample (50 us) after it.
    const std::string bytes = test::ReadFile(rig.wavePath + "/" + name);
    const auto first = ParseUtcMicroseconds(bytes.substr(bytes.find("varnel-start-utc=") + 17, 27));
    ASSERT_TRUE(first) << name;
    EXPECT_GE(*first, start.utcMicroseconds);
    EXPECT_LT(*first, start.utcMicroseconds + 50);
  }
  // The command line held for this run only.
  EXPECT_NE(std::string::npos, test::ReadFile(ini).find("StartAt=\n")) << test::ReadFile(ini);
}

TEST(Headless, TimesThatCannotBeKeptAreRefusedOnTheCommandLine) {
  const struct {
    const char* args;
    const char* told;
  } wrong[] = {
      {"--start-at 25:00", "--start-at needs HH:MM, HH:MM:SS or a date and time (2026-12-10T14:00:00), not \"25:00\""},
      {"--start-at 2020-01-01T00:00", "The start time \"2020-01-01T00:00\" is in the past: it is "},
      {"--start-at 2099-01-01T10:00 --seconds 1.5",
       "--seconds with --start-at or --stop-at counts whole seconds of samples, not 1.5"},
  };
  for (const auto& w : wrong) {
    int status = 0;
    const std::string out = test::RunCommand(Tool() + " " + w.args + " 2>&1", &status);
    EXPECT_EQ(2, status) << w.args;
    EXPECT_NE(std::string::npos, out.find(w.told)) << out;
  }
}

}  // namespace
}  // namespace varnel
