#include <gtest/gtest.h>

#include <fstream>

#include "RecorderRig.h"
#include "platform/Profile.h"
#include "ui/Messages.h"

namespace varnel {
namespace {

using test::RecorderRig;
using ui::DialogResult;

struct ReadBack {
  uint32_t frames = 0;
  std::vector<int16_t> samples;
  CalibrationRecord calibration{};
  int32_t hasCalibration = 0;
};

ReadBack ReadWave(const std::string& path) {
  test::ScriptedUiServices ui;
  WaveIO wave(ui);
  ReadBack r;
  if (wave.OpenExisting(path) != 1) return r;
  r.frames = wave.Length;
  r.hasCalibration = wave.HasCalibration;
  r.calibration = wave.Calibration;
  std::string bytes = test::ReadFile(path);
  r.samples.resize(r.frames);
  if (bytes.size() >= 44 + r.frames * 2u) std::memcpy(r.samples.data(), bytes.data() + 44, r.frames * 2u);
  return r;
}

// Three enabled channels, two of them recorded: list entries 0, 1, 2 are
// channels 1, 4, 9.
TEST(Recording, RecordsEveryRecChannelIntoItsOwnFileWithItsCalibration) {
  RecorderRig rig;
  rig.UseChannels({1, 4, 9}, {1, 9});
  CopyCut(rig.channels[1].szLabel, "Mic A");
  CopyCut(rig.channels[9].szLabel, "Hydro");
  rig.settings.SamplingRate = 50000;
  rig.Open();
  rig.Run();
  ASSERT_EQ(1, rig.dialog->bIsRunning);
  EXPECT_EQ(" Running...", rig.dialog->GetText(kIdStatus));
  EXPECT_EQ("&Stop", rig.dialog->GetText(kIdRun));
  EXPECT_FALSE(rig.dialog->IsEnabled(kIdOptions));
  rig.StepBuffers(3);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(0, rig.dialog->bIsRunning);
  EXPECT_EQ(" Stopped", rig.dialog->GetText(kIdStatus));

  EXPECT_EQ((std::vector<std::string>{"Hydro.wav", "Mic A.wav"}), rig.WaveFiles());
  const uint32_t frames = 3 * 8192;
  for (auto [name, entry, channel] : {std::tuple{"Mic A.wav", 0, 1}, std::tuple{"Hydro.wav", 2, 9}}) {
    ReadBack r = ReadWave(rig.Wave(name));
    ASSERT_EQ(frames, r.frames) << name;
    for (uint32_t f = 0; f < frames; f += 997) ASSERT_EQ(RecorderRig::Expected(entry, f), r.samples[f]) << name << f;
    EXPECT_EQ(RecorderRig::Expected(entry, frames - 1), r.samples[frames - 1]);
    ASSERT_EQ(1, r.hasCalibration);
    const CalibrationRecord& held = rig.dialog->CalibrationRecords[channel];
    EXPECT_EQ(0, std::memcmp(&r.calibration.Left, &held.Left, sizeof held.Left)) << name;
    EXPECT_STREQ(held.CalFileName, r.calibration.CalFileName);
    EXPECT_FLOAT_EQ(1.0f + channel, r.calibration.Left.RefLevel);
  }
  // Readers nobody here wrote agree (on the Linux side, for the Windows build).
  if (!test::HostToolsAvailable()) return;
  int status = 0;
  std::string info = test::RunCommand("sox --i '" + rig.Wave("Hydro.wav' 2>&1"), &status);
  EXPECT_EQ(0, status) << info;
  EXPECT_NE(std::string::npos, info.find("50000")) << info;
  EXPECT_NE(std::string::npos, info.find("24576 samples")) << info;
  info = test::RunCommand("sndfile-info '" + rig.Wave("Mic A.wav' 2>&1"), &status);
  EXPECT_NE(std::string::npos, info.find("Frames      : 24576")) << info;
}

TEST(Recording, TriggeredRunStopsAtTheFirstTickAfterThePostTriggerTime) {
  RecorderRig rig;
  rig.UseChannels({0}, {0});
  rig.settings.SamplingRate = 50000;
  rig.settings.TriggerEnable = 1;
  rig.settings.PostTriggerRunTime = 1.0f;
  rig.Open();
  rig.Run();
  EXPECT_EQ(" Waiting for Trigger...", rig.dialog->GetText(kIdStatus));
  EXPECT_EQ(100u, rig.loop.TimerPeriod(ui::kRefreshTimerId));
  rig.StepBuffers(6);
  rig.loop.FireTimer(ui::kRefreshTimerId);
  EXPECT_EQ(1, rig.dialog->bIsRunning);
  rig.StepBuffers(1);
  EXPECT_EQ(1, rig.dialog->bIsRunning);
  rig.loop.FireTimer(ui::kRefreshTimerId);
  EXPECT_EQ(0, rig.dialog->bIsRunning);
  EXPECT_FALSE(rig.loop.TimerActive(ui::kRefreshTimerId));
  EXPECT_EQ(7u * 8192, ReadWave(rig.Wave("Channel_0.wav")).frames);
}

TEST(Recording, StopWhileWaitingForTheTriggerLeavesNoFile) {
  RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.TriggerEnable = 1;
  rig.Open();
  rig.Run();
  rig.dialog->Click(kIdRun);
  EXPECT_TRUE(rig.WaveFiles().empty());
}

TEST(Recording, OverwriteQuestionNoSkipsTheChannelCancelUndoesTheRun) {
  RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.Open();
  // The first channel's file is begun before the second one's question.
  const std::string existing = rig.Wave("Channel_1.wav");
  test::WriteFile(existing, "old");
  rig.ui.ExpectMessageBox(test::kNoAnalyser, DialogResult::Yes);
  rig.ui.ExpectMessageBox("File " + existing + " already exists.  Do you want to overwrite this file?",
                          DialogResult::Cancel);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(0, rig.dialog->bIsRunning);
  EXPECT_FALSE(rig.dialog->Device.IsOpen());
  EXPECT_EQ(ui::mb::kYesNoCancel | ui::mb::kIconQuestion, rig.ui.Messages().back().style);
  EXPECT_EQ((std::vector<std::string>{"Channel_1.wav"}), rig.WaveFiles()) << "nothing of the undone run is left";
  EXPECT_EQ("old", test::ReadFile(existing));

  rig.ui.ExpectMessageBox(test::kNoAnalyser, DialogResult::Yes);
  rig.ui.ExpectMessageBox(DialogResult::No);
  rig.dialog->Click(kIdRun);
  ASSERT_EQ(1, rig.dialog->bIsRunning);
  rig.StepBuffers(1);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ("old", test::ReadFile(existing));
  EXPECT_EQ(8192u, ReadWave(rig.Wave("Channel_0.wav")).frames);
  // No temporary files are left behind.
  EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_1.wav"}), rig.WaveFiles());
}

TEST(Recording, OverwriteYesReplacesOnlyWithTheCompleteRecording) {
  RecorderRig rig;
  rig.UseChannels({0}, {0});
  rig.Open();
  const std::string existing = rig.Wave("Channel_0.wav");
  test::WriteFile(existing, "old");
  rig.ui.ExpectMessageBox(test::kNoAnalyser, DialogResult::Yes);
  rig.ui.ExpectMessageBox(DialogResult::Yes);
  rig.dialog->Click(kIdRun);
  rig.StepBuffers(2);
  EXPECT_EQ("old", test::ReadFile(existing));  // still running
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(2u * 8192, ReadWave(existing).frames);
}

TEST(Recording, FailedAppendRollsOnlyThatChannelOverAndNothingIsLost) {
  RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.bAppendTimeStamp = 0;  // rolls over even without time stamps
  rig.Open();
  // Room for two buffers of one channel per file.
  ScopedWaveRiffSizeLimit limit(36 + 2 * 8192 * 2);
  rig.Run();
  rig.StepBuffers(5);
  rig.dialog->Click(kIdRun);
  std::vector<std::string> files = rig.WaveFiles();
  uint32_t total0 = 0, total1 = 0;
  for (const std::string& f : files) {
    ReadBack r = ReadWave(rig.Wave(f));
    EXPECT_EQ(1, r.hasCalibration) << f;
    (f.rfind("Channel_0", 0) == 0 ? total0 : total1) += r.frames;
  }
  // Buffers 3 and 5 of each channel hit the limit and went into the next file.
  EXPECT_EQ(5u * 8192, total0);
  EXPECT_EQ(5u * 8192, total1);
  EXPECT_EQ(6u, files.size());
  EXPECT_FALSE(rig.dialog->Files.Report.DataLost());
  EXPECT_TRUE(rig.ui.AllAnswersUsed());
}

TEST(Recording, RateQuestionAndRefusals) {
  RecorderRig rig;
  rig.UseChannels({0, 1, 2}, {});
  rig.settings.SamplingRate = 200000;
  rig.Open();
  rig.ui.ExpectMessageBox(
      "The Sampling Rate is too high.  Either reduce the sampling rate or decrease the number of enabled channels.  "
      "The maximum supported aggregate sampling rate is 500000 Hz and there are 3 channels enabled.\n\nThe maximum "
      "allowable sampling rate per channel is 166666 Hz.  Do you want to use this rate instead?",
      DialogResult::Yes);
  rig.ui.ExpectMessageBox(test::kNoAnalyser, DialogResult::Yes);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(166666, rig.dialog->Settings.SamplingRate);
  EXPECT_EQ("166666", rig.dialog->GetText(kIdSamplingRate));
  EXPECT_EQ(1, rig.dialog->bIsRunning);
  EXPECT_EQ(ui::mb::kYesNo, rig.ui.Messages()[0].style);
  rig.dialog->Click(kIdRun);

  for (int i : {1, 2}) rig.dialog->Click(kGridRows[i].enable);
  rig.dialog->TypeText(kIdSamplingRate, "600000");
  rig.ui.ExpectMessageBox("The Sampling Rate is greater than the maximum supported sampling rate of 500000 Hz",
                          DialogResult::OK);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(0, rig.dialog->bIsRunning);
  EXPECT_FALSE(rig.dialog->Device.IsOpen());

  rig.dialog->Click(kGridRows[0].enable);
  rig.ui.ExpectMessageBox("No channels are enabled!", DialogResult::OK);
  rig.dialog->Click(kIdRun);
  rig.dialog->TypeText(kIdSamplingRate, "Hz");
  rig.ui.ExpectMessageBox("Sampling Rate must be greater than zero!", DialogResult::OK);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(ui::mb::kIconError, rig.ui.Messages().back().style);
  EXPECT_EQ("Tessaline", rig.ui.Messages().back().caption);
}

TEST(Recording, RecToggledDuringARunPausesAndResumesAtTheNextBuffer) {
  RecorderRig rig;
  rig.UseChannels({0, 1}, {0});
  rig.Open();
  rig.Run();
  rig.StepBuffers(1);
  rig.dialog->Click(kGridRows[1].rec);  // start channel 1
  EXPECT_EQ(1, rig.dialog->Channels[1].bIsRecording);
  rig.StepBuffers(1);
  rig.dialog->Click(kGridRows[0].rec);  // pause channel 0
  rig.StepBuffers(1);
  // Every other edit is refused while running.
  const std::string label = rig.dialog->GetText(kGridRows[0].label);
  rig.dialog->OnCommand(kGridRows[0].gain);
  rig.dialog->OnCommand(kGridRows[0].label);
  rig.dialog->OnCommand(kGridRows[0].cal);
  rig.dialog->OnCommand(kIdOptions);
  rig.dialog->OnCommand(kGridRows[0].enable);
  EXPECT_EQ("1", rig.dialog->GetText(kGridRows[0].gain));
  EXPECT_FALSE(rig.dialog->IsEnabled(kGridRows[0].enable));
  EXPECT_TRUE(rig.dialog->IsEnabled(kGridRows[0].rec));
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(2u * 8192, ReadWave(rig.Wave("Channel_0.wav")).frames);
  ReadBack one = ReadWave(rig.Wave("Channel_1.wav"));
  ASSERT_EQ(2u * 8192, one.frames);
  EXPECT_EQ(RecorderRig::Expected(1, 8192), one.samples[0]);
}

TEST(Recording, ClosingWhileRunningSavesFilesThenTheSettingsOfTheRun) {
  RecorderRig rig;
  rig.UseChannels({0, 3}, {3});
  rig.settings.SamplingRate = 40000;
  rig.Open();
  rig.Run();
  rig.StepBuffers(2);
  rig.dialog->TypeText(kIdSamplingRate, "1000");  // disabled while running: not taken
  rig.loop.Post({ui::WM_CLOSE, 0, 0});
  rig.loop.DispatchPending();
  EXPECT_TRUE(rig.dialog->IsEnded());
  EXPECT_EQ(2u * 8192, ReadWave(rig.Wave("Channel_3.wav")).frames);
  const std::string ini = FieldText(rig.app.SettingsFilePath).data();
  EXPECT_EQ(40000, platform::ReadProfileInt(ini, "Main", "SamplingRate", 0));
  EXPECT_EQ(1, platform::ReadProfileInt(ini, "Channel_3", "bIsRecording", 0));
}

TEST(Recording, EscapeNeitherEndsTheWindowNorLosesTheRun) {
  RecorderRig rig;
  rig.UseChannels({0}, {0});
  rig.Open();
  rig.Run();
  rig.dialog->Click(ui::kIdCancel);
  EXPECT_FALSE(rig.dialog->IsEnded());
  EXPECT_EQ(1, rig.dialog->bIsRunning);
}

TEST(Recording, LabelsThatCannotBeFileNamesAreRefusedBeforeAnythingIsWritten) {
  const std::string tooLong(240, 'x');
  for (const char* bad : {"a/b", "..", ".", tooLong.c_str()}) {
    RecorderRig rig;
    rig.UseChannels({0}, {0});
    CopyCut(rig.channels[0].szLabel, bad);
    rig.Open();
    rig.ui.ExpectMessageBox(DialogResult::OK);
    rig.dialog->Click(kIdRun);
    EXPECT_EQ(0, rig.dialog->bIsRunning) << bad;
    EXPECT_FALSE(rig.dialog->Device.IsOpen());
    EXPECT_NE(std::string::npos, rig.ui.Messages().back().text.find("cannot be used as a wave file name"));
    EXPECT_TRUE(rig.WaveFiles().empty());
  }
}

// Windows takes "Ä1" and "ä1" for one file and keeps "NUL" (with any
// extension) for a device: there such labels are refused at Run, where one
// file would be lost; on Linux each is a file of its own and is recorded.
TEST(Recording, LabelsTheFileSystemCannotKeepApartOrReservesAreRefusedWhereItDoes) {
  const bool windows = platform::kPathSeparator == '\\';
  struct Case {
    std::vector<std::string> labels;
    const char* refusal;  // on Windows
  };
  const Case cases[] = {
      {{"\xc3\x84"
        "1",
        "\xc3\xa4"
        "1"},
       "is used by more than one channel.  Each label must be unique."},
      {{"NUL"}, "the system keeps that name for a device."},
      {{"com7.left"}, "the system keeps that name for a device."},
  };
  for (const Case& c : cases) {
    RecorderRig rig;
    std::vector<int> used;
    for (std::size_t i = 0; i < c.labels.size(); ++i) used.push_back(static_cast<int>(i));
    rig.UseChannels(used, used);
    rig.settings.bAppendTimeStamp = 0;
    for (std::size_t i = 0; i < c.labels.size(); ++i) CopyCut(rig.channels[i].szLabel, c.labels[i]);
    rig.Open();
    if (windows) {
      rig.ui.ExpectMessageBox(DialogResult::OK);
      rig.dialog->Click(kIdRun);
      EXPECT_EQ(0, rig.dialog->bIsRunning) << c.labels[0];
      EXPECT_NE(std::string::npos, rig.ui.Messages().back().text.find(c.refusal)) << rig.ui.Messages().back().text;
      EXPECT_TRUE(rig.WaveFiles().empty());
      continue;
    }
    rig.Run();
    rig.StepBuffers(1);
    rig.dialog->Click(kIdRun);
    std::vector<std::string> expected;
    for (const std::string& label : c.labels) expected.push_back(label + ".wav");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, rig.WaveFiles());
  }
}

TEST(Recording, MissingCalibrationAbandonsTheRunAndRemovesTheWorkingFiles) {
  RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.channels[1].szCalFilename[0] = '\0';
  rig.Open();
  rig.ui.ExpectMessageBox(test::kNoAnalyser, DialogResult::Yes);
  rig.ui.ExpectMessageBox(DialogResult::OK);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(0, rig.dialog->bIsRunning);
  EXPECT_FALSE(rig.dialog->Device.IsOpen());
  EXPECT_TRUE(rig.WaveFiles().empty());
}

}  // namespace
}  // namespace varnel

