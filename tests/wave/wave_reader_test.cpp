#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "wave/CalibrationChunk.h"
#include "wave/WaveIO.h"
#include "WaveTestHelpers.h"

namespace varnel {
namespace {

using test::ReadFile;
using test::ScriptedUiServices;
using test::TempDir;
using test::WriteFile;

std::string U32(uint32_t v) { return test::Bytes(&v, 4); }
std::string U16(uint16_t v) { return test::Bytes(&v, 2); }
std::string Chunk(const std::string& id, const std::string& content) {
  std::string out = id + U32(static_cast<uint32_t>(content.size())) + content;
  if (content.size() & 1) out += '\0';
  return out;
}
std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits) {
  return U16(tag) + U16(channels) + U32(rate) + U32(rate * blockAlign) + U16(blockAlign) + U16(bits);
}
std::string Riff(const std::string& content) { return "RIFF" + U32(static_cast<uint32_t>(content.size() + 4)) + "WAVE" + content; }
std::string U64(uint64_t v) { return test::Bytes(&v, 8); }
std::string Ds64(uint64_t riff, uint64_t data, uint64_t count) { return Chunk("ds64", U64(riff) + U64(data) + U64(count) + U32(0)); }
// An RF64 form: its 32-bit sizes send a reader to ds64, which comes first.
std::string Rf64(const std::string& ds64, const std::string& content) { return "RF64" + U32(0xFFFFFFFF) + "WAVE" + ds64 + content; }

// Opens a file as an existing recording, expecting the given box (or none).
struct Opened {
  ScriptedUiServices ui;
  WaveIO wave{ui};
  int result = 0;
  Opened(const std::string& path, const char* message = nullptr) {
    if (message) ui.ExpectMessageBox(message, ui::DialogResult::OK);
    result = wave.OpenExisting(path);
  }
};

TEST(WaveIOReader, CalibrationRoundTripNamesUnnamedChannels) {
  TempDir dir;
  ScriptedUiServices ui;
  const std::string samples = test::Bytes(test::Samples(64).data(), 128);
  CalibrationRecord named = test::SampleCalibration("Hydrophone", "Reference");
  CalibrationRecord unnamed = test::SampleCalibration("", "");
  unnamed.Reserved[10] = 7;  // the record is kept byte for byte, tail included
  ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("named.wav"), test::Format(8000, 1, 2), samples, &named));
  ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("unnamed.wav"), test::Format(8000, 1, 2), samples, &unnamed));

  Opened a(dir.File("named.wav"));
  ASSERT_EQ(1, a.result);
  EXPECT_EQ(1, a.wave.HasCalibration);
  EXPECT_EQ(0, std::memcmp(&named, &a.wave.Calibration, sizeof named));

  Opened b(dir.File("unnamed.wav"));
  ASSERT_EQ(1, b.result);
  EXPECT_STREQ("Left", b.wave.Calibration.Left.ChannelName);
  EXPECT_STREQ("Right", b.wave.Calibration.Right.ChannelName);
  CalibrationRecord expected = unnamed;
  std::memcpy(expected.Left.ChannelName, "Left", 5);
  std::memcpy(expected.Right.ChannelName, "Right", 6);
  EXPECT_EQ(0, std::memcmp(&expected, &b.wave.Calibration, sizeof expected));

  // Without a chunk the held record stays as it was.
  ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("none.wav"), test::Format(8000, 1, 2), samples));
  b.wave.Close();
  b.wave.SetCalibration(named);
  ASSERT_EQ(1, b.wave.OpenExisting(dir.File("none.wav")));
  EXPECT_EQ(0, b.wave.HasCalibration);
  EXPECT_EQ(0, std::memcmp(&named, &b.wave.Calibration, sizeof named));
}

TEST(WaveIOReader, SaveWithCalibrationReadsItBack) {
  TempDir dir;
  ScriptedUiServices ui;
  WaveIO wave(ui, test::Format(8000, 1, 2), dir.Path());
  wave.SetFileName(dir.File("s.wav"));
  auto block = test::Samples(100);
  ASSERT_EQ(1, wave.Append(block.data(), 200));
  wave.SetCalibration(test::SampleCalibration("", "R"));
  ASSERT_EQ(1, wave.Save());
  EXPECT_EQ(1, wave.HasCalibration);
  EXPECT_STREQ("Left", wave.Calibration.Left.ChannelName);
  EXPECT_STREQ("R", wave.Calibration.Right.ChannelName);
  EXPECT_EQ(100u, wave.Position);
}

