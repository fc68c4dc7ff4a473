// The recording engine driven without a window, as the headless recorder
// drives it: what its observer hears, in what order, and what it records.

#include "engine/RecordingEngine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/RunSummary.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/Messages.h"
#include "support/LinkRig.h"
#include "support/RecorderRig.h"

namespace varnel {
namespace {

using test::RecorderRig;

// Everything the engine tells, in order, one line each.
class EventLog : public RecordingObserver {
 public:
  void StatusChanged(const std::string& text) override { lines.push_back("status" + text); }
  void RunStarted() override { lines.push_back("started"); }
  void AcquisitionStopped() override { lines.push_back("acquisition stopped"); }
  void RunEnded() override { lines.push_back("ended"); }
  void LevelsChanged() override { ++levels; }
  void SamplingRateChanged(int32_t rate) override { lines.push_back("rate " + std::to_string(rate)); }
  void ChannelWritingChanged(int32_t channel, bool written, const std::string&) override {
    lines.push_back("channel " + std::to_string(channel) + (written ? " written" : " lost"));
  }
  void OverrunCounted(std::size_t count, double) override { lines.push_back("overrun " + std::to_string(count)); }

  std::vector<std::string> lines;
  int levels = 0;
};

class Engine : public ::testing::Test {
 protected:
  void Open(const std::vector<int>& enabled, const std::vector<int>& recorded) {
    rig.UseChannels(enabled, recorded);
    rig.settings.SamplingRate = 50000;
    rig.OpenEngine();
    rig.engine->SetObserver(&log);
  }
  RecorderRig rig;
  EventLog log;
};

TEST_F(Engine, ARunWithoutAWindowTellsItsObserverEachStepInOrder) {
  Open({0, 3}, {3});
  const uint32_t before = platform::GetClock().TickCount();
  rig.Run();
  ASSERT_EQ(1, rig.engine->bIsRunning);
  // The waits of the Run go through the clock.
  EXPECT_EQ(100u, platform::GetClock().TickCount() - before);
  rig.StepBuffers(2);
  EXPECT_EQ(2, log.levels);
  EXPECT_GT(rig.engine->Channels[3].Level, 0);
  rig.engine->OnRun();  // a second Run stops
  EXPECT_EQ(0, rig.engine->bIsRunning);
  EXPECT_EQ(1200u, platform::GetClock().TickCount() - before);
  const std::vector<std::string> expected = {"status Initializing Device...",
                                             "status Starting Device...",
                                             "started",
                                             "status Running...",
                                             "status Stopping Device....",
                                             "acquisition stopped",
                                             "status Saving Wave Files....",
                                             "status Saving Wave file for channel 3...",
                                             "status Closing Device....",
                                             "ended",
                                             "status Stopped"};
  EXPECT_EQ(expected, log.lines);
  EXPECT_EQ(" Stopped", rig.engine->Status());
  EXPECT_EQ((std::vector<std::string>{"Channel_3.wav"}), rig.WaveFiles());
  EXPECT_EQ(2u * 8192, rig.engine->Files.FinishedFiles().at(0).frames);
}

TEST_F(Engine, ARefusedRunSaysWhyAndTellsNoStart) {
  Open({0}, {0});
  rig.engine->Channels[0].Gain = 3;
  rig.ui.ExpectMessageBox(
      "Channel 0 has a gain of 3, which the board does not offer.  The board offers gains of 1, 2, 4 and 8.",
      ui::DialogResult::OK);
  rig.engine->OnRun();
  EXPECT_EQ(0, rig.engine->bIsRunning);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_FALSE(rig.engine->Device.IsOpen());
  EXPECT_TRUE(rig.ui.AllAnswersUsed());
}

// An empty or relative folder would put the files wherever the program was
// started (as root: into "/").
TEST_F(Engine, AnEmptyOrRelativeFolderIsRefusedNamingItsSetting) {
  Open({0}, {0});
  RecorderSettings& s = rig.engine->Settings;
  const std::string wave(FieldText(s.szWavePath)), cal(FieldText(s.szCalPath));
  const struct {
    char* field;
    const char* value;
    const char* told;
  } cases[] = {
      {s.szWavePath, "", "The Wave File Path (szWavePath) is empty."},
      {s.szWavePath, "wave", "The Wave File Path (szWavePath) \"wave\" is not a full path."},
      {s.szCalPath, "", "The Cal File Path (szCalPath) is empty."},
      {s.szCalPath, "./cal", "The Cal File Path (szCalPath) \"./cal\" is not a full path."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    CopyCut(s.szWavePath, wave);
    CopyCut(s.szCalPath, cal);
    std::snprintf(c.field, 260, "%s", c.value);
    rig.ui.ExpectMessageBox(std::string(c.told) + "  Set a full folder path in Recording Options.",
                            ui::DialogResult::OK);
    rig.engine->OnRun();
    EXPECT_EQ(0, rig.engine->bIsRunning);
    EXPECT_FALSE(rig.engine->Device.IsOpen());
    EXPECT_TRUE(rig.ui.AllAnswersUsed());
  }
  EXPECT_TRUE(log.lines.empty());
  EXPECT_TRUE(rig.WaveFiles().empty());
}

// The run time is counted in frames: summed as a 32-bit float it drifted a
// buffer's length in under an hour (a 24-hour run at 44.1 kHz stopped about
// 7.8 minutes early). After 2000 buffers of 0.8192 s the float said 1638.423 s.
TEST_F(Engine, ATriggeredRunOfAnyLengthStopsAtItsPostTriggerTimeToTheBuffer) {
  Open({0}, {});
  rig.engine->Settings.SamplingRate = 10000;
  rig.engine->Settings.TriggerEnable = 1;
  rig.engine->Settings.PostTriggerRunTime = 1638.41f;
  rig.Run();
  rig.StepBuffers(2000);
  rig.engine->OnRefreshTimer();
  EXPECT_EQ(1, rig.engine->bIsRunning);
  EXPECT_EQ(2000 * 8192, rig.engine->Device.GetRunFrames());
  rig.StepBuffers(1);
  rig.engine->OnRefreshTimer();
  EXPECT_EQ(0, rig.engine->bIsRunning);
  EXPECT_FALSE(rig.engine->Files.Report.TriggerMissed());
}

// A file that cannot be saved is never success: the closing list names it
// and where its samples are, and the run counts as one that lost data.
TEST_F(Engine, AFileThatCannotBeSavedIsListedAndCountsAsLost) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows does not move a folder whose files are open";
#endif
  Open({0}, {0});
  rig.ui.AnswerUnscriptedBoxes(ui::DialogResult::OK);
  rig.Run();
  rig.StepBuffers(2);
  const std::string moved = rig.wavePath + "-moved";
  ASSERT_EQ(0, std::rename(rig.wavePath.c_str(), moved.c_str()));
  // ... and the folder cannot be made again: a file has its name.
  std::ofstream(rig.wavePath) << "in the way";
  rig.engine->StopRecording();
  ASSERT_EQ(1u, rig.engine->Files.Report.Unsaved().size());
  const UnsavedFile& unsaved = rig.engine->Files.Report.Unsaved()[0];
  EXPECT_EQ(rig.wavePath + "/Channel_0.wav", unsaved.file);
  EXPECT_TRUE(rig.engine->Files.Report.DataLost());
  EXPECT_EQ("not saved: " + unsaved.file + " (its samples are in " + unsaved.workingFile +
                "; varnel-record --recover repairs it once its folder can be written)\n",
            FormatRunSummary(rig.engine->Files));
  // The working file and the journal stay, in the folder as it is now.
  EXPECT_TRUE(platform::FileExists(moved + "/" + std::string(platform::FileNameOf(unsaved.workingFile))));
}

TEST_F(Engine, TheOfferedRateIsToldWhenTaken) {
  Open({0, 1, 2}, {});
  rig.engine->Settings.SamplingRate = 200000;
  rig.ui.ExpectMessageBox(ui::DialogResult::Yes);
  rig.Run();
  EXPECT_EQ(166666, rig.engine->Settings.SamplingRate);
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ("rate 166666", log.lines.front());
  rig.engine->StopRecording();
}

TEST_F(Engine, OverrunsAndLostChannelsAreTold) {
  Open({0}, {0});
  rig.ui.AnswerUnscriptedBoxes(ui::DialogResult::OK);
  {
    // No file can take even one block until the limit goes.
    ScopedWaveRiffSizeLimit limit(36 + 100);
    rig.Run();
    rig.StepBuffers(2);
  }
  rig.StepBuffers(1);
  rig.loop.Post({platform::kBufferOverrunMessage, 0, 0});
  rig.loop.DispatchPending();
  EXPECT_EQ(" ERROR - Buffer Overrun... (1)", rig.engine->Status());
  const std::vector<std::string> told = {"channel 0 lost", "channel 0 written", "overrun 1"};
  std::vector<std::string> news;
  for (const std::string& line : log.lines)
    if (line.rfind("channel", 0) == 0 || line.rfind("overrun", 0) == 0) news.push_back(line);
  EXPECT_EQ(told, news);
  // The user heard of both channel changes, outside the buffer path.
  EXPECT_EQ(2u, rig.ui.Messages().size() - 1);
  rig.engine->StopRecording();
}

// The refresh timer of a Run ticks at the period the block length the
// analyser asked for needs.
TEST(RefreshTimer, ItsPeriodFollowsTheBlockLengthTheAnalyserAsksFor) {
  VARNEL_REQUIRE_SESSION_BUS();
  struct Band {
    const char* fftSize;
    uint32_t periodMs;
  };
  const Band bands[] = {{"8192", 50},   {"16383", 50},   {"16384", 100},   {"65534", 100},
                        {"65535", 250}, {"262143", 250}, {"262144", 2000}, {"16777216", 2000}};
  for (const Band& band : bands) {
    RecorderRig rig;
    rig.UseChannels({0}, {0});
    const std::string name = test::UniqueServerName("bands");
    std::unique_ptr<test::TestPeer> peer = test::ServeTestPeer({.serverName = name, .fftAnswer = band.fftSize});
    ASSERT_NE(nullptr, peer);
    test::WriteFile(rig.AnalyserSettingsPath(), "[DDE]\nServerName=" + name + "\n");
    rig.OpenEngine();
    rig.engine->OnRun();  // the analyser answers: no question
    ASSERT_EQ(1, rig.engine->bIsRunning) << band.fftSize;
    EXPECT_EQ(std::atoi(band.fftSize), rig.engine->Settings.FftSize);
    EXPECT_EQ(band.periodMs, rig.loop.TimerPeriod(platform::kRefreshTimerId)) << band.fftSize;
    rig.engine->StopRecording();
  }
}

}  // namespace
}  // namespace varnel
