#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/RecorderApp.h"
#include "app/SettingsFile.h"
#include "app/WindowPosition.h"
#include "engine/RunMessages.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "records/ChannelSettings.h"
#include "records/LabelRules.h"
#include "support/FileModes.h"
#include "support/ScriptedUiServices.h"
#include "support/TempDir.h"

namespace varnel {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Loaded {
  ChannelSettingsArray channels = DefaultChannels();
  RecorderSettings settings;
};

Loaded Load(const std::string& path) {
  Loaded l;
  LoadSettings(path, l.channels, l.settings);
  return l;
}

TEST(SettingsFile, MissingFileGivesEveryDefault) {
  TempDir dir;
  Loaded l = Load(dir.File("absent.ini"));
  for (int i = 0; i < kChannelCount; ++i) {
    const ChannelSettings& c = l.channels[i];
    EXPECT_EQ(1, c.bIsEnabled);
    EXPECT_EQ(i, c.ChannelIndex);
    EXPECT_EQ(1, c.Gain);
    EXPECT_EQ(0, c.bIsRecording + c.bIsMonitoringLeft + c.bIsMonitoringRight + c.Level);
    EXPECT_STREQ(("Channel_" + std::to_string(i)).c_str(), c.szLabel);
    EXPECT_STREQ("", c.szCalFilename);
  }
  const RecorderSettings& s = l.settings;
  EXPECT_EQ(22050, s.SamplingRate);
  EXPECT_EQ(0, s.DeviceIndex);
  EXPECT_EQ(1, s.bStoreCalibrationDataInWavefile);
  EXPECT_EQ(0, s.bAppendTimeStamp + s.bOverwriteWaveFiles + s.TriggerEnable);
  EXPECT_FLOAT_EQ(1.0f, s.PostTriggerRunTime);
  EXPECT_STREQ("OV5 Tessaline", s.Caption);
  EXPECT_EQ(platform::DefaultDataFolder("wave"), std::string(s.szWavePath));
  EXPECT_EQ(platform::DefaultDataFolder("cal"), std::string(s.szCalPath));
  // The loader does not write anything.
  EXPECT_FALSE(platform::FileExists(dir.File("absent.ini")));
}

TEST(SettingsFile, RoundTripKeepsEveryFieldAndFormatsTheTime) {
  TempDir dir;
  const std::string path = dir.File("varnel.ini");
  Loaded a;
  a.channels[3].bIsRecording = 1;
  a.channels[3].Gain = 8;
  a.channels[3].bIsMonitoringLeft = 1;
  a.channels[15].bIsEnabled = 0;
  std::strcpy(a.channels[3].szLabel, "Mic A");
  std::strcpy(a.channels[3].szCalFilename, "/cal/mic.cal");
  a.settings.SamplingRate = 48000;
  a.settings.DeviceIndex = 2;
  a.settings.PostTriggerRunTime = 1.5f;
  a.settings.TriggerEnable = 1;
  std::strcpy(a.settings.szWavePath, "/data/wave");
  std::strcpy(a.settings.Caption, "Bench 4");
  SaveSettings(path, a.channels, a.settings);

  const std::string text = ReadFile(path);
  EXPECT_NE(std::string::npos, text.find("PostTriggerRunTime=1.500000"));
  EXPECT_NE(std::string::npos, text.find("ChannelIndex=3"));

  Loaded b = Load(path);
  EXPECT_EQ(8, b.channels[3].Gain);
  EXPECT_EQ(1, b.channels[3].bIsRecording);
  EXPECT_EQ(1, b.channels[3].bIsMonitoringLeft);
  EXPECT_EQ(0, b.channels[15].bIsEnabled);
  EXPECT_STREQ("Mic A", b.channels[3].szLabel);
  EXPECT_STREQ("/cal/mic.cal", b.channels[3].szCalFilename);
  EXPECT_EQ(48000, b.settings.SamplingRate);
  EXPECT_EQ(2, b.settings.DeviceIndex);
  EXPECT_EQ(1, b.settings.TriggerEnable);
  EXPECT_FLOAT_EQ(1.5f, b.settings.PostTriggerRunTime);
  EXPECT_STREQ("/data/wave", b.settings.szWavePath);
  EXPECT_STREQ("Bench 4", b.settings.Caption);

  // A second save changes nothing.
  SaveSettings(path, b.channels, b.settings);
  EXPECT_EQ(text, ReadFile(path));
}

TEST(SettingsFile, HandEditedValuesAreToleratedAsWritten) {
  TempDir dir;
  const std::string path = dir.File("varnel.ini");
  WriteFile(path,
            "; edited by hand\r\n"
            "[channel_0]\r\n"
            "  bIsEnabled = 2  \r\n"
            "Gain=3\r\n"
            "szLabel=\"  quoted  \"\r\n"
            "garbage line without equals\r\n"
            "[Channel_1]\r\n"
            "szLabel=" +
                std::string(300, 'x') +
                "\r\n"
                "Gain=+8kHz\r\n"
                "[MAIN]\r\n"
                "SamplingRate=  44100 Hz\r\n"
                "PostTriggerRunTime=abc\r\n"
                "Caption=no final newline");
  Loaded l = Load(path);
  EXPECT_EQ(2, l.channels[0].bIsEnabled);  // kept; only 1 counts as set
  EXPECT_FALSE(IsSet(l.channels[0].bIsEnabled));
  EXPECT_EQ(3, l.channels[0].Gain);
  EXPECT_STREQ("  quoted  ", l.channels[0].szLabel);
  EXPECT_EQ(std::string(255, 'x'), l.channels[1].szLabel);
  EXPECT_EQ(8, l.channels[1].Gain);
  EXPECT_EQ(44100, l.settings.SamplingRate);
  EXPECT_FLOAT_EQ(0.1f, l.settings.PostTriggerRunTime);
  EXPECT_STREQ("no final newline", l.settings.Caption);

  // Saving keeps the comment and the unknown line.
  SaveSettings(path, l.channels, l.settings);
  const std::string text = ReadFile(path);
  EXPECT_NE(std::string::npos, text.find("; edited by hand"));
  EXPECT_NE(std::string::npos, text.find("garbage line without equals"));
}

// Files from before the level trigger and the split load with both off; its keys keep what
// was set, a level that is no number included, for the Run to refuse.
TEST(SettingsFile, TheLevelTriggerAndTheSplitAreOffInOldFilesAndKeepTheirKeys) {
  TempDir dir;
  const std::string path = dir.File("varnel.ini");
  WriteFile(path, "[Main]\nTriggerEnable=1\nPostTriggerRunTime=2\n");
  const RecorderSettings old = Load(path).settings;
  EXPECT_EQ(1, old.TriggerEnable);
  EXPECT_EQ(0, old.LevelTriggerEnable);
  EXPECT_EQ(1, old.TriggerEvents);
  EXPECT_DOUBLE_EQ(1.0, old.LevelTriggerHysteresis);
  EXPECT_DOUBLE_EQ(0.0, old.PreTriggerSeconds);
  EXPECT_EQ(0, old.SplitEverySeconds);

  Loaded a;
  a.settings.LevelTriggerEnable = 1;
  a.settings.LevelTriggerChannel = 3;
  a.settings.LevelTrigger = {-25, true};
  a.settings.LevelTriggerSlope = TriggerSlope::kEither;
  a.settings.LevelTriggerHysteresis = 0.5;
  a.settings.PreTriggerSeconds = 2.25;
  a.settings.TriggerEvents = 0;
  a.settings.SplitEverySeconds = 3600;
  SaveSettings(path, a.channels, a.settings);
  const std::string text = ReadFile(path);
  for (const char* line : {"LevelTriggerLevel=-25%", "LevelTriggerSlope=either", "TriggerEvents=all"})
    EXPECT_NE(std::string::npos, text.find(line)) << line;
  const RecorderSettings b = Load(path).settings;
  EXPECT_EQ(1, b.LevelTriggerEnable);
  EXPECT_EQ(3, b.LevelTriggerChannel);
  EXPECT_DOUBLE_EQ(-25.0, b.LevelTrigger.value);
  EXPECT_TRUE(b.LevelTrigger.percent);
  EXPECT_EQ(TriggerSlope::kEither, b.LevelTriggerSlope);
  EXPECT_DOUBLE_EQ(0.5, b.LevelTriggerHysteresis);
  EXPECT_DOUBLE_EQ(2.25, b.PreTriggerSeconds);
  EXPECT_EQ(0, b.TriggerEvents);
  EXPECT_EQ(3600, b.SplitEverySeconds);

  WriteFile(path, "[Main]\nLevelTriggerEnable=1\nLevelTriggerLevel=loud\n");
  EXPECT_TRUE(std::isnan(Load(path).settings.LevelTrigger.value));
}

// The run's clock times load as typed (trimmed) when they are one of the clock forms, and
// as off otherwise; old files have none of the keys. What loads saves and loads again alike.
TEST(SettingsFile, TheRunTimesLoadAsTypedOrOffAndKeepTheirKeys) {
  struct Row {
    const char* main;
    const char* startAt;
    int32_t stopAfter;
    const char* stopAt;
  };
  const Row rows[] = {
      {"SamplingRate=1000\n", "", 0, ""},
      {"StartAt=14:00\nStopAfterSeconds=90\nStopAt=2026-12-24T18:00:30\n", "14:00", 90, "2026-12-24T18:00:30"},
      {"StartAt=  07:05:09  \nStopAt=\"2028-02-29T23:59\"\n", "07:05:09", 0, "2028-02-29T23:59"},
      {"StartAt=24:00\nStopAfterSeconds=-5\nStopAt=2027-02-29T10:00\n", "", 0, ""},
      {"StartAt=tomorrow\nStopAfterSeconds=1.5\nStopAt=14:00:60\n", "", 0, ""},
      {"StartAt=7:05\nStopAfterSeconds=ten\nStopAt=2026-12-24 18:00\n", "", 0, ""},
      {"StartAt=14:00:00x\nStopAfterSeconds=3e9\nStopAt=2026-13-01T00:00\n", "", 0, ""},
  };
  TempDir dir;
  const std::string path = dir.File("varnel.ini");
  for (const Row& row : rows) {
    WriteFile(path, std::string("[Main]\n") + row.main);
    Loaded l = Load(path);
    EXPECT_STREQ(row.startAt, l.settings.StartAt) << row.main;
    EXPECT_EQ(row.stopAfter, l.settings.StopAfterSeconds) << row.main;
    EXPECT_STREQ(row.stopAt, l.settings.StopAt) << row.main;
    SaveSettings(path, l.channels, l.settings);
    const RecorderSettings again = Load(path).settings;
    EXPECT_STREQ(row.startAt, again.StartAt) << row.main;
    EXPECT_EQ(row.stopAfter, again.StopAfterSeconds) << row.main;
    EXPECT_STREQ(row.stopAt, again.StopAt) << row.main;
  }
}

TEST(SettingsFile, PostTriggerRunTimeIsAtLeastATenthAndFinite) {
  EXPECT_FLOAT_EQ(0.1f, ParsePostTriggerRunTime("abc"));
  EXPECT_FLOAT_EQ(0.1f, ParsePostTriggerRunTime("0.05"));
  EXPECT_FLOAT_EQ(0.1f, ParsePostTriggerRunTime("-3"));
  EXPECT_FLOAT_EQ(0.1f, ParsePostTriggerRunTime("nan"));
  EXPECT_FLOAT_EQ(0.1f, ParsePostTriggerRunTime("inf"));
  EXPECT_FLOAT_EQ(0.1f, ParsePostTriggerRunTime("1e999"));
  EXPECT_FLOAT_EQ(0.1f, ParsePostTriggerRunTime("1e300"));  // beyond float32
  EXPECT_FLOAT_EQ(0.1f, ParsePostTriggerRunTime("0.1"));
  EXPECT_FLOAT_EQ(2.5f, ParsePostTriggerRunTime("  2.5s"));
}

TEST(SettingsFile, LargeJunkFileLoadsWithoutHarm) {
  TempDir dir;
  const std::string path = dir.File("varnel.ini");
  std::string junk;
  junk.reserve(1 << 20);
  for (int i = 0; junk.size() < (1u << 20); ++i) junk += static_cast<char>((i * 7919) % 256);
  WriteFile(path, junk);
  Loaded l = Load(path);
  EXPECT_GE(l.settings.PostTriggerRunTime, 0.1f);
  SaveSettings(path, l.channels, l.settings);
  EXPECT_EQ(l.settings.SamplingRate, Load(path).settings.SamplingRate);
}

TEST(SettingsFile, ReadOnlyFolderLosesChangesSilently) {
  if (!test::FileModesApply()) GTEST_SKIP() << "no file mode keeps this process out";
  TempDir dir;
  const std::string folder = dir.File("ro");
  ASSERT_TRUE(platform::CreateFolders(folder));
  const std::string path = folder + "/varnel.ini";
  WriteFile(path, "[Main]\nSamplingRate=1000\n");
  test::SetFileMode(folder, 0500);
  Loaded l = Load(path);
  l.settings.SamplingRate = 2000;
  SaveSettings(path, l.channels, l.settings);
  test::SetFileMode(folder, 0700);
  EXPECT_EQ("[Main]\nSamplingRate=1000\n", ReadFile(path));
}

class FakeHost : public WindowHost {
 public:
  ui::Rect DesktopRect() override { return desktop; }
  WindowPlacement GetPlacement() override { return current; }
  void ApplyPlacement(const WindowPlacement& p) override {
    applied = p;
    ++applyCount;
  }
  ui::Rect desktop{0, 0, 1920, 1080};
  WindowPlacement current;
  WindowPlacement applied;
  int applyCount = 0;
};

TEST(WindowPosition, SavesAndRestoresTenNumbers) {
  TempDir dir;
  const std::string path = dir.File("varnel.ini");
  FakeHost host;
  host.current = {0, 3, -1, -1, -8, -8, {100, 200, 900, 700}};
  SaveWindowPosition(path, host);
  EXPECT_EQ("0, 3, {-1,-1}, {-8,-8}, {100,200,900,700}",
            platform::ReadProfileString(path, "Main", "WindowPosition", "", 128));
  RestoreWindowPosition(path, host);
  ASSERT_EQ(1, host.applyCount);
  EXPECT_EQ(3, host.applied.showCmd);
  EXPECT_EQ(0, host.applied.minX);
  EXPECT_EQ(0, host.applied.maxY);
  EXPECT_EQ((ui::Rect{100, 200, 900, 700}), host.applied.normal);
}

TEST(WindowPosition, ClampsOffScreenWindows) {
  const ui::Rect desktop{0, 0, 1920, 1080};
  // Dragged past the top-left corner: left and top cut to 0, right and bottom stay.
  WindowPlacement p = ClampToDesktop({0, 1, 0, 0, 0, 0, {-50, -20, 600, 400}}, desktop);
  EXPECT_EQ((ui::Rect{0, 0, 600, 400}), p.normal);
  // Left on a monitor that is gone: half the desktop width, right not moved.
  p = ClampToDesktop({0, 1, 0, 0, 0, 0, {2500, 1200, 3100, 1600}}, desktop);
  EXPECT_EQ((ui::Rect{960, 540, 3100, 1600}), p.normal);
  // Exactly at the edge is not beyond it.
  p = ClampToDesktop({0, 1, 0, 0, 0, 0, {1920, 1080, 2000, 1100}}, desktop);
  EXPECT_EQ(1920, p.normal.left);
}

TEST(WindowPosition, DamagedOrEmptyValueIsNotApplied) {
  TempDir dir;
  const std::string path = dir.File("varnel.ini");
  FakeHost host;
  RestoreWindowPosition(path, host);
  for (const char* bad : {"", "0, 1, {2,3}, {4,5}, {6,7,8}", "junk", "0 1 2 3 4 5 6 7 8 9"}) {
    platform::WriteProfileString(path, "Main", "WindowPosition", bad);
    RestoreWindowPosition(path, host);
  }
  EXPECT_EQ(0, host.applyCount);
}

TEST(ChannelSettings, UniqueLabelsCheckIgnoresCaseAndDisabledChannels) {
  ChannelSettingsArray channels = DefaultChannels();
  EXPECT_FALSE(CheckUniqueLabels(channels));

  std::strcpy(channels[2].szLabel, "Mic");
  std::strcpy(channels[5].szLabel, "MIC");
  channels[5].bIsEnabled = 0;
  EXPECT_FALSE(CheckUniqueLabels(channels));

  channels[5].bIsEnabled = 1;
  const LabelProblem problem = CheckUniqueLabels(channels);
  EXPECT_EQ(LabelFault::kNotUnique, problem.fault);
  EXPECT_EQ(2, problem.channel);
  test::ScriptedUiServices ui;
  ui.ExpectMessageBox(ui::DialogResult::OK);
  ShowLabelProblem(ui, problem);
  ASSERT_EQ(1u, ui.Messages().size());
  EXPECT_NE(std::string::npos, ui.Messages()[0].text.find("Mic"));
  EXPECT_EQ("Tessaline", ui.Messages()[0].caption);
}

TEST(LabelRules, EveryFaultHasItsTextNamingTheLabel) {
  const std::string folder = "/w";
  EXPECT_EQ(LabelFault::kNone, CheckLabelFileName("Mic 1", folder));
  for (const std::string& bad : {std::string("a/b"), std::string(".."), std::string(255 - 22 - 2, 'x')})
    EXPECT_EQ(LabelFault::kNotAFileName, CheckLabelFileName(bad, folder)) << bad;
  EXPECT_EQ(LabelFault::kNone, CheckLabelFileName(std::string(255 - 22 - 3, 'x'), folder)) << "the longest that fits";
  EXPECT_EQ("", LabelFaultText(LabelFault::kNone, "x"));
  EXPECT_EQ(
      "The channel label \"a/b\" cannot be used as a wave file name.  Labels must not contain \"/\", must not be "
      "\".\" or \"..\", and the wave file path with the label must stay within 255 characters.",
      LabelFaultText(LabelFault::kNotAFileName, "a/b"));
  EXPECT_EQ(0u, LabelFaultText(LabelFault::kReservedName, "nul")
                    .find("The channel label \"nul\" cannot be used as a wave file name: the system keeps that name"));
}

TEST(RecorderApp, SettingsFilesLieBesideTheProgram) {
  RecorderApp app;
  const std::string folder = platform::kPathSeparator == '/' ? "/opt/varnel/bin" : "c:\\varnel\\bin";
  app.SetProgramFile(platform::JoinPath(folder, "varnel"));
  EXPECT_EQ(folder, app.ProgramFolder);
  EXPECT_EQ(platform::JoinPath(folder, "varnel.ini"), app.SettingsFilePath);
  EXPECT_EQ(platform::JoinPath(folder, "orvantis.ini"), app.AnalyzerSettingsFilePath);
  EXPECT_EQ(folder, app.SettingsFolder);
}

// An installed program keeps its settings in the user's folder instead.
TEST(RecorderApp, TheSettingsFolderTakesAllThreeFiles) {
  RecorderApp app;
  const std::string program = platform::kPathSeparator == '/' ? "/usr/bin" : "c:\\varnel\\bin";
  app.SetProgramFile(platform::JoinPath(program, "varnel"));
  const std::string user = platform::kPathSeparator == '/' ? "/home/someone/.config/varnel" : "c:\\users\\a\\Varnel";
  app.SetSettingsFolder(user);
  EXPECT_EQ(program, app.ProgramFolder);
  EXPECT_EQ(user, app.SettingsFolder);
  EXPECT_EQ(platform::JoinPath(user, "varnel.ini"), app.SettingsFilePath);
  EXPECT_EQ(platform::JoinPath(user, "orvantis.ini"), app.AnalyzerSettingsFilePath);
}

}  // namespace
}  // namespace varnel
