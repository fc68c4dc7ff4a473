#include "calibration/CreateCalibrationDialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/Profile.h"
#include "support/ScriptedUiServices.h"
#include "support/TempDir.h"
#include "ui/DialogUnits.h"

namespace varnel {
namespace {

using test::ScriptedUiServices;
using test::TempDir;
using ui::ControlKind;
using Dlg = CreateCalibrationDialog;

std::string Key(const std::string& path, const char* key) {
  return platform::ReadProfileString(path, "Calibration", key, "<missing>", 256);
}

class CreateCalibrationDialogTest : public ::testing::Test {
 protected:
  CreateCalibrationDialogTest() { dialog_.OnInitDialog(); }

  // Presses OK and answers the save dialog with a file in the folder.
  bool SaveAs(const std::string& name) {
    ui_.ExpectSaveFile(dir_.File(name));
    dialog_.Click(ui::kIdOk);
    return dialog_.Result() == ui::DialogResult::OK;
  }
  void ExpectRefused(const std::string& message) {
    ui_.ExpectMessageBox(message, ui::DialogResult::OK);
    dialog_.Click(ui::kIdOk);
    EXPECT_FALSE(dialog_.IsEnded());
    ASSERT_EQ(1u, ui_.Messages().size());
    EXPECT_EQ("varnel", ui_.Messages()[0].caption);
    EXPECT_EQ(ui::mb::kOk, ui_.Messages()[0].style);  // no icon
    EXPECT_TRUE(ui_.FileRequests().empty());
    EXPECT_EQ('\0', saved_[0]);
  }