namespace varnel {
namespace {

using test::RecorderRig;
using ui::DialogResult;

TEST(RecordingFailures, EachFailedStepShowsItsMessageAndUndoesTheRun) {
  {  // A wave folder that does not exist.
    RecorderRig rig;
    rig.UseChannels({0}, {0});
    CopyCut(rig.settings.szWavePath, rig.dir.File("missing"));
    rig.Open();
    rig.ui.ExpectMessageBox(test::kNoAnalyser, DialogResult::Yes);
    rig.ui.ExpectMessageBox("FILE_OPEN_FAIL", DialogResult::OK);
    rig.ui.ExpectMessageBox("Failure creating wave file " + platform::JoinPath(rig.dir.File("missing"), "Channel_0.wav") +
                                ".  Please check that the wave file path is valid and is not write "
                                "protected",
                            DialogResult::OK);
    rig.dialog->Click(kIdRun);
    EXPECT_EQ(0, rig.dialog->bIsRunning);
    EXPECT_FALSE(rig.dialog->Device.IsOpen());
    EXPECT_EQ(ui::mb::kIconError, rig.ui.Messages().back().style & ui::mb::kIconMask);
  }
  {  // The board refuses its settings.
    RecorderRig rig;
    rig.UseChannels({0}, {0});
    rig.Open();
    rig.board->FailCall(sim::SimCall::Configure, sim::kSimBusy);
    rig.ui.ExpectMessageBox(test::kNoAnalyser, DialogResult::Yes);
    rig.ui.ExpectMessageBox("Unable to open the device.  It may already be in use by another program",
                            DialogResult::OK);
    rig.dialog->Click(kIdRun);
    EXPECT_EQ(0, rig.dialog->bIsRunning);
    EXPECT_EQ(" Stopped", rig.dialog->GetText(kIdStatus));
    EXPECT_FALSE(rig.dialog->Device.IsOpen());
    EXPECT_TRUE(rig.WaveFiles().empty());
  }
  {  // The board does not start.
    RecorderRig rig;
    rig.UseChannels({0}, {0});
    rig.Open();
    rig.board->FailCall(sim::SimCall::StartAcquisition, sim::kSimBusy);
    rig.ui.ExpectMessageBox(test::kNoAnalyser, DialogResult::Yes);
    rig.ui.ExpectMessageBox("Failure starting A/D", DialogResult::OK);
    rig.dialog->Click(kIdRun);
    EXPECT_EQ(0, rig.dialog->bIsRunning);
    EXPECT_EQ(" Starting Device...", rig.dialog->GetText(kIdStatus));
    EXPECT_EQ("&Start", rig.dialog->GetText(kIdRun));
    EXPECT_TRUE(rig.dialog->IsEnabled(kIdOptions));
    EXPECT_TRUE(rig.WaveFiles().empty());
  }
}

TEST(RecordingFailures, ABoardThatIsGoneBetweenQueryAndRunIsReportedByOpen) {
  RecorderRig rig;
  rig.UseChannels({0}, {0});
  rig.Open();
  rig.board->FailCall(sim::SimCall::InitializeBoard, sim::kSimNoSuchBoard);
  rig.ui.ExpectMessageBox("Error opening device DT9834. Status code 5.\n", DialogResult::OK);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(0, rig.dialog->bIsRunning);
  EXPECT_EQ("", rig.ui.Messages().back().caption);
  EXPECT_EQ(ui::mb::kIconWarning, rig.ui.Messages().back().style & ui::mb::kIconMask);
}

}  // namespace
}  // namespace varnel
