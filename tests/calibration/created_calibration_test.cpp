// A calibration file made with the creator dialog, read back as a Run reads
// it and scaled as the monitor and varnel-info scale samples, shows one unit
// of the transducer as one unit of what the user chose in the dialog's lists:
// the creator checked by what its files mean, not against a copy of its tables.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "calibration/CalibrationFile.h"
#include "calibration/ChannelScale.h"
#include "calibration/CreateCalibrationDialog.h"
#include "support/ScriptedUiServices.h"
#include "support/TempDir.h"

namespace varnel {
namespace {

using Dlg = CreateCalibrationDialog;

constexpr double kStandardGravity = 9.80665;  // m/s^2 per G
constexpr double kFullScaleVolts = 10.0;      // at 32768 codes, whatever the gain
constexpr double kSensitivityMv = 50.0;       // per unit, where the dialog asks
constexpr double kFrequency = 10.0;           // of the test signals, Hz

struct Made {
  std::string unit;        // the units list's item
  std::string conversion;  // the conversions list's item, for acceleration
  ChannelScale scale;
};

// Makes a file with the dialog's choices and reads it as a Run does.
Made MakeAndRead(int32_t unitRow, int32_t conversionRow) {
  test::TempDir dir;
  char saved[260] = {};
  test::ScriptedUiServices ui;
  Dlg dialog(dir.Path(), saved, "varnel", ui);
  dialog.OnInitDialog();
  dialog.ChooseItem(Dlg::kIdUnits, unitRow);
  dialog.TypeText(Dlg::kIdSensitivity, std::to_string(kSensitivityMv));
  if (conversionRow >= 0) dialog.ChooseItem(Dlg::kIdConversion, conversionRow);
  ui.ExpectSaveFile(dir.File("made.cal"));
  dialog.Click(ui::kIdOk);
  EXPECT_EQ(ui::DialogResult::OK, dialog.Result());
  CalibrationRecord record = ZeroCalibrationRecord();
  EXPECT_TRUE(CalibrationFile::Read(dir.File("made.cal").c_str(), &record, 0, 1));
  Made made;
  made.unit = dialog.Control(Dlg::kIdUnits).items[static_cast<std::size_t>(unitRow)].text;
  if (conversionRow >= 0)
    made.conversion = dialog.Control(Dlg::kIdConversion).items[static_cast<std::size_t>(conversionRow)].text;
  made.scale = ScaleOf(record.Left, "Left");
  return made;
}

// The rms codes of `volts` rms at the converter.
double CodesOf(double volts) {
  return volts / kFullScaleVolts * 32768.0;
}

// Metres in the length unit an item names ("Velocity (in/sec)" -> 0.0254).
double MetresNamedIn(const std::string& item) {
  if (item.find("(mils") != std::string::npos) return 0.0000254;
  if (item.find("(mm") != std::string::npos) return 0.001;
  if (item.find("(in") != std::string::npos) return 0.0254;
  if (item.find("(ft") != std::string::npos) return 0.3048;
  return 0.0;
}

// The items of one of the dialog's lists.
std::vector<std::string> ItemsOf(int32_t id) {
  test::TempDir dir;
  char saved[260] = {};
  test::ScriptedUiServices ui;
  Dlg dialog(dir.Path(), saved, "varnel", ui);
  dialog.OnInitDialog();
  std::vector<std::string> texts;
  for (const ui::ListItem& item : dialog.Control(id).items) texts.push_back(item.text);
  return texts;
}

TEST(CreatedCalibration, OneUnitOfEveryUnitReadsAsOneUnitInItsOwnName) {
  const std::vector<std::string> units = ItemsOf(Dlg::kIdUnits);
  ASSERT_EQ(5u, units.size());
  for (int32_t row = 0; row < static_cast<int32_t>(units.size()); ++row) {
    // An acceleration is read as such without a conversion.
    const Made made = MakeAndRead(row, units[static_cast<std::size_t>(row)] == "Acceleration" ? 0 : -1);
    ASSERT_TRUE(made.scale.calibrated) << made.unit;
    // The first word of the item names the quantity the monitor shows.
    const std::string quantity = made.unit.substr(0, made.unit.find_first_of(", "));
    EXPECT_EQ(0u, made.scale.linearUnits.find(quantity)) << made.unit << ": " << made.scale.linearUnits;
    EXPECT_EQ(0, made.scale.integrations) << made.unit;
    // Millivolts and volts are the converter's own; a transducer gives its
    // sensitivity per unit.
    const double voltsPerUnit = quantity == "Millivolts" ? 0.001 : quantity == "Volts" ? 1.0 : kSensitivityMv / 1000;
    // The file keeps six decimals: 0.0001414 of full scale (a millivolt) is stored as 0.000141.
    EXPECT_NEAR(1.0, made.scale.Level(CodesOf(voltsPerUnit), kFrequency), 3e-3) << made.unit;
  }
}

TEST(CreatedCalibration, SoundPressureReadsAgainstTheReferenceOfItsMedium) {
  // 1 Pa rms: 94 dB SPL in air (re 20 uPa), 120 dB in water (re 1 uPa).
  const Made air = MakeAndRead(2, -1);
  const Made water = MakeAndRead(3, -1);
  ASSERT_NE(std::string::npos, air.unit.find("air"));
  ASSERT_NE(std::string::npos, water.unit.find("water"));
  EXPECT_NEAR(93.98, air.scale.Decibels(CodesOf(kSensitivityMv / 1000), kFrequency), 0.01);
  EXPECT_NEAR(120.0, water.scale.Decibels(CodesOf(kSensitivityMv / 1000), kFrequency), 0.01);
}

TEST(CreatedCalibration, EveryConversionOfAnAccelerationReadsInTheUnitItNames) {
  constexpr int32_t kAcceleration = 4;
  const std::vector<std::string> conversions = ItemsOf(Dlg::kIdConversion);
  ASSERT_EQ(9u, conversions.size());
  const double oneG = CodesOf(kSensitivityMv / 1000);
  const double omega = 2 * std::numbers::pi * kFrequency;
  for (int32_t row = 0; row < static_cast<int32_t>(conversions.size()); ++row) {
    const Made made = MakeAndRead(kAcceleration, row);
    const std::string& item = made.conversion;
    if (item == "None") {
      EXPECT_EQ("Acceleration (G)", made.scale.linearUnits);
      EXPECT_NEAR(1.0, made.scale.Level(oneG, kFrequency), 2e-4);
      continue;
    }
    EXPECT_EQ(item, made.scale.linearUnits);
    // 1 G rms at 10 Hz, integrated once for a velocity, twice for a displacement.
    const int integrations = item.rfind("Velocity", 0) == 0 ? 1 : item.rfind("Displacement", 0) == 0 ? 2 : -1;
    ASSERT_NE(-1, integrations) << item;
    const double expected = kStandardGravity / std::pow(omega, integrations) / MetresNamedIn(item);
    EXPECT_NEAR(1.0, made.scale.Level(oneG, kFrequency) / expected, 2e-4) << item;
  }
}

}  // namespace
}  // namespace varnel