TEST(WaveIOReader, EarlierCalibrationChunkIsConverted) {
  unsigned char old[kEarlierCalibrationSize];
  for (std::size_t i = 0; i < sizeof old; ++i) old[i] = static_cast<unsigned char>(i * 7 + 3);
  auto put = [&](std::size_t at, const void* v, std::size_t n) { std::memcpy(old + at, v, n); };
  const int32_t valid = 1;
  const float refLevel = 1.5f, pctL = 0.25f, pctR = 0.75f, ratioL = 2.0f, ratioR = 4.0f;
  put(0, &valid, 4);
  put(260, &refLevel, 4);
  put(396, &pctL, 4);
  put(400, &pctR, 4);
  put(404, &ratioL, 4);
  put(408, &ratioR, 4);
  std::memset(old + 420, 0, 40);  // empty Left name
  put(460, "Right side", 11);

  TempDir dir;
  WriteFile(dir.File("old.wav"), Riff(Chunk("fmt ", Fmt(1, 1, 8000, 2, 16)) + Chunk("data", "abcd")) +
                                     Chunk(std::string("\x65\0\0\0", 4), test::Bytes(old, sizeof old)));
  Opened o(dir.File("old.wav"));
  ASSERT_EQ(1, o.result);
  ASSERT_EQ(1, o.wave.HasCalibration);
  const CalibrationRecord& r = o.wave.Calibration;
  EXPECT_EQ(0, std::memcmp(r.CalFileName, old + 4, 256));
  EXPECT_EQ(0, r.CalFileName[256]) << "beyond 256 bytes the name stays as it was";
  EXPECT_EQ(1, r.Left.CalibrationValid);
  EXPECT_EQ(1, r.Right.CalibrationValid);
  EXPECT_EQ(refLevel, r.Right.RefLevel);
  EXPECT_EQ(0, std::memcmp(r.Right.LabelLinear, old + 272, 60));
  EXPECT_EQ(0, std::memcmp(&r.Right.IntegrationType, old + 416, 4));
  EXPECT_EQ(pctL, r.Left.PctFullScale);
  EXPECT_EQ(pctR, r.Right.PctFullScale);
  EXPECT_EQ(ratioL, r.Left.CalRatio);
  EXPECT_EQ(ratioR, r.Right.CalRatio);
  EXPECT_STREQ("Left", r.Left.ChannelName);
  EXPECT_STREQ("Right side", r.Right.ChannelName);
  EXPECT_EQ(0, r.Right.Reserved[0]);
}

TEST(WaveIOReader, CurrentChunkWinsAndItsSizeFieldIsIgnored) {
  TempDir dir;
  CalibrationRecord cal = test::SampleCalibration();
  std::string body = Riff(Chunk("fmt ", Fmt(1, 1, 8000, 2, 16)) + Chunk("data", "abcd"));
  std::string oldChunk = Chunk(std::string("\x65\0\0\0", 4), std::string(kEarlierCalibrationSize, 'x'));
  std::string current = std::string("\x66\0\0\0", 4) + U32(12) + test::Bytes(&cal, sizeof cal);
  WriteFile(dir.File("both.wav"), body + oldChunk + current);
  Opened o(dir.File("both.wav"));
  ASSERT_EQ(1, o.result);
  EXPECT_EQ(0, std::memcmp(&cal, &o.wave.Calibration, sizeof cal));

  // A current chunk cut short falls back to the earlier one.
  WriteFile(dir.File("short.wav"), body + oldChunk + current.substr(0, 1000));
  Opened s(dir.File("short.wav"));
  ASSERT_EQ(1, s.result);
  EXPECT_EQ(1, s.wave.HasCalibration);
  EXPECT_EQ('x', s.wave.Calibration.CalFileName[0]);
}

TEST(WaveIOReader, SetPositionStaysWithinLength) {
  TempDir dir;
  ScriptedUiServices ui;
  const std::string samples = test::Bytes(test::Samples(50).data(), 100);
  ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("p.wav"), test::Format(8000, 1, 2), samples));
  Opened o(dir.File("p.wav"));
  ASSERT_EQ(1, o.result);
  EXPECT_EQ(50u, o.wave.GetLength());
  EXPECT_EQ(20u, o.wave.SetPosition(20));
  EXPECT_EQ(20u, o.wave.SetPosition(51)) << "beyond Length the position stays";
  EXPECT_EQ(50u, o.wave.SetPosition(50));
  // Appending at Length continues the data.
  ASSERT_EQ(1, o.wave.Append(samples.data(), 4));
  EXPECT_EQ(104u, test::U32At(ReadFile(dir.File("p.wav")), 40));
  o.wave.SetPosition(10);
  ASSERT_EQ(1, o.wave.Append("zz", 2));
  std::string bytes = ReadFile(dir.File("p.wav"));
  EXPECT_EQ("zz", bytes.substr(44 + 20, 2)) << "a block is written at the position";
  EXPECT_EQ(104u, test::U32At(bytes, 40)) << "writing inside the data does not shorten it";
}

