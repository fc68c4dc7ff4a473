// Files we write, read by readers nobody here wrote: libsndfile, sox and
// Python's wave module; and files sox writes, read by us.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "support/BigFiles.h"
#include "support/TempDir.h"
#include "wave/WaveIO.h"
#include "WaveTestHelpers.h"

namespace varnel {
namespace {

using test::ReadFile;
using test::RunCommand;
using test::ScriptedUiServices;
using test::TempDir;

struct Kind {
  const char* name;
  uint32_t rate, channels, bytesPerSample;
  std::size_t dataBytes;
  bool calibration;
};

const Kind kKinds[] = {
    {"mono16", 8000, 1, 2, 2000, false},
    {"mono16cal", 25000, 1, 2, 2000, true},
    {"mono8odd", 11025, 1, 1, 1001, false},
    {"mono8oddcal", 11025, 1, 1, 1001, true},
    {"stereo16", 48000, 2, 2, 2000, false},
    {"mono24cal", 96000, 1, 3, 900, true},
};

// "Key : value" lines of sndfile-info's summary.
std::map<std::string, std::string> SndfileSummary(const std::string& path) {
  int status = 0;
  std::string out = RunCommand("sndfile-info '" + path + "' 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  std::map<std::string, std::string> fields;
  std::istringstream in(out.substr(out.find("----")));
  std::string line;
  while (std::getline(in, line)) {
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    auto trim = [](std::string s) {
      s.erase(0, s.find_first_not_of(' '));
      s.erase(s.find_last_not_of(' ') + 1);
      return s;
    };
    fields[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
  }
  return fields;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

class IndependentReaders : public ::testing::TestWithParam<Kind> {};

TEST_P(IndependentReaders, ReadWhatWeWrote) {
  const Kind& k = GetParam();
  TempDir dir;
  ScriptedUiServices ui;
  const std::string path = dir.File(std::string(k.name) + ".wav");
  auto noise = test::Samples(k.dataBytes / 2 + 1, 7);
  const std::string data = test::Bytes(noise.data(), k.dataBytes);
  const CalibrationRecord cal = test::SampleCalibration();
  ASSERT_TRUE(test::Record(ui, dir.Path(), path, test::Format(k.rate, k.channels, k.bytesPerSample), data,
                           k.calibration ? &cal : nullptr));
  const uint32_t frames = static_cast<uint32_t>(k.dataBytes / (k.channels * k.bytesPerSample));
  const std::string bits = std::to_string(8 * k.bytesPerSample);

  auto info = SndfileSummary(path);
  EXPECT_EQ(std::to_string(k.rate), info["Sample Rate"]);
  EXPECT_EQ(std::to_string(frames), info["Frames"]);
  EXPECT_EQ(std::to_string(k.channels), info["Channels"]);

  const std::string q = "'" + path + "'";
  EXPECT_EQ(std::to_string(k.rate), Trimmed(RunCommand("sox --i -r " + q)));
  EXPECT_EQ(std::to_string(k.channels), Trimmed(RunCommand("sox --i -c " + q)));
  EXPECT_EQ(bits, Trimmed(RunCommand("sox --i -b " + q)));
  EXPECT_EQ(std::to_string(frames), Trimmed(RunCommand("sox --i -s " + q)));
  int status = 0;
  const std::string raw = dir.File("out.raw");
  RunCommand("sox -V1 " + q + " -t raw '" + raw + "'", &status);
  EXPECT_EQ(0, status);
  EXPECT_EQ(data, ReadFile(raw)) << "sox's samples";

  std::string py = RunCommand(
      "python3 -c \"import sys, wave; w = wave.open(sys.argv[1]); "
      "print(w.getnchannels(), w.getsampwidth() * 8, w.getframerate(), w.getnframes(), "
      "w.readframes(w.getnframes()).hex())\" " + q, &status);
  EXPECT_EQ(0, status) << py;
  std::string hex;
  for (unsigned char c : data) {
    static const char* digits = "0123456789abcdef";
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  EXPECT_EQ(std::to_string(k.channels) + " " + bits + " " + std::to_string(k.rate) + " " + std::to_string(frames) +
                " " + hex,
            Trimmed(py));
}

INSTANTIATE_TEST_SUITE_P(Kinds, IndependentReaders, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IndependentReaders, RecorderSizedBlocksReadBack) {
  TempDir dir;
  ScriptedUiServices ui;
  const SampleFormat format = test::Format(65536, 1, 2);
  std::string all;
  {
    WaveIO wave(ui, format, dir.Path());
    wave.SetFormat(format);
    wave.SetFileName(dir.File("channel 3.wav"));
    for (int block = 0; block < 5; ++block) {
      auto samples = test::Samples(8192, block);
      all += test::Bytes(samples.data(), 16384);
      ASSERT_EQ(1, wave.Append(samples.data(), 16384));
    }
    wave.SetCalibration(test::SampleCalibration());
    ASSERT_EQ(1, wave.Save());
  }
  auto info = SndfileSummary(dir.File("channel 3.wav"));
  EXPECT_EQ("40960", info["Frames"]);
  int status = 0;
  RunCommand("sox -V1 '" + dir.File("channel 3.wav") + "' -t raw -e signed -b 16 '" + dir.File("r.raw") + "'",
             &status);
  EXPECT_EQ(0, status);
  EXPECT_EQ(all, ReadFile(dir.File("r.raw")));
}

// A broadcast file below the limit is an ordinary wave file to every reader;
// above it (made small here by a lower limit) an RF64 file to those that read
// RF64. Each gives back the samples as written.
TEST(IndependentReaders, BroadcastFilesBelowAndAboveTheLimit) {
  TempDir dir;
  ScriptedUiServices ui;
  const auto noise = test::Samples(3000, 5);
  const std::string data = test::Bytes(noise.data(), 6000);
  const CalibrationRecord cal = test::SampleCalibration();
  const SampleFormat format = test::Format(25000, 1, 2);
  ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("below.wav"), format, data, &cal, test::Broadcast()));
  {
    ScopedWaveRiffSizeLimit limit(1016 + 4000);
    ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("above.wav"), format, data, &cal, test::Broadcast()));
  }
  ASSERT_EQ("RF64", ReadFile(dir.File("above.wav")).substr(0, 4));
  for (const char* name : {"below.wav", "above.wav"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.File(name);
    EXPECT_EQ(test::ExpectedFrameCounts(3000), test::ExternalFrameCounts(path));
    int status = 0;
    RunCommand("sox -V1 '" + path + "' -t raw '" + dir.File("out.raw") + "'", &status);
    EXPECT_EQ(0, status);
    EXPECT_EQ(data, ReadFile(dir.File("out.raw"))) << "sox's samples";
  }
  int status = 0;
  const std::string py = RunCommand(
      "python3 -c \"import sys, wave; w = wave.open(sys.argv[1]); print(w.getnframes(), "
      "w.readframes(w.getnframes()) == open(sys.argv[2], 'rb').read())\" '" + dir.File("below.wav") + "' '" +
          dir.File("out.raw") + "'",
      &status);
  EXPECT_EQ("3000 True\n", py) << "Python's wave module reads the broadcast file below the limit";
  // libsndfile's reading of the bext, field by field.
  const std::string info = RunCommand("sndfile-info --broadcast '" + dir.File("above.wav") + "' 2>&1");
  for (const char* line : {"Description              : varnel-start-utc=2026-12-09T14:00:00.000123Z\n",
                           "Originator               : Varnel\n",
                           "Origination ref          : varnel-20261209T140000.000123Z\n",
                           "Origination date         : 2026-12-09\n", "Origination time         : 15-00-00\n",
                           "Time ref                 : 0x050775d83 (54000.000120 seconds)\n",
                           "BWF version              : 2\n",
                           "Coding history           : A=PCM,F=25000,W=16,M=mono,T=Varnel;gain=2;board=Simulated DT9834"})
    EXPECT_NE(std::string::npos, info.find(line)) << line << info;
}

// Files written by sox, which chooses its own layout (an extensible fmt chunk
// for 24 bits and for more than two channels, a fact chunk).
TEST(IndependentWriters, SoxFilesReadAsTheirFormatSays) {
  TempDir dir;
  struct Case {
    const char* args;
    uint32_t channels, bytesPerSample, frameFactor;
    int32_t maxValue;
  };
  const Case cases[] = {
      {"-r 8000 -c 1 -b 24", 1, 3, 1, 8388607},
      {"-r 8000 -c 2 -b 16", 2, 2, 1, 32767},
      {"-r 8000 -c 6 -b 16", 1, 2, 6, 32767},
      {"-r 8000 -c 1 -b 8", 1, 1, 1, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string path = dir.File("sox.wav");
    int status = 0;
    RunCommand(std::string("sox -V1 -n ") + c.args + " '" + path + "' synth 0.1 sine 440", &status);
    ASSERT_EQ(0, status);
    ScriptedUiServices ui;
    WaveIO wave(ui);
    ASSERT_EQ(1, wave.OpenExisting(path));
    EXPECT_EQ(8000u, wave.Format.SampleRate);
    EXPECT_EQ(c.channels, wave.Format.Channels);
    EXPECT_EQ(c.bytesPerSample, wave.Format.BytesPerSample);
    EXPECT_EQ(c.maxValue, wave.Format.MaxValue);
    EXPECT_EQ(800u * c.frameFactor, wave.GetLength());
    EXPECT_EQ(0, wave.HasCalibration);
    // The data starts where sox's own header ends.
    const std::string bytes = ReadFile(path);
    EXPECT_EQ("data", bytes.substr(wave.DataOffset - 8, 4));
  }
}

}  // namespace
}  // namespace varnel