  TempDir dir_;
  char saved_[260] = {};
  ScriptedUiServices ui_;
  Dlg dialog_{dir_.Path(), saved_, "varnel", ui_};
};

TEST_F(CreateCalibrationDialogTest, ControlsOfTheDialog) {
  EXPECT_EQ("Create Calibration File", dialog_.Title());
  EXPECT_EQ(253, dialog_.WidthDlu());
  EXPECT_EQ(106, dialog_.HeightDlu());
  const std::vector<int32_t> order = {Dlg::kIdUnitsLabel, 1107, 1110, 1109, 1111, 1108, 1, 2};
  EXPECT_EQ(order, dialog_.ControlOrder());
  const std::map<int32_t, ControlKind> kinds = {{Dlg::kIdUnitsLabel, ControlKind::StaticText},
                                                {1107, ControlKind::ComboBox},
                                                {1110, ControlKind::StaticText},
                                                {1109, ControlKind::Edit},
                                                {1111, ControlKind::StaticText},
                                                {1108, ControlKind::ComboBox},
                                                {1, ControlKind::DefaultPushButton},
                                                {2, ControlKind::PushButton}};
  for (int32_t id : order) {
    EXPECT_EQ(kinds.at(id), dialog_.Control(id).kind) << id;
    const ui::Rect r = dialog_.GetRect(id);
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= ui::DluToPixelsX(253) && r.bottom <= ui::DluToPixelsY(106) && r.Width() > 0 && r.Height() > 0)
        << id;
  }
  EXPECT_EQ("Calibration Units:", dialog_.GetText(Dlg::kIdUnitsLabel));
  EXPECT_EQ("Convert Acceleration to:", dialog_.GetText(1111));
  EXPECT_EQ("OK", dialog_.GetText(1));
  EXPECT_EQ("Cancel", dialog_.GetText(2));
  // The resource text, before the dialog opens.
  char other[260] = {};
  EXPECT_EQ("Transducer Sensitivity:", Dlg(dir_.Path(), other, "varnel", ui_).GetText(1110));
}

TEST_F(CreateCalibrationDialogTest, OpensOnMillivoltsWithFieldAndListDisabled) {
  const std::vector<ui::ListItem> units = {{"Millivolts, dBmV", 1},
                                           {"Volts, dBV", 0},
                                           {"Pascals, SPL (in air)", 2},
                                           {"Pascals, SPL (in water)", 10},
                                           {"Acceleration", 3}};
  EXPECT_EQ(units, dialog_.Control(1107).items);
  EXPECT_EQ(0, dialog_.ListSelection(1107));
  EXPECT_EQ("Millivolts, dBmV", dialog_.GetText(1107));
  const std::vector<ui::ListItem> conversions = {{"None", 0},
                                                 {"Velocity (ft/sec)", 1},
                                                 {"Velocity (in/sec)", 2},
                                                 {"Velocity (mils/sec)", 7},
                                                 {"Velocity (mm/sec)", 3},
                                                 {"Displacement (ft)", 4},
                                                 {"Displacement (in)", 5},
                                                 {"Displacement (mils)", 8},
                                                 {"Displacement (mm)", 6}};
  EXPECT_EQ(conversions, dialog_.Control(1108).items);
  EXPECT_EQ(0, dialog_.ListSelection(1108));
  EXPECT_EQ("100.0", dialog_.GetText(1109));
  EXPECT_EQ("Sensitivity", dialog_.GetText(1110));
  EXPECT_FALSE(dialog_.IsEnabled(1109));
  EXPECT_FALSE(dialog_.IsEnabled(1108));
}

TEST_F(CreateCalibrationDialogTest, UnitsDecideLabelFieldAndList) {
  struct Row {
    int32_t index;
    const char* label;
    bool field;
    bool list;
  };
  // Millivolts and volts keep whatever the label said before.
  const Row rows[] = {{2, "Microphone Sensitivity (mV/PA)", true, false},
                      {0, "Microphone Sensitivity (mV/PA)", false, false},
                      {3, "Hydrophone Sensitivity (mV/PA)", true, false},
                      {4, "Accelerometer Sensitivity (mV/G)", true, true},
                      {1, "Accelerometer Sensitivity (mV/G)", false, false}};
  for (const Row& row : rows) {
    dialog_.ChooseItem(1107, row.index);
    EXPECT_EQ(row.label, dialog_.GetText(1110)) << row.index;
    EXPECT_EQ(row.field, dialog_.IsEnabled(1109)) << row.index;
    EXPECT_EQ(row.list, dialog_.IsEnabled(1108)) << row.index;
  }
  // Typing leaves no row selected, and that changes nothing.
  dialog_.ChooseItem(1107, 4);
  dialog_.TypeText(1107, "Acceleration");  // a view echoing the chosen row
  EXPECT_EQ(4, dialog_.ListSelection(1107));
  dialog_.TypeText(1107, "Acceleration, sort of");
  EXPECT_EQ(-1, dialog_.ListSelection(1107));
  EXPECT_TRUE(dialog_.IsEnabled(1108));
}

TEST_F(CreateCalibrationDialogTest, DefaultsGiveAMillivoltFile) {
  ASSERT_TRUE(SaveAs("mv.cal"));
  EXPECT_EQ(dir_.File("mv.cal"), FieldText(saved_));
  EXPECT_EQ(
      "[Calibration]\nRefLevel=1.000000\nRefUnits=1\nRefType=1\nConversionType=0\nIntegrationType=0\n"
      "LabelLinear=Millivolts rms\nLabelLog=dBmV rms\nLabelType=1\nPctFullScaleLeft=0.000141\n"
      "CalRatioLeft=32768.000000\nLeftChannelName=\n",
      test::ReadFile(dir_.File("mv.cal")));
  const CalibrationRecord& r = dialog_.Record();
  EXPECT_EQ(dir_.File("mv.cal"), FieldText(r.CalFileName));
  EXPECT_EQ(1, r.Left.CalibrationValid);
  EXPECT_EQ(static_cast<float>(0.0001414), r.Left.PctFullScale);
  // Only the Left half is built; everything else stays zero.
  CalibrationRecord zero = ZeroCalibrationRecord();
  EXPECT_EQ(0, std::memcmp(&zero.Right, &r.Right, sizeof r.Right));
  EXPECT_EQ(0, std::memcmp(zero.Left.Reserved, r.Left.Reserved, sizeof r.Left.Reserved));
  EXPECT_EQ(0, std::memcmp(zero.Reserved, r.Reserved, sizeof r.Reserved));
}

TEST_F(CreateCalibrationDialogTest, SaveDialogAsksInTheCalibrationFolder) {
  ASSERT_TRUE(SaveAs("x.cal"));
  ASSERT_EQ(1u, ui_.FileRequests().size());
  const ui::FileDialogRequest& request = ui_.FileRequests()[0];
  EXPECT_EQ("Save Calibration File", request.title);
  EXPECT_EQ("Calibration Files (*.cal)|*.cal||", request.filter);
  EXPECT_EQ("cal", request.defaultExtension);
  EXPECT_EQ(dir_.Path(), request.initialFolder);
  EXPECT_EQ(ui::fd::kHideReadOnly | ui::fd::kOverwritePrompt, request.options);
}

struct Expected {
  const char* name;
  int32_t unitRow;
  const char* sensitivity;
  int32_t conversionRow;
  const char* refUnits;
  const char* labelLinear;
  const char* labelLog;
  const char* pct;
  const char* conversionType;
  const char* integrationType;
};

void PrintTo(const Expected& e, std::ostream* os) {
  *os << e.name;
}

class CreatorTable : public ::testing::TestWithParam<Expected> {};

TEST_P(CreatorTable, WritesTheRowsValues) {
  const Expected& e = GetParam();
  TempDir dir;
  char saved[260] = {};
  ScriptedUiServices ui;
  Dlg dialog(dir.Path(), saved, "varnel", ui);
  dialog.OnInitDialog();
  dialog.ChooseItem(1107, e.unitRow);
  dialog.TypeText(1109, e.sensitivity);
  if (e.conversionRow >= 0) dialog.ChooseItem(1108, e.conversionRow);
  ui.ExpectSaveFile(dir.File("t.cal"));
  dialog.Click(ui::kIdOk);
  ASSERT_EQ(ui::DialogResult::OK, dialog.Result());
  const std::string path = dir.File("t.cal");
  EXPECT_EQ("1.000000", Key(path, "RefLevel"));
  EXPECT_EQ(e.refUnits, Key(path, "RefUnits"));
  EXPECT_EQ("1", Key(path, "RefType"));
  EXPECT_EQ(e.conversionType, Key(path, "ConversionType"));
  EXPECT_EQ(e.integrationType, Key(path, "IntegrationType"));
  EXPECT_EQ(e.labelLinear, Key(path, "LabelLinear"));
  EXPECT_EQ(e.labelLog, Key(path, "LabelLog"));
  EXPECT_EQ("1", Key(path, "LabelType"));
  EXPECT_EQ(e.pct, Key(path, "PctFullScaleLeft"));
  EXPECT_EQ("32768.000000", Key(path, "CalRatioLeft"));
  EXPECT_EQ("", Key(path, "LeftChannelName"));
}

constexpr int32_t kAccel = 4;

INSTANTIATE_TEST_SUITE_P(
    Rows, CreatorTable,
    ::testing::Values(
        // The sensitivity field is not consulted for millivolts and volts.
        Expected{"millivolts", 0, "junk", -1, "1", "Millivolts rms", "dBmV rms", "0.000141", "0", "0"},
        Expected{"volts", 1, "", -1, "0", "Volts rms", "dBV rms", "0.141400", "0", "0"},
        Expected{"microphone_50", 2, "50", -1, "8", "Pascals (PA)", "SPL (dB re 20uPA)", "0.007070", "0", "0"},
        Expected{"hydrophone_default", 3, "100.0", -1, "11", "Pascals (PA)", "SPL (dB re 1uPA)", "0.014140", "0", "0"},
        // The list's choice is ignored unless the unit is acceleration.
        Expected{"microphone_ignores_list", 2, "10", 7, "8", "Pascals (PA)", "SPL (dB re 20uPA)", "0.001414", "0", "0"},
        Expected{"accel_none", kAccel, "10", 0, "3", "Acceleration (G)", "Acceleration (G dB)", "0.001414", "0", "0"},
        Expected{"accel_ft_sec", kAccel, "10", 1, "3", "Velocity (ft/sec)", "Velocity (ft/sec dB)", "0.001414", "1",
                 "1"},
        Expected{"accel_in_sec", kAccel, "10", 2, "3", "Velocity (in/sec)", "Velocity (in/sec dB)", "0.001414", "2",
                 "1"},
        Expected{"accel_mils_sec", kAccel, "10", 3, "3", "Velocity (mils/sec)", "Velocity (mils/sec dB)", "0.001414",
                 "7", "1"},
        Expected{"accel_mm_sec", kAccel, "10", 4, "3", "Velocity (mm/sec)", "Velocity (mm/sec dB)", "0.001414", "3",
                 "1"},
        Expected{"accel_ft", kAccel, "10", 5, "3", "Displacement (ft)", "Displacement (ft dB)", "0.001414", "4", "2"},
        Expected{"accel_in", kAccel, "10", 6, "3", "Displacement (in)", "Displacement (in dB)", "0.001414", "5", "2"},
        Expected{"accel_mils", kAccel, "10", 7, "3", "Displacement (mils)", "Displacement (mils dB)", "0.001414", "8",
                 "2"},
        Expected{"accel_mm", kAccel, "10", 8, "3", "Displacement (mm)", "Displacement (mm dB)", "0.001414", "6", "2"},
        // Accepted, but under half a millionth: six decimals make it 0.
        Expected{"tiny_sensitivity", 2, "0.003", -1, "8", "Pascals (PA)", "SPL (dB re 20uPA)", "0.000000", "0", "0"},
        Expected{"smallest_accepted", 3, "0.001", -1, "11", "Pascals (PA)", "SPL (dB re 1uPA)", "0.000000", "0", "0"},
        Expected{"leading_number_only", 2, " 25.5 mV/Pa", -1, "8", "Pascals (PA)", "SPL (dB re 20uPA)", "0.003606", "0",
                 "0"},
        // Too large for a float: the largest float, so the file stays readable.
        Expected{"huge_sensitivity", 2, "1e999", -1, "8", "Pascals (PA)", "SPL (dB re 20uPA)",
                 "48115921679013632042865487373139968.000000", "0", "0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CreateCalibrationDialogTest, TypedConversionGivesPlainG) {
  dialog_.ChooseItem(1107, kAccel);
  dialog_.TypeText(1109, "10");
  dialog_.TypeText(1108, "Velocity (furlongs/fortnight)");
  ASSERT_TRUE(SaveAs("g.cal"));
  const std::string path = dir_.File("g.cal");
  EXPECT_EQ("G", Key(path, "LabelLinear"));
  EXPECT_EQ("G (dB)", Key(path, "LabelLog"));
  EXPECT_EQ("-1", Key(path, "ConversionType"));
  EXPECT_EQ("0", Key(path, "IntegrationType"));
}

TEST_F(CreateCalibrationDialogTest, TypedUnitsDoNothing) {
  dialog_.TypeText(1107, "Volts, dBV");
  dialog_.Click(ui::kIdOk);  // no message, no save dialog
  EXPECT_FALSE(dialog_.IsEnded());
  EXPECT_FALSE(dialog_.BuildCalibration());
  EXPECT_TRUE(ui_.Messages().empty());
  EXPECT_TRUE(ui_.FileRequests().empty());
}

TEST_F(CreateCalibrationDialogTest, MicrophoneBelowTheMinimumIsRefused) {
  dialog_.ChooseItem(1107, 2);
  dialog_.TypeText(1109, "0.0009");
  ExpectRefused("Microphone sensitivity is too small");
  EXPECT_EQ("0.0009", dialog_.GetText(1109));  // the user's input stays
}

TEST_F(CreateCalibrationDialogTest, HydrophoneWithoutANumberIsRefused) {
  dialog_.ChooseItem(1107, 3);
  dialog_.TypeText(1109, "abc");
  ExpectRefused("Hydrophone sensitivity is too small");
}

TEST_F(CreateCalibrationDialogTest, AccelerometerWithAnEmptyFieldIsRefused) {
  dialog_.ChooseItem(1107, kAccel);
  dialog_.TypeText(1109, "");
  ExpectRefused("Accelerometer sensitivity is too small");
}

TEST_F(CreateCalibrationDialogTest, NegativeSensitivityIsRefused) {
  dialog_.ChooseItem(1107, 2);
  dialog_.TypeText(1109, "-50");
  ExpectRefused("Microphone sensitivity is too small");
}

TEST_F(CreateCalibrationDialogTest, CancelledSaveKeepsTheDialogOpen) {
  ui_.ExpectSaveFile(std::nullopt);
  dialog_.Click(ui::kIdOk);
  EXPECT_FALSE(dialog_.IsEnded());
  EXPECT_EQ('\0', saved_[0]);
  dialog_.Click(ui::kIdCancel);
  EXPECT_EQ(ui::DialogResult::Cancel, dialog_.Result());
  EXPECT_EQ('\0', saved_[0]);
}

TEST_F(CreateCalibrationDialogTest, FailedWriteIsReportedAndTheDialogStaysOpen) {
  const std::string path = dir_.File("gone/x.cal");
  ui_.ExpectSaveFile(path);
  ui_.ExpectMessageBox("Failure writing calibration file: \"" + path + "\"", ui::DialogResult::OK);
  dialog_.Click(ui::kIdOk);
  EXPECT_FALSE(dialog_.IsEnded());
  EXPECT_EQ('\0', saved_[0]);
  EXPECT_EQ("Tessaline", ui_.Messages().at(0).caption);
  EXPECT_EQ(ui::mb::kOk | ui::mb::kIconError, ui_.Messages().at(0).style);
}

TEST_F(CreateCalibrationDialogTest, PathTooLongToKeepIsRefusedBeforeWriting) {
  const std::string path = dir_.File(std::string(255, 'n') + ".cal");
  ui_.ExpectSaveFile(path);
  ui_.ExpectMessageBox("Calibration file path is too long: " + path, ui::DialogResult::OK);
  dialog_.Click(ui::kIdOk);
  EXPECT_FALSE(dialog_.IsEnded());
  EXPECT_FALSE(platform::FileExists(path));
  EXPECT_EQ('\0', saved_[0]);
}

TEST_F(CreateCalibrationDialogTest, OverwritingKeepsTheFilesOtherKeys) {
  test::WriteFile(dir_.File("old.cal"), "[Calibration]\nSerial=17\nRefUnits=8\n");
  dialog_.ChooseItem(1107, 1);
  ASSERT_TRUE(SaveAs("old.cal"));
  EXPECT_EQ("17", Key(dir_.File("old.cal"), "Serial"));
  EXPECT_EQ("0", Key(dir_.File("old.cal"), "RefUnits"));
}

#ifdef VARNEL_SOURCE_DIR
// The demo configuration of ./run.sh must read true in the live monitor: its
// calibration files are the creator's volts file, byte for byte.
TEST_F(CreateCalibrationDialogTest, TheDemoCalibrationIsTheCreatorsVoltsFile) {
  if (!test::HostToolsAvailable()) GTEST_SKIP() << "the demo script runs on the build machine";
  int status = -1;
  test::RunCommand(std::string(VARNEL_SOURCE_DIR) + "/scripts/demo-setup.sh '" + dir_.File("bin") + "' '" +
                       dir_.File("demo") + "' 2>&1",
                   &status);
  ASSERT_EQ(0, status);
  dialog_.ChooseItem(1107, 1);  // "Volts, dBV"
  ASSERT_TRUE(SaveAs("volts.cal"));
  const std::string created = test::ReadFile(dir_.File("volts.cal"));
  for (int ch = 0; ch < 4; ++ch)
    EXPECT_EQ(created, test::ReadFile(dir_.File("demo/cal/ch" + std::to_string(ch) + ".cal"))) << "channel " << ch;
}
#endif

}  // namespace
}  // namespace varnel