TEST(WaveIOReader, ForeignLayoutsReadAsTheirFormatSays) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string fmt;
    std::size_t dataBytes;
    uint32_t channels, bytesPerSample, frames;
    int32_t maxValue;
  };
  const Case cases[] = {
      {"tag3", Fmt(3, 1, 8000, 4, 32), 40, 1, 4, 10, 1073741824},
      {"20bit", Fmt(1, 1, 8000, 3, 20), 30, 1, 3, 10, 8388607},
      {"stereo", Fmt(1, 2, 8000, 4, 16), 40, 2, 2, 10, 32767},
      {"six", Fmt(1, 6, 8000, 12, 16), 120, 1, 2, 60, 32767},
      {"extensible", Fmt(0xFFFE, 1, 8000, 2, 16) + U16(22) + std::string(22, '\0'), 20, 1, 2, 10, 32767},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = Riff(Chunk("LIST", "junk!") + Chunk("fmt ", c.fmt) + Chunk("fact", "1234") +
                            Chunk("data", std::string(c.dataBytes, 'd')));
    WriteFile(dir.File(c.name), file);
    Opened o(dir.File(c.name));
    ASSERT_EQ(1, o.result);
    EXPECT_EQ(c.channels, o.wave.Format.Channels);
    EXPECT_EQ(c.bytesPerSample, o.wave.Format.BytesPerSample);
    EXPECT_EQ(8u * c.bytesPerSample, o.wave.Format.BitsPerSample);
    EXPECT_EQ(c.frames, o.wave.GetLength());
    EXPECT_EQ(c.maxValue, o.wave.Format.MaxValue);
    EXPECT_EQ(file.size() - c.dataBytes, o.wave.DataOffset);
  }
}

