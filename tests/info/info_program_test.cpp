// varnel-info as a user runs it: its report, JSON that Python reads, exit
// statuses, a batch with a bad file in it, a file past 4 GiB (sparse), and
// the Python example of the README.

#include <gtest/gtest.h>

#include "InfoTestSupport.h"
#include "support/BigFiles.h"

namespace varnel {
namespace {

using test::TempDir;

class InfoProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HostToolsAvailable()) GTEST_SKIP() << "the program is run on the Linux side";
    test::ScriptedUiServices ui;
    const auto samples = test::Samples(2500, 4);
    const CalibrationRecord cal = test::SampleCalibration("Mic 1", "Right");
    ASSERT_TRUE(test::Record(ui, dir_.Path(), Path("b.wav"), test::Format(25000, 1, 2),
                             test::Bytes(samples.data(), 5000), &cal, test::Broadcast()));
    ASSERT_TRUE(
        test::Record(ui, dir_.Path(), Path("w.wav"), test::Format(25000, 1, 2), test::Bytes(samples.data(), 5000)));
  }
  std::string Path(const std::string& name) const { return dir_.File(name); }
  std::string Quoted(const std::string& name) const { return "'" + Path(name) + "'"; }

  TempDir dir_;
};

TEST_F(InfoProgram, TellsEachFileAndRefusesABadOneWithStatusOne) {
  test::WriteFile(Path("bad.wav"), "RIFF");
  int status = 0;
  const std::string out =
      test::RunInfo(Quoted("b.wav") + " " + Quoted("bad.wav") + " " + Quoted("w.wav") + " 2>&1", &status);
  EXPECT_EQ(1, status);
  EXPECT_NE(std::string::npos, out.find(Path("b.wav") + "\n  format       Broadcast wave\n"
                                                        "  samples      16-bit PCM, 1 channel, 25000 Hz\n"
                                                        "  length       2500 frames, 0.100000 s\n"
                                                        "  start        2026-12-09T14:00:00.000123Z (local "
                                                        "2026-12-09 15:00:00.000123 +01:00)\n"))
      << out;
  EXPECT_NE(std::string::npos, out.find("varnel-info: " + Path("bad.wav") + ": not a wave file")) << out;
  EXPECT_NE(std::string::npos, out.find(Path("w.wav") + "\n  format       Wave\n")) << "the batch goes on";
  EXPECT_NE(std::string::npos, out.find("  calibration  none: values in volts at the converter (32768 = 10 V)\n"));

  test::RunInfo(Quoted("b.wav"), &status);
  EXPECT_EQ(0, status);
  for (const char* wrong : {"", "--export", "--export wav x.wav", "--bogus", "--json --export csv x.csv"}) {
    test::RunInfo(std::string(wrong) + (std::string(wrong).empty() ? "" : " " + Quoted("b.wav")) + " 2>&1", &status);
    EXPECT_EQ(2, status) << wrong;
  }
  test::RunInfo("--export csv '" + Path("no/such/x.csv") + "' " + Quoted("b.wav") + " 2>&1", &status);
  EXPECT_EQ(1, status);
}

TEST_F(InfoProgram, JsonThatPythonReads) {
  int status = 0;
  const std::string out =
      test::RunCommand("'" + test::InfoProgramPath() + "' --json " + Quoted("b.wav") + " " + Quoted("w.wav") +
                           " | python3 -c \"import json, sys; d = json.load(sys.stdin); "
                           "print([(f['format'], f['frames'], f['rate'], f['start'] and f['start']['utc'], "
                           "f['calibration']['units'], f['calibration']['gain']) for f in d])\"",
                       &status);
  EXPECT_EQ(0, status);
  EXPECT_EQ(
      "[('Broadcast wave', 2500, 25000, '2026-12-09T14:00:00.000123Z', 'Pa', 2), "
      "('Wave', 2500, 25000, None, 'V', None)]\n",
      out);
}

TEST_F(InfoProgram, ThePythonExampleOfTheReadme) {
  int status = 0;
  const std::string out = test::RunCommand("VARNEL_INFO='" + test::InfoProgramPath() + "' /usr/bin/python3 '" +
                                               VARNEL_SOURCE_DIR "/tools/varnel-info/examples/read_recording.py' " +
                                               Quoted("b.wav") + " 2>&1",
                                           &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos, out.find("2500 samples at 25000 Hz of 'Mic 1' in Pa, peak ")) << out;
  EXPECT_NE(std::string::npos,
            out.find("first sample 2026-12-09T14:00:00.000123+00:00, last 2026-12-09T14:00:00.100083+00:00 "
                     "(UTC; local offset +01:00)"))
      << out;
}

// Made from a small RF64 recording whose ds64 is set to a data size past
// 4 GiB and whose file is grown to hold it, with the calibration after it.
TEST_F(InfoProgram, AFilePastFourGiB) {
  test::ScriptedUiServices ui;
  const auto samples = test::Samples(1000, 2);
  {
    ScopedWaveRiffSizeLimit limit(1016 + 1000);
    ASSERT_TRUE(test::Record(ui, dir_.Path(), Path("big.wav"), test::Format(25000, 1, 2),
                             test::Bytes(samples.data(), 2000), nullptr, test::Broadcast()));
  }
  const uint64_t data = test::kFourGiB + 2000;
  const CalibrationRecord cal = test::SampleCalibration("Mic 1", "Right");
  std::string sizes;
  for (uint64_t v : {1016 + data, data, data / 2}) sizes += test::Bytes(&v, 8);
  ASSERT_TRUE(test::WriteAt(Path("big.wav"), 20, sizes));
  ASSERT_TRUE(test::WriteAt(Path("big.wav"), 1024 + data,
                            std::string("\x66\0\0\0\0\x08\0\0", 8) + test::Bytes(&cal, sizeof cal)));
  std::string why;
  const auto info = test::Inspect(Path("big.wav"), &why, false);
  ASSERT_TRUE(info) << why;
  EXPECT_EQ("Broadcast wave (RF64)", info->FormatName());
  EXPECT_EQ(data / 2, info->frames);
  EXPECT_TRUE(info->scale.calibrated);
  ASSERT_TRUE(info->start);
  EXPECT_EQ(1796824800000123, info->start->utcMicroseconds);
}

}  // namespace
}  // namespace varnel
