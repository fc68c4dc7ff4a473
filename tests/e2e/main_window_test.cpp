#include <gtest/gtest.h>

#include "platform/Messages.h"
#include "support/RecorderRig.h"

namespace varnel {
namespace {

using test::RecorderRig;
using ui::DialogResult;

void TwoBoards(RecorderRig& rig) {
  test::WriteFile(rig.dir.File("olsim.ini"),
                  "[Boards]\nCount=2\n[Board0]\nName=DT9834(00)\nChannels=16\n"
                  "[Board1]\nName=DT9816(01)\nChannels=8\nGains=1\nMaxThroughput=100000\nSimultaneous=1\n");
}

TEST(MainWindow, StartsWithTheSettingsAndTheBoards) {
  RecorderRig rig;
  TwoBoards(rig);
  rig.settings.DeviceIndex = 7;  // beyond the list: the last board
  CopyCut(rig.settings.Caption, "Bench 4");
  rig.Open();
  RecorderDialog& d = *rig.dialog;
  EXPECT_EQ("Bench 4", d.Title());
  EXPECT_EQ("&Start", d.GetText(kIdRun));
  EXPECT_EQ(" Stopped", d.GetText(kIdStatus));
  EXPECT_EQ("22050", d.GetText(kIdSamplingRate));
  ASSERT_EQ(2u, d.ListCount(kIdDeviceList));
  EXPECT_EQ("DT9816(01)", d.Control(kIdDeviceList).items[1].text);
  EXPECT_EQ(1, d.ListSelection(kIdDeviceList));
  EXPECT_EQ(1, d.Settings.DeviceIndex);
  EXPECT_EQ(8, d.Settings.MaxChannels);
  EXPECT_EQ(1, d.Settings.NumGains);
  EXPECT_EQ(100000, d.Settings.MaxSamplingRate);
  EXPECT_EQ(1, d.Settings.bSimultaneousSampling);
  EXPECT_FALSE(d.Engine.Device.IsOpen());  // opened for the query only
  EXPECT_EQ("Channel_3", d.GetText(kGridRows[3].label));
  EXPECT_EQ("C", d.GetText(kGridRows[3].cal));
}

TEST(MainWindow, SmallerBoardHidesRowsClearsFlagsAndFitsTheWindow) {
  RecorderRig rig;
  TwoBoards(rig);
  for (int i : {3, 12}) {
    rig.channels[i].bIsRecording = 1;
    rig.channels[i].Gain = 4;
  }
  rig.channels[12].bIsMonitoringLeft = 1;
  rig.Open();
  RecorderDialog& d = *rig.dialog;
  EXPECT_EQ(16, d.Settings.MaxChannels);
  EXPECT_TRUE(d.IsShown(kGridRows[15].label));

  d.ChooseItem(kIdDeviceList, 1);
  EXPECT_EQ(8, d.Settings.MaxChannels);
  EXPECT_FALSE(d.IsShown(kGridRows[8].enable));
  EXPECT_TRUE(d.IsShown(kGridRows[7].enable));
  EXPECT_EQ(0, d.Channels[12].bIsEnabled + d.Channels[12].bIsRecording + d.Channels[12].bIsMonitoringLeft);
  EXPECT_EQ("Channel_12", std::string(FieldText(d.Channels[12].szLabel)));
  const int32_t labelBottom = d.GetRect(kGridRows[7].label).bottom;
  EXPECT_EQ(d.WindowRect().top + labelBottom + 32, d.WindowRect().bottom);
  EXPECT_EQ(labelBottom + 8, d.GetRect(kIdStatus).top);
  EXPECT_EQ(d.GetRect(kIdStatus).bottom + 1, d.GetRect(kIdGridFrame).bottom);
  // One gain: every gain is 1 and fixed.
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ("1", d.GetText(kGridRows[i].gain));
    EXPECT_FALSE(d.IsEnabled(kGridRows[i].gain));
  }
  d.OnCommand(kGridRows[3].gain);
  EXPECT_EQ(1, d.Channels[3].Gain);