TEST(WaveIOReader, HostileFilesAreRefusedOrBounded) {
  TempDir dir;
  const std::string fmt = Chunk("fmt ", Fmt(1, 1, 8000, 2, 16));
  const std::string data = Chunk("data", "abcdef");
  struct Case {
    const char* name;
    std::string bytes;
    const char* message;  // nullptr: refused without a box
  };
  std::string crashLeft = Riff(fmt + data);
  crashLeft.replace(4, 4, U32(4));
  std::string hugeFmt = Riff(Chunk("fmt ", Fmt(1, 1, 8000, 2, 16)) + data);
  hugeFmt.replace(16, 4, U32(0xFFFFFFF0u));
  std::string fmtBeyondForm = Riff(fmt + data);
  fmtBeyondForm.replace(4, 4, U32(20));
  const Case cases[] = {
      {"empty", "", "INVALID_WAVE_FILE"},
      {"not riff", "RIFX" + U32(4) + "WAVE", "INVALID_WAVE_FILE"},
      {"not wave", "RIFF" + U32(4) + "AVI ", "INVALID_WAVE_FILE"},
      {"riff size 4", crashLeft, "INVALID_WAVE_FILE"},
      {"no fmt", Riff(data), "INVALID_WAVE_FILE"},
      {"data before fmt", Riff(data + fmt), "INVALID_WAVE_FILE"},
      {"zero channels", Riff(Chunk("fmt ", Fmt(1, 0, 8000, 2, 16)) + data), "INVALID_WAVE_FILE"},
      {"fmt of 13 bytes", Riff(Chunk("fmt ", Fmt(1, 1, 8000, 2, 16).substr(0, 13)) + data), "INVALID_WAVE_FILE"},
      {"fmt size beyond file", hugeFmt, nullptr},
      {"fmt beyond form", fmtBeyondForm, nullptr},
      {"empty data", Riff(fmt + Chunk("data", "")), nullptr},
      {"fmt cut", Riff(fmt).substr(0, 30), nullptr},
      {"header cut", Riff(fmt).substr(0, 16), "INVALID_WAVE_FILE"},
      {"data header cut", (Riff(fmt) + "dat"), "INVALID_WAVE_FILE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir.File("bad.wav"), c.bytes);
    Opened o(dir.File("bad.wav"), c.message);
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(1, o.wave.Failed);
    EXPECT_FALSE(o.wave.IsOpen());
    EXPECT_EQ(c.message ? 1u : 0u, o.ui.Messages().size());
    EXPECT_EQ(c.bytes, ReadFile(dir.File("bad.wav"))) << "a failed open never changes the file";
  }
}

TEST(WaveIOReader, SizesBeyondTheFileAreCutToWhatItHolds) {
  TempDir dir;
  std::string file = Riff(Chunk("fmt ", Fmt(1, 1, 8000, 2, 16)) + Chunk("data", std::string(100, 'd')));
  file.replace(40, 4, U32(0xFFFFFF00u));
  file.replace(4, 4, U32(0xFFFFFFF0u));
  WriteFile(dir.File("liar.wav"), file + "x");  // odd tail
  Opened o(dir.File("liar.wav"));
  ASSERT_EQ(1, o.result);
  EXPECT_EQ(101u, o.wave.ByteSize);
  EXPECT_EQ(50u, o.wave.GetLength());

  std::string calLiar = Riff(Chunk("fmt ", Fmt(1, 1, 8000, 2, 16)) + Chunk("data", "ab")) +
                        std::string("\x66\0\0\0", 4) + U32(0xFFFFFFFFu) + std::string(100, 'c');
  WriteFile(dir.File("cal.wav"), calLiar);
  Opened c(dir.File("cal.wav"));
  ASSERT_EQ(1, c.result);
  EXPECT_EQ(0, c.wave.HasCalibration) << "2048 bytes are not there";
}

TEST(WaveIOReader, Rf64SizesComeFromDs64) {
  TempDir dir;
  const std::string fmt = Chunk("fmt ", Fmt(1, 1, 8000, 2, 16));
  const std::string samples(100, 's');
  const std::string data = "data" + U32(0xFFFFFFFF) + samples;
  const CalibrationRecord cal = test::SampleCalibration();
  const std::string calChunk = std::string("\x66\0\0\0", 4) + U32(2048) + test::Bytes(&cal, sizeof cal);
  const std::string form = Rf64(Ds64(4 + 36 + fmt.size() + data.size(), 100, 50), fmt + data);
  WriteFile(dir.File("rf64.wav"), form + calChunk);
  Opened o(dir.File("rf64.wav"));
  ASSERT_EQ(1, o.result);
  EXPECT_EQ(50u, o.wave.GetLength());
  EXPECT_EQ(form.size() - 100, o.wave.DataOffset);
  EXPECT_EQ(1, o.wave.HasCalibration) << "found past the form, which ds64 measures";

  // A bext of odd size with its pad byte, and a reserve that was never needed.
  const std::string broadcast =
      Riff(Chunk("JUNK", std::string(28, '\0')) + Chunk("bext", std::string(603, 'b')) + fmt + Chunk("data", samples));
  WriteFile(dir.File("bwf.wav"), broadcast);
  Opened b(dir.File("bwf.wav"));
  ASSERT_EQ(1, b.result);
  EXPECT_EQ(50u, b.wave.GetLength());
  EXPECT_EQ(broadcast.size() - 100, b.wave.DataOffset);
}

TEST(WaveIOReader, HostileRf64FilesAreRefusedOrBounded) {
  TempDir dir;
  const std::string fmt = Chunk("fmt ", Fmt(1, 1, 8000, 2, 16));
  const std::string data = "data" + U32(0xFFFFFFFF) + "abcdef";
  const uint64_t whole = 4 + 36 + fmt.size() + data.size();
  struct Case {
    const char* name;
    std::string bytes;
    uint64_t frames;  // 0: refused with INVALID_WAVE_FILE
  };
  const Case cases[] = {
      {"no ds64", Rf64("", fmt + data), 0},
      {"ds64 too short", Rf64(Chunk("ds64", U64(whole) + U64(6)), fmt + data), 0},
      {"ds64 not first", Rf64(Chunk("JUNK", "") + Ds64(whole, 6, 3), fmt + data), 0},
      {"still recording", Rf64(Ds64(4, 6, 3), fmt + data), 0},
      {"data size beyond the file", Rf64(Ds64(whole, uint64_t{1} << 62, 0), fmt + data), 3},
      {"form size beyond the file", Rf64(Ds64(~uint64_t{0}, 6, 3), fmt + data), 3},
      {"data's own size", Rf64(Ds64(whole, 6, 3), fmt + Chunk("data", "abcd")), 2},
      {"form size from ds64 when the field is not a pointer to it",
       "RF64" + U32(20) + "WAVE" + Ds64(whole, 6, 3) + fmt + data, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir.File("bad.wav"), c.bytes);
    Opened o(dir.File("bad.wav"), c.frames ? nullptr : "INVALID_WAVE_FILE");
    EXPECT_EQ(c.frames ? 1 : 0, o.result);
    EXPECT_EQ(c.frames, o.wave.GetLength());
    EXPECT_EQ(c.bytes, ReadFile(dir.File("bad.wav"))) << "opening never changes the file";
  }
}

TEST(WaveIOReader, MissingFileIsReported) {
  TempDir dir;
  Opened o(dir.File("absent.wav"), "FILE_OPEN_FAIL");
  EXPECT_EQ(0, o.result);
  EXPECT_EQ(1, o.wave.Failed);
  EXPECT_EQ("", o.ui.Messages()[0].caption);
  EXPECT_EQ(ui::mb::kOk, o.ui.Messages()[0].style);
}

}  // namespace
}  // namespace varnel
