#include "calibration/CalibrationFile.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "calibration/CalibrationNumbers.h"
#include "platform/FixedString.h"
#include "support/ScriptedUiServices.h"
#include "support/ShownAsBoxes.h"
#include "support/TempDir.h"

namespace varnel {
namespace {

using test::ReadFile;
using test::ScriptedUiServices;
using test::TempDir;
using test::WriteFile;

bool AllZero(const char* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

// The reserved parts of a record that the analyser and wave files receive.
void ExpectZeroTails(const CalibrationRecord& r) {
  EXPECT_TRUE(AllZero(r.Left.Reserved, sizeof r.Left.Reserved)) << "Left tail";
  EXPECT_TRUE(AllZero(r.Right.Reserved, sizeof r.Right.Reserved)) << "Right tail";
  EXPECT_TRUE(AllZero(r.Reserved, sizeof r.Reserved)) << "record tail";
  const std::size_t nameLength = FieldText(r.CalFileName).size();
  EXPECT_TRUE(AllZero(r.CalFileName + nameLength, sizeof r.CalFileName - nameLength)) << "after the file name";
}

struct ReadResult {
  bool ok = false;
  CalibrationRecord record = ZeroCalibrationRecord();
};

ReadResult ReadCal(const std::string& path, int32_t gain = 1) {
  ScriptedUiServices ui;
  ReadResult result;
  result.ok = test::ReadCalibrationShowingProblem(path.c_str(), &result.record, 0, gain, ui);
  return result;
}

class CalibrationFileTest : public ::testing::Test {
 protected:
  std::string Cal(const std::string& contents, const std::string& name = "a.cal") {
    WriteFile(dir_.File(name), contents);
    return dir_.File(name);
  }
  TempDir dir_;
};

TEST_F(CalibrationFileTest, AnEmptySectionGivesEveryDefault) {
  const std::string path = Cal("[Calibration]\n");
  ReadResult r = ReadCal(path, 4);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(path, FieldText(r.record.CalFileName));
  for (const ChannelCalibration* half : {&r.record.Left, &r.record.Right}) {
    EXPECT_EQ(1, half->CalibrationValid);
    EXPECT_EQ(1.0f, half->RefLevel);
    EXPECT_EQ(1, half->RefUnits);
    EXPECT_EQ(1, half->RefType);
    EXPECT_EQ(0, half->ConversionType);
    EXPECT_EQ(0, half->IntegrationType);
    EXPECT_EQ("millivolts rms", FieldText(half->LabelLinear));
    EXPECT_EQ("dBmV rms", FieldText(half->LabelLog));
    EXPECT_EQ(1, half->LabelType);
    EXPECT_EQ(2.0f, half->PctFullScale);  // 0.5 at gain 4
    EXPECT_EQ(1.0f, half->CalRatio);
    EXPECT_EQ("Left", FieldText(half->ChannelName));
  }
  ExpectZeroTails(r.record);
}

TEST_F(CalibrationFileTest, GainScalesBothHalvesAndLeavesTheFileAlone) {
  const std::string text = "[Calibration]\r\nPctFullScaleLeft=0.25\r\n";
  const std::string path = Cal(text);
  ReadResult r = ReadCal(path, 8);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(2.0f, r.record.Left.PctFullScale);
  EXPECT_EQ(2.0f, r.record.Right.PctFullScale);
  EXPECT_EQ(0, std::memcmp(&r.record.Left, &r.record.Right, sizeof(ChannelCalibration)));
  EXPECT_EQ(text, ReadFile(path));
}

TEST_F(CalibrationFileTest, TextsAreCutToTheirFields) {
  const std::string path =
      Cal("[Calibration]\nLabelLinear=" + std::string(70, 'a') + "\nLabelLog=" + std::string(10000, 'b') +
          "\nLeftChannelName=" + std::string(60, 'c') + "\n");
  ReadResult r = ReadCal(path);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(std::string(59, 'a'), FieldText(r.record.Left.LabelLinear));
  EXPECT_EQ(std::string(59, 'b'), FieldText(r.record.Left.LabelLog));
  EXPECT_EQ(std::string(39, 'c'), FieldText(r.record.Right.ChannelName));
  ExpectZeroTails(r.record);
}

TEST_F(CalibrationFileTest, SectionAndKeysMatchWithoutCaseAndOtherSectionsAreIgnored) {
  const std::string path =
      Cal("[Other]\nRefLevel=9\n[calibration]\nreflevel = 2.5\nREFUNITS=8\nlabellinear=\"Pascals (PA)\"\n[More]\n"
          "RefType=7\n");
  ReadResult r = ReadCal(path);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(2.5f, r.record.Left.RefLevel);
  EXPECT_EQ(8, r.record.Left.RefUnits);
  EXPECT_EQ(1, r.record.Left.RefType);
  EXPECT_EQ("Pascals (PA)", FieldText(r.record.Left.LabelLinear));
}

TEST_F(CalibrationFileTest, AFileWithoutTheSectionIsRefusedLikeAMissingFile) {
  // Stored as a valid default calibration it would mislabel every level.
  for (const char* text : {"", "[Settings]\nRefLevel=5\nPctFullScaleLeft=0.9\n", "RefLevel=5\n", "\x7f\x45LF\x02"}) {
    const std::string path = Cal(text, "b.cal");
    ScriptedUiServices ui;
    ui.ExpectMessageBox("Failure opening calibration file: \"" + path + " for channel 3", ui::DialogResult::OK);
    CalibrationRecord record = ZeroCalibrationRecord();
    EXPECT_FALSE(test::ReadCalibrationShowingProblem(path.c_str(), &record, 3, 1, ui)) << text;
    EXPECT_TRUE(ui.AllAnswersUsed()) << text;
  }
  EXPECT_TRUE(ReadCal(Cal("[ calibration ]\nRefLevel=5\n", "c.cal")).ok);  // names match without case
}

TEST_F(CalibrationFileTest, BinaryJunkReadsWithoutHarm) {
  std::mt19937 random(1234);
  std::string junk(8192, '\0');
  for (char& c : junk) c = static_cast<char>(random());
  junk.insert(4000, "\n[Calibration]\nRefUnits=\x01\xff\0junk\nLabelLog=\xc3\xa9\x80\x00xyz\n", 50);
  ReadResult r = ReadCal(Cal(junk));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(1, r.record.Left.CalibrationValid);
  EXPECT_EQ(0, r.record.Left.RefUnits);  // present, not a number
  EXPECT_TRUE(std::isfinite(r.record.Left.RefLevel));
  EXPECT_TRUE(std::isfinite(r.record.Left.PctFullScale));
  EXPECT_TRUE(std::isfinite(r.record.Left.CalRatio));
  EXPECT_EQ("\xc3\xa9\x80", FieldText(r.record.Left.LabelLog));  // bytes kept, cut at the NUL
  ExpectZeroTails(r.record);
}

struct NumberCase {
  const char* text;
  float expected;
};

class RealValues : public ::testing::TestWithParam<NumberCase> {};

// What each odd number becomes. Nothing that is not finite may reach a record:
// it would travel to the analyser and into wave files.
TEST_P(RealValues, ReadAsFiniteFloats) {
  TempDir dir;
  WriteFile(dir.File("n.cal"), std::string("[Calibration]\nRefLevel=") + GetParam().text + "\n");
  ReadResult r = ReadCal(dir.File("n.cal"));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(GetParam().expected, r.record.Left.RefLevel) << GetParam().text;
  EXPECT_TRUE(std::isfinite(r.record.Left.RefLevel));
}

INSTANTIATE_TEST_SUITE_P(Cases, RealValues,
                         ::testing::Values(NumberCase{"nan", 0.0f}, NumberCase{"NAN(123)", 0.0f},
                                           NumberCase{"inf", 0.0f}, NumberCase{"-infinity", 0.0f},
                                           NumberCase{"1e999", FLT_MAX}, NumberCase{"-1e999", -FLT_MAX},
                                           NumberCase{"4e38", FLT_MAX}, NumberCase{"1e-999", 0.0f},
                                           NumberCase{"0.0000e999999999999", 0.0f}, NumberCase{"-0", 0.0f},
                                           NumberCase{"  +2.5e1xyz", 25.0f}, NumberCase{".5", 0.5f},
                                           NumberCase{"5.", 5.0f}, NumberCase{"1e", 1.0f}, NumberCase{"1e+", 1.0f},
                                           NumberCase{"2E-1", 0.2f}, NumberCase{"e5", 0.0f}, NumberCase{".", 0.0f},
                                           NumberCase{"0x10", 0.0f}, NumberCase{"1,5", 1.0f}, NumberCase{"", 0.0f}));

TEST(CalibrationNumbers, NegativeZeroStaysAZero) {
  const float value = ToCalibrationFloat(ParseCalibrationReal("-0"));
  EXPECT_EQ(0.0f, value);
  EXPECT_EQ("-0.000000", FormatCalibrationReal(value));
  EXPECT_EQ("0.000000", FormatCalibrationReal(std::nanf("")));
  EXPECT_EQ(FLT_MAX, ToCalibrationFloat(ParseCalibrationReal(FormatCalibrationReal(INFINITY))));
}

TEST_F(CalibrationFileTest, IntegersParseTheirPrefixAndSaturate) {
  const std::string path =
      Cal("[Calibration]\nRefUnits=12abc\nRefType=abc\nConversionType=\nIntegrationType=-99999999999\n"
          "LabelType= -7\n");
  ReadResult r = ReadCal(path);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(12, r.record.Left.RefUnits);
  EXPECT_EQ(0, r.record.Left.RefType);
  EXPECT_EQ(0, r.record.Left.ConversionType);  // present but empty: not the default
  EXPECT_EQ(INT32_MIN, r.record.Left.IntegrationType);
  EXPECT_EQ(-7, r.record.Left.LabelType);
}

TEST_F(CalibrationFileTest, GainNeverOverflowsTheFloatRange) {
  ReadResult r = ReadCal(Cal("[Calibration]\nPctFullScaleLeft=3e38\n"), 8);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(FLT_MAX, r.record.Left.PctFullScale);
  EXPECT_EQ(FLT_MAX, r.record.Right.PctFullScale);
}

TEST_F(CalibrationFileTest, WarnsAboutAnEmptyNameAndAFileThatDoesNotOpen) {
  ScriptedUiServices ui;
  CalibrationRecord record = ZeroCalibrationRecord();
  ui.ExpectMessageBox("Calibration file not specified for channel 3", ui::DialogResult::OK);
  EXPECT_FALSE(test::ReadCalibrationShowingProblem("", &record, 3, 1, ui));
  const std::string missing = dir_.File("missing.cal");
  ui.ExpectMessageBox("Failure opening calibration file: \"" + missing + " for channel 15", ui::DialogResult::OK);
  EXPECT_FALSE(test::ReadCalibrationShowingProblem(missing.c_str(), &record, 15, 1, ui));
  // A folder is no calibration file, though it can be opened.
  ui.ExpectMessageBox("Failure opening calibration file: \"" + dir_.Path() + " for channel 0", ui::DialogResult::OK);
  EXPECT_FALSE(test::ReadCalibrationShowingProblem(dir_.Path().c_str(), &record, 0, 1, ui));
  ASSERT_EQ(3u, ui.Messages().size());
  for (const auto& m : ui.Messages()) {
    EXPECT_EQ("Tessaline", m.caption);
    EXPECT_EQ(ui::mb::kOk | ui::mb::kIconWarning, m.style);
  }
  EXPECT_TRUE(AllZero(reinterpret_cast<const char*>(&record), sizeof record));
  // Nothing to read and nothing to fill: no message.
  EXPECT_FALSE(test::ReadCalibrationShowingProblem(nullptr, &record, 0, 1, ui));
  EXPECT_FALSE(test::ReadCalibrationShowingProblem(Cal("").c_str(), nullptr, 0, 1, ui));
}

CalibrationRecord SampleRecord() {
  CalibrationRecord r = ZeroCalibrationRecord();
  r.Left.CalibrationValid = 1;
  r.Left.RefLevel = 2.5f;
  r.Left.RefUnits = 11;
  r.Left.RefType = 1;
  r.Left.ConversionType = 8;
  r.Left.IntegrationType = 2;
  CopyCut(r.Left.LabelLinear, "Displacement (mils)");
  CopyCut(r.Left.LabelLog, "Displacement (mils dB)");
  r.Left.LabelType = 1;
  r.Left.PctFullScale = 0.0001414f;
  r.Left.CalRatio = 32768.0f;
  CopyCut(r.Left.ChannelName, "Hull 3");
  return r;
}

TEST_F(CalibrationFileTest, WritesElevenKeysInOrderWithSixDecimals) {
  CalibrationRecord record = SampleRecord();
  record.Right.RefUnits = 99;  // never written
  const std::string path = dir_.File("new.cal");
  ASSERT_TRUE(CalibrationFile::Write(path.c_str(), &record));
  EXPECT_EQ(path, FieldText(record.CalFileName));
  EXPECT_EQ(
      "[Calibration]\nRefLevel=2.500000\nRefUnits=11\nRefType=1\nConversionType=8\nIntegrationType=2\n"
      "LabelLinear=Displacement (mils)\nLabelLog=Displacement (mils dB)\nLabelType=1\nPctFullScaleLeft=0.000141\n"
      "CalRatioLeft=32768.000000\nLeftChannelName=Hull 3\n",
      ReadFile(path));
}

TEST_F(CalibrationFileTest, WhatIsWrittenReadsBack) {
  CalibrationRecord written = SampleRecord();
  written.Left.PctFullScale = 0.25f;
  const std::string path = dir_.File("round.cal");
  ASSERT_TRUE(CalibrationFile::Write(path.c_str(), &written));
  ReadResult r = ReadCal(path);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(path, FieldText(r.record.CalFileName));
  EXPECT_EQ(0, std::memcmp(&written.Left, &r.record.Left, sizeof written.Left));
  EXPECT_EQ(0, std::memcmp(&written.Left, &r.record.Right, sizeof written.Left));
  ExpectZeroTails(r.record);

  // Six decimals are all that survives.
  written.Left.PctFullScale = 0.0001414f;
  ASSERT_TRUE(CalibrationFile::Write(path.c_str(), &written));
  EXPECT_EQ(0.000141f, ReadCal(path).record.Left.PctFullScale);
}

TEST_F(CalibrationFileTest, NonFiniteValuesAreWrittenSoTheyReadBackFinite) {
  CalibrationRecord written = SampleRecord();
  written.Left.RefLevel = INFINITY;
  written.Left.PctFullScale = std::nanf("");
  written.Left.CalRatio = -INFINITY;
  const std::string path = dir_.File("odd.cal");
  ASSERT_TRUE(CalibrationFile::Write(path.c_str(), &written));
  ReadResult r = ReadCal(path);
  EXPECT_EQ(FLT_MAX, r.record.Left.RefLevel);
  EXPECT_EQ(0.0f, r.record.Left.PctFullScale);
  EXPECT_EQ(-FLT_MAX, r.record.Left.CalRatio);
}

TEST_F(CalibrationFileTest, RewriteKeepsOtherKeysAndSections) {
  const std::string path =
      Cal("; made by hand\n[Notes]\nBy=lab\n[Calibration]\nRefLevel=7\nSerial=A-17\nLabelLog=old\n[Tail]\nX=1\n");
  CalibrationRecord record = SampleRecord();
  ASSERT_TRUE(CalibrationFile::Write(path.c_str(), &record));
  const std::string text = ReadFile(path);
  EXPECT_EQ(0u, text.find("; made by hand\n[Notes]\nBy=lab\n[Calibration]\nRefLevel=2.500000\nSerial=A-17\n")) << text;
  EXPECT_NE(std::string::npos, text.find("LabelLog=Displacement (mils dB)\n"));
  EXPECT_NE(std::string::npos, text.find("[Tail]\nX=1\n"));
  EXPECT_EQ(std::string::npos, text.find("old"));
}

TEST_F(CalibrationFileTest, WriteReportsAFolderThatIsNotThere) {
  CalibrationRecord record = SampleRecord();
  const std::string path = dir_.File("no/such/folder/x.cal");
  EXPECT_FALSE(CalibrationFile::Write(path.c_str(), &record));
  EXPECT_FALSE(CalibrationFile::Write(nullptr, &record));
}

}  // namespace
}  // namespace varnel
