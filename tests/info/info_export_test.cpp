// Samples in calibrated units: a known sine through a microphone calibration
// comes out in pascals, as CSV and as a float wave file that turns RF64 past
// its limit; what the live monitor reads from the same calibration.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

#include "InfoTestSupport.h"
#include "SampleExport.h"
#include "calibration/CalibrationFile.h"
#include "calibration/ChannelScale.h"
#include "support/BigFiles.h"

namespace varnel {
namespace {

using test::TempDir;

constexpr uint32_t kRate = 25000;
constexpr int32_t kGain = 2;
constexpr double kPeakCodes = 9000.0;

// A 50 mV/Pa microphone as the calibration creator writes it: 1 Pa rms
// reaches 0.00707 of full scale (32768 codes) at its peak, at gain 1.
const char* const kMicrophoneCal =
    "[Calibration]\nRefLevel=1.000000\nRefUnits=8\nRefType=1\nConversionType=0\nIntegrationType=0\n"
    "LabelLinear=Pascals (PA)\nLabelLog=SPL (dB re 20uPA)\nLabelType=1\nPctFullScaleLeft=0.007070\n"
    "CalRatioLeft=32768.000000\nLeftChannelName=Left\n";

std::vector<int16_t> Sine(std::size_t frames) {
  std::vector<int16_t> out(frames);
  for (std::size_t n = 0; n < frames; ++n)
    out[n] = static_cast<int16_t>(std::lround(kPeakCodes * std::sin(2 * std::numbers::pi * 1000.0 * n / kRate + 0.3)));
  return out;
}

// The pascals of a sample by the calibration's own definition, from the numbers in the file.
double ExpectedPascals(int16_t code) {
  return code * 1.0 * std::sqrt(2.0) / (0.00707 * kGain * 32768.0);
}

struct MicrophoneRecording {
  TempDir dir;
  std::vector<int16_t> sine = Sine(2500);  // 100 whole periods
  CalibrationRecord cal{};
  std::string path = dir.File("mic.wav");

  MicrophoneRecording() {
    test::ScriptedUiServices ui;
    const std::string calPath = dir.File("mic.cal");
    test::WriteFile(calPath, kMicrophoneCal);
    EXPECT_TRUE(CalibrationFile::Read(calPath.c_str(), &cal, 0, kGain, ui));
    CopyCut(cal.Left.ChannelName, "Mic 1");
    EXPECT_TRUE(test::Record(ui, dir.Path(), path, test::Format(kRate, 1, 2), test::Bytes(sine.data(), sine.size() * 2),
                             &cal, test::Broadcast()));
  }
};

bool Export(const std::string& path, info::ExportKind kind, const std::string& out, uint64_t limit = UINT32_MAX) {
  platform::RiffFile file;
  std::string error;
  const auto found = info::ReadWaveInfo(path, file, error);
  return found && info::ExportSamples(file, *found, {kind, out, limit}, error);
}

TEST(InfoExport, AMicrophoneSineComesOutInPascals) {
  MicrophoneRecording rec;
  const std::string csv = rec.dir.File("mic.csv");
  ASSERT_TRUE(Export(rec.path, info::ExportKind::kCsv, csv));
  std::ifstream in(csv);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ("time_s,Mic 1 [Pascals (PA)]", line);
  std::size_t n = 0;
  for (; std::getline(in, line); ++n) {
    ASSERT_LT(n, rec.sine.size());
    std::istringstream fields(line);
    double time = 0, pascals = 0;
    char comma = 0;
    fields >> time >> comma >> pascals;
    EXPECT_NEAR(static_cast<double>(n) / kRate, time, 1e-9);
    const double expected = ExpectedPascals(rec.sine[n]);
    ASSERT_NEAR(expected, pascals, std::fabs(expected) * 1e-4) << "sample " << n;
  }
  EXPECT_EQ(rec.sine.size(), n);

  // 9000 codes peak at gain 2 through 50 mV/Pa: 19.4 Pa rms.
  const auto info = test::Inspect(rec.path);
  ASSERT_TRUE(info);
  EXPECT_NEAR(kPeakCodes / (0.00707 * kGain * 32768.0), info->levels.rms, 19.4 * 1e-4);
  int16_t peak = 0;
  for (int16_t s : rec.sine) peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(s)));
  EXPECT_NEAR(ExpectedPascals(peak), info->levels.peak, info->levels.peak * 1e-4);
  EXPECT_DOUBLE_EQ(ScaleOf(rec.cal.Left, "Left").UnitsPerCode(), info->scale.UnitsPerCode())
      << "the live monitor's reading of the same calibration";
}

TEST(InfoExport, AFloatWaveFileInPascalsTurnsRf64PastItsLimit) {
  MicrophoneRecording rec;
  const std::string below = rec.dir.File("below.wav"), above = rec.dir.File("above.wav");
  ASSERT_TRUE(Export(rec.path, info::ExportKind::kFloatWave, below));
  ASSERT_TRUE(Export(rec.path, info::ExportKind::kFloatWave, above, 4000));
  const auto original = test::Inspect(rec.path);
  ASSERT_TRUE(original);
  for (const std::string& path : {below, above}) {
    SCOPED_TRACE(path);
    const auto info = test::Inspect(path);
    ASSERT_TRUE(info);
    EXPECT_EQ(path == above ? "Broadcast wave (RF64)" : "Broadcast wave", info->FormatName());
    EXPECT_EQ(info::SampleCoding::kFloat, info->coding);
    EXPECT_EQ(2500u, info->frames);
    EXPECT_EQ("Pascals (PA)", info->scale.WaveformUnits());
    EXPECT_EQ("values in Pascals (PA) as exported", info->scaleNote);
    ASSERT_TRUE(info->start) << "the start time goes with the samples";
    EXPECT_EQ(original->start->utcMicroseconds, info->start->utcMicroseconds);
    EXPECT_NEAR(original->levels.peak, info->levels.peak, original->levels.peak * 1e-6);
    if (!test::HostToolsAvailable()) continue;
    EXPECT_EQ(test::ExpectedFrameCounts(2500), test::ExternalFrameCounts(path));
    int status = 0;
    const std::string peak = test::RunCommand(
        "for p in python3 /usr/bin/python3; do $p -c 'import soundfile' 2>/dev/null && exec $p -c "
        "'import sys, soundfile; d, r = soundfile.read(sys.argv[1]); print(r, \"%.6f\" % abs(d).max())' '" +
            path + "'; done",
        &status);
    char expected[64];
    std::snprintf(expected, sizeof expected, "25000 %.6f\n", original->levels.peak);
    EXPECT_EQ(expected, peak) << "Python's soundfile reads the pascals";
  }
}

TEST(InfoExport, AnExportThatCannotBeWrittenLeavesNothing) {
  MicrophoneRecording rec;
  EXPECT_FALSE(Export(rec.path, info::ExportKind::kCsv, rec.dir.File("no/such/folder/x.csv")));
  EXPECT_FALSE(Export(rec.path, info::ExportKind::kCsv, rec.dir.Path())) << "a folder";
  EXPECT_TRUE(platform::FolderExists(rec.dir.Path()));
}

}  // namespace
}  // namespace varnel
