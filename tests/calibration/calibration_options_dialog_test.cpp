#include "calibration/CalibrationOptionsDialog.h"

#include <gtest/gtest.h>

#include <string>

#include "calibration/ChannelCalibrations.h"
#include "calibration/CreateCalibrationDialog.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "support/ScriptedUiServices.h"
#include "support/ShownAsBoxes.h"
#include "support/TempDir.h"
#include "ui/DialogUnits.h"

namespace varnel {
namespace {

using test::ScriptedUiServices;
using test::TempDir;
using Options = CalibrationOptionsDialog;

class CalibrationOptionsDialogTest : public ::testing::Test {
 protected:
  CalibrationOptionsDialogTest() {
    CopyCut(channel_.szCalFilename, "/old/one.cal");
    CopyCut(workingCopy_, "/old/one.cal");
  }
  // The user makes a volts file in the nested Create dialog and saves it as name.
  void ExpectCreated(const std::string& name) {
    ui_.ExpectModal([](ui::Dialog& d) {
      EXPECT_EQ("Create Calibration File", d.Title());
      d.ChooseItem(CreateCalibrationDialog::kIdUnits, 1);
      d.Click(ui::kIdOk);
    });
    ui_.ExpectSaveFile(dir_.File(name));
  }

  TempDir dir_;
  ScriptedUiServices ui_;
  ChannelSettings channel_ = DefaultChannelSettings(3);
  char workingCopy_[260] = {};
};

TEST_F(CalibrationOptionsDialogTest, ControlsAndOpening) {
  Options dialog(dir_.Path(), workingCopy_, "varnel", ui_);
  EXPECT_EQ("Calibration Options", dialog.Title());
  EXPECT_EQ(327, dialog.WidthDlu());
  EXPECT_EQ(85, dialog.HeightDlu());
  EXPECT_EQ((std::vector<int32_t>{1105, 1107, 1106, Options::kIdHint, 1, 2}), dialog.ControlOrder());
  EXPECT_EQ("&Select Existing Calibration File...", dialog.GetText(1105));
  EXPECT_EQ("&Create New Calibration File...", dialog.GetText(1107));
  EXPECT_EQ(
      "Select the calibration file to apply to this channel.  If no file is selected it will default to "
      "millivolts.",
      dialog.GetText(Options::kIdHint));
  EXPECT_EQ(ui::ControlKind::Edit, dialog.Control(1106).kind);
  EXPECT_EQ(ui::ControlKind::DefaultPushButton, dialog.Control(1).kind);
  EXPECT_EQ("Cancel", dialog.GetText(2));
  for (int32_t id : dialog.ControlOrder()) {
    const ui::Rect r = dialog.GetRect(id);
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= ui::DluToPixelsX(327) && r.bottom <= ui::DluToPixelsY(85) && r.Width() > 0) << id;
  }
  dialog.OnInitDialog();
  EXPECT_EQ("/old/one.cal", dialog.GetText(1106));
}

TEST_F(CalibrationOptionsDialogTest, SelectingAFileFillsTheEdit) {
  Options dialog(dir_.Path(), workingCopy_, "varnel", ui_);
  dialog.OnInitDialog();
  ui_.ExpectOpenFile(std::nullopt);
  dialog.Click(1105);
  EXPECT_EQ("/old/one.cal", dialog.GetText(1106));
  ui_.ExpectOpenFile(std::vector<std::string>{dir_.File("picked.cal")});
  dialog.Click(1105);
  EXPECT_EQ(dir_.File("picked.cal"), dialog.GetText(1106));
  EXPECT_EQ("/old/one.cal", FieldText(workingCopy_));  // until OK

  const ui::FileDialogRequest& request = ui_.FileRequests().at(0);
  EXPECT_EQ("Select Calibration File", request.title);
  EXPECT_EQ("Calibration Files (*.cal)|*.cal||", request.filter);
  EXPECT_EQ("cal", request.defaultExtension);
  EXPECT_EQ(dir_.Path(), request.initialFolder);
  EXPECT_EQ(ui::fd::kFileMustExist | ui::fd::kHideReadOnly, request.options);

  dialog.Click(ui::kIdOk);
  EXPECT_EQ(ui::DialogResult::OK, dialog.Result());
  EXPECT_EQ(dir_.File("picked.cal"), FieldText(workingCopy_));
}

TEST_F(CalibrationOptionsDialogTest, OkStoresTheTextUncheckedAndCut) {
  Options dialog(dir_.Path(), workingCopy_, "varnel", ui_);
  dialog.OnInitDialog();
  dialog.TypeText(1106, std::string(300, 'p'));
  dialog.Click(ui::kIdOk);
  EXPECT_EQ(std::string(259, 'p'), FieldText(workingCopy_));
}

TEST_F(CalibrationOptionsDialogTest, PickingThenCancellingChangesNothing) {
  ui_.ExpectModal([&](ui::Dialog& d) {
    ui_.ExpectOpenFile(std::vector<std::string>{dir_.File("picked.cal")});
    d.Click(1105);
    d.Click(ui::kIdCancel);
  });
  EXPECT_FALSE(EditChannelCalibrationFile(channel_, dir_.Path(), "varnel", ui_));
  EXPECT_EQ("/old/one.cal", FieldText(channel_.szCalFilename));
}

TEST_F(CalibrationOptionsDialogTest, CreatedFileBecomesTheChannelsOnOk) {
  ui_.ExpectModal([&](ui::Dialog& d) {
    EXPECT_EQ("/old/one.cal", d.GetText(1106));
    ExpectCreated("volts.cal");
    d.Click(1107);
    EXPECT_EQ(dir_.File("volts.cal"), d.GetText(1106));
    d.Click(ui::kIdOk);
  });
  EXPECT_TRUE(EditChannelCalibrationFile(channel_, dir_.Path(), "varnel", ui_));
  EXPECT_EQ(dir_.File("volts.cal"), FieldText(channel_.szCalFilename));

  // The next Run reads it.
  ChannelSettingsArray channels = DefaultChannels();
  for (auto& c : channels) c.bIsEnabled = 0;
  channels[3] = channel_;
  std::array<CalibrationRecord, kChannelCount> records{};
  ASSERT_TRUE(test::LoadCalibrationsShowingProblem(channels, records, ui_));
  EXPECT_EQ(0, records[3].Left.RefUnits);
  EXPECT_EQ(0.1414f, records[3].Left.PctFullScale);
}

TEST_F(CalibrationOptionsDialogTest, CreatedFileStaysOnDiskWhenTheOptionsAreCancelled) {
  ui_.ExpectModal([&](ui::Dialog& d) {
    ExpectCreated("kept.cal");
    d.Click(1107);
    d.Click(ui::kIdCancel);
  });
  EXPECT_FALSE(EditChannelCalibrationFile(channel_, dir_.Path(), "varnel", ui_));
  EXPECT_EQ("/old/one.cal", FieldText(channel_.szCalFilename));
  EXPECT_TRUE(platform::FileExists(dir_.File("kept.cal")));
}

TEST_F(CalibrationOptionsDialogTest, CancelledCreateLeavesTheEdit) {
  Options dialog(dir_.Path(), workingCopy_, "varnel", ui_);
  dialog.OnInitDialog();
  ui_.ExpectModal([](ui::Dialog& d) { d.Click(ui::kIdCancel); });
  dialog.Click(1107);
  EXPECT_EQ("/old/one.cal", dialog.GetText(1106));
  EXPECT_TRUE(ui_.FileRequests().empty());
}

TEST_F(CalibrationOptionsDialogTest, ClearedNameStopsTheNextRunForThatChannel) {
  ui_.ExpectModal([](ui::Dialog& d) {
    d.TypeText(1106, "");
    d.Click(ui::kIdOk);
  });
  EXPECT_TRUE(EditChannelCalibrationFile(channel_, dir_.Path(), "varnel", ui_));
  EXPECT_EQ("", FieldText(channel_.szCalFilename));

  ChannelSettingsArray channels = DefaultChannels();
  channels[3] = channel_;
  for (auto& c : channels) CopyCut(c.szCalFilename, c.ChannelIndex == 3 ? "" : "/dev/null/x");
  for (auto& c : channels) c.bIsEnabled = c.ChannelIndex == 3 ? 1 : 0;
  std::array<CalibrationRecord, kChannelCount> records{};
  ui_.ExpectMessageBox("Calibration file not specified for channel 3", ui::DialogResult::OK);
  EXPECT_FALSE(test::LoadCalibrationsShowingProblem(channels, records, ui_));
}

}  // namespace
}  // namespace varnel