  d.ChooseItem(kIdDeviceList, 0);
  EXPECT_EQ(16, d.Settings.MaxChannels);
  EXPECT_TRUE(d.IsShown(kGridRows[12].enable));
  EXPECT_FALSE(d.IsTicked(kGridRows[12].enable));
  EXPECT_FALSE(d.IsEnabled(kGridRows[12].rec));
  EXPECT_TRUE(d.IsEnabled(kGridRows[3].gain));
  EXPECT_EQ(d.GetRect(kGridRows[15].label).bottom + 8, d.GetRect(kIdStatus).top);
}

TEST(MainWindow, EnableGainLabelAndRadioGroups) {
  RecorderRig rig;
  rig.Open();
  RecorderDialog& d = *rig.dialog;
  const GridRow& r = kGridRows[2];
  d.Click(r.rec);
  d.Click(r.left);
  EXPECT_EQ(1, d.Channels[2].bIsRecording);
  d.Click(r.enable);  // untick
  EXPECT_FALSE(d.IsEnabled(r.rec));
  EXPECT_FALSE(d.IsTicked(r.rec));
  EXPECT_FALSE(d.IsTicked(r.left));
  EXPECT_FALSE(d.IsEnabled(r.cal));
  EXPECT_FALSE(d.IsEnabled(r.gain));
  EXPECT_EQ(0, d.Channels[2].bIsEnabled + d.Channels[2].bIsRecording + d.Channels[2].bIsMonitoringLeft);

  // Only one L in the column, R independent.
  d.Click(kGridRows[2].enable);
  d.Click(kGridRows[2].left);
  d.Click(kGridRows[5].left);
  d.Click(kGridRows[5].right);
  EXPECT_FALSE(d.IsTicked(kGridRows[2].left));
  EXPECT_TRUE(d.IsTicked(kGridRows[5].left));
  EXPECT_TRUE(d.IsTicked(kGridRows[5].right));

  // Gain cycle from the button's text, the record following; a gain that is
  // none of the four (a hand-edited file) stays what it is.
  for (const char* expected : {"2", "4", "8", "1", "2"}) {
    d.Click(kGridRows[0].gain);
    EXPECT_EQ(expected, d.GetText(kGridRows[0].gain));
    EXPECT_EQ(expected, std::to_string(d.Channels[0].Gain));
  }
  d.TypeText(kGridRows[1].gain, "3");
  d.Click(kGridRows[1].gain);
  EXPECT_EQ("3", d.GetText(kGridRows[1].gain));
  EXPECT_EQ(3, d.Channels[1].Gain);

  // The label editor: the new text is on the button.
  rig.ui.ExpectModal([](ui::Dialog& dlg) {
    EXPECT_EQ("Enter the label for channel 6:", dlg.GetText(1072));
    dlg.TypeText(1071, "Shaker");
    dlg.Click(ui::kIdOk);
  });
  d.Click(kGridRows[6].label);
  EXPECT_EQ("Shaker", d.GetText(kGridRows[6].label));
  EXPECT_STREQ("Shaker", d.Channels[6].szLabel);

  // The sampling rate is read from its field up to the first non-digit.
  d.TypeText(kIdSamplingRate, "44100 Hz");
  d.Click(kGridRows[0].rec);
  EXPECT_EQ(44100, d.Settings.SamplingRate);
}

TEST(MainWindow, CalibrationButtonCopiesTheChosenFileOnOkOnly) {
  RecorderRig rig;
  rig.Open();
  RecorderDialog& d = *rig.dialog;
  rig.ui.ExpectModal([](ui::Dialog& dlg) {
    dlg.TypeText(1106, "/somewhere/mic.cal");
    dlg.Click(ui::kIdCancel);
  });
  d.Click(kGridRows[4].cal);
  EXPECT_STREQ("", d.Channels[4].szCalFilename);
  rig.ui.ExpectModal([](ui::Dialog& dlg) {
    dlg.TypeText(1106, "/somewhere/mic.cal");
    dlg.Click(ui::kIdOk);
  });
  d.Click(kGridRows[4].cal);
  EXPECT_STREQ("/somewhere/mic.cal", d.Channels[4].szCalFilename);
  EXPECT_EQ("C", d.GetText(kGridRows[4].cal));
}

TEST(MainWindow, DeviceRescanWhileRunningLeavesTheRunningBoardAlone) {
  RecorderRig rig;
  rig.UseChannels({0}, {0});
  rig.Open();
  rig.Run();
  ASSERT_EQ(1, rig.dialog->bIsRunning);
  TwoBoards(rig);
  rig.loop.Post({platform::WM_DEVICECHANGE, 0, 0});
  rig.loop.DispatchPending();
  EXPECT_EQ(2u, rig.dialog->ListCount(kIdDeviceList));
  EXPECT_TRUE(rig.dialog->Engine.Device.IsOpen());
  EXPECT_TRUE(rig.dialog->Engine.Device.IsAcquiring());
  EXPECT_EQ(16, rig.dialog->Settings.MaxChannels);
  rig.StepBuffers(1);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(44u + 8192 * 2 + 8 + 2048, test::ReadFile(rig.Wave("Channel_0.wav")).size());
}

TEST(MainWindow, NoBoardIsReportedAtRun) {
  RecorderRig rig;
  test::WriteFile(rig.dir.File("olsim.ini"), "[Boards]\nCount=0\n");
  rig.Open();
  EXPECT_EQ(-1, rig.dialog->Settings.DeviceIndex);
  EXPECT_EQ(16, rig.dialog->Settings.MaxChannels);
  rig.ui.ExpectMessageBox("There are no data acquisition devices available on your system.", DialogResult::OK);
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(0, rig.dialog->bIsRunning);
}

TEST(MainWindow, MinimisedIconIsCentred) {
  EXPECT_EQ((ui::Rect{10, 20, 42, 52}), RecorderDialog::MinimisedIconRect(52, 72, 32, 32));
  EXPECT_EQ((ui::Rect{11, 21, 43, 53}), RecorderDialog::MinimisedIconRect(53, 73, 32, 32));
}

}  // namespace
}  // namespace varnel
