// What varnel-info reads from a file, and what it refuses: anything that is
// not a whole wave file whose sizes fit, with the reason, never half read.

#include <gtest/gtest.h>

#include "InfoReport.h"
#include "InfoTestSupport.h"
#include "wave/WaveLayout.h"

namespace varnel {
namespace {

using test::TempDir;

std::string U32(uint32_t v) {
  return test::Bytes(&v, 4);
}
std::string U16(uint16_t v) {
  return test::Bytes(&v, 2);
}
std::string Chunk(const std::string& id, const std::string& content) {
  return id + U32(static_cast<uint32_t>(content.size())) + content + (content.size() & 1 ? std::string(1, '\0') : "");
}
std::string Fmt(uint16_t tag, uint16_t channels, uint16_t blockAlign, uint16_t bits) {
  return Chunk("fmt ", U16(tag) + U16(channels) + U32(8000) + U32(8000u * blockAlign) + U16(blockAlign) + U16(bits));
}
std::string Riff(const std::string& content) {
  return "RIFF" + U32(static_cast<uint32_t>(content.size() + 4)) + "WAVE" + content;
}

TEST(InfoReading, RefusesWhatIsNotAWholeWaveFile) {
  TempDir dir;
  const std::string fmt = Fmt(1, 1, 2, 16), data = Chunk("data", "abcdef");
  std::string cutShort = Riff(fmt + data);
  cutShort.resize(cutShort.size() - 2);
  std::string formShort = Riff(fmt + data) + "tail";
  formShort.replace(4, 4, U32(static_cast<uint32_t>(formShort.size())));
  std::string pastForm = Riff(fmt + data);
  pastForm.replace(4, 4, U32(38));
  std::string recording = Riff(fmt + data);
  recording.replace(4, 4, U32(4));
  std::string calShort = Riff(fmt + data) + std::string("\x66\0\0\0", 4) + U32(2048) + std::string(100, 'c');
  struct Case {
    const char* name;
    std::string bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"text", "hello, this is not a wave file", "not a wave file"},
      {"empty", "", "not a wave file"},
      {"no data", Riff(fmt), "no data chunk"},
      {"data cut short", cutShort, "cut short: the data chunk says 6 bytes, the file holds 4"},
      {"form past the file", formShort, "cut short: the form says"},
      {"data past its form", pastForm,
       "sizes that do not fit: the data chunk ends at byte 50, past the end of its form (46)"},
      {"unfinished", recording, "an unfinished recording"},
      {"part frames", Riff(fmt + Chunk("data", "abcde")), "5 bytes of data are not whole frames of 2"},
      {"frame of no bytes", Riff(Fmt(1, 2, 0, 16) + data), "a frame of 0 bytes for 2 channels"},
      {"frame across channels", Riff(Fmt(1, 2, 3, 16) + data), "a frame of 3 bytes for 2 channels"},
      {"compressed", Riff(Fmt(2, 1, 2, 16) + data), "format 0x0002"},
      {"calibration cut short", calShort, "the calibration chunk holds less than its 2048 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(dir.File("bad.wav"), c.bytes);
    std::string why;
    EXPECT_FALSE(test::Inspect(dir.File("bad.wav"), &why));
    EXPECT_NE(std::string::npos, why.find(c.reason)) << why;
  }
  std::string why;
  EXPECT_FALSE(test::Inspect(dir.Path(), &why)) << "a folder";
  EXPECT_FALSE(test::Inspect(dir.File("absent.wav"), &why));
  EXPECT_EQ("cannot be opened as a file", why);
}

TEST(InfoReading, WaveBroadcastAndForeignFiles) {
  TempDir dir;
  test::ScriptedUiServices ui;
  const auto block = test::Samples(1000, 3);
  const std::string samples = test::Bytes(block.data(), 2000);
  const CalibrationRecord cal = test::SampleCalibration("Mic 1", "Right");
  ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("w.wav"), test::Format(25000, 1, 2), samples, &cal));
  ASSERT_TRUE(
      test::Record(ui, dir.Path(), dir.File("b.wav"), test::Format(25000, 1, 2), samples, &cal, test::Broadcast()));
  {
    ScopedWaveRiffSizeLimit limit(1016 + 1000);
    ASSERT_TRUE(test::Record(ui, dir.Path(), dir.File("r.wav"), test::Format(25000, 1, 2), samples, nullptr,
                             test::Broadcast()));
  }
  // Eight-bit unsigned, 24-bit and float samples of other writers, in the converter's scale.
  test::WriteFile(dir.File("u8.wav"), Riff(Fmt(1, 1, 1, 8) + Chunk("data", "\x80\xa0")));
  test::WriteFile(dir.File("s24.wav"), Riff(Fmt(1, 1, 3, 24) + Chunk("data", std::string("\0\0\x20", 3))));
  const float f = 0.25f;
  test::WriteFile(dir.File("f32.wav"), Riff(Fmt(3, 1, 4, 32) + Chunk("data", test::Bytes(&f, 4))));

  struct Case {
    const char* file;
    const char* format;
    uint64_t frames;
    bool start, calibrated;
    std::optional<int32_t> gain;
    double peakVolts;  // 0: not looked at
  };
  const Case cases[] = {
      {"w.wav", "Wave", 1000, false, true, std::nullopt, 0},
      {"b.wav", "Broadcast wave", 1000, true, true, 2, 0},
      {"r.wav", "Broadcast wave (RF64)", 1000, true, false, 2, 0},
      {"u8.wav", "Wave", 2, false, false, std::nullopt, 2.5},
      {"s24.wav", "Wave", 1, false, false, std::nullopt, 2.5},
      {"f32.wav", "Wave", 1, false, false, std::nullopt, 2.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string why;
    const auto info = test::Inspect(dir.File(c.file), &why);
    ASSERT_TRUE(info) << why;
    EXPECT_EQ(c.format, info->FormatName());
    EXPECT_EQ(c.frames, info->frames);
    EXPECT_EQ(c.start, info->start.has_value());
    EXPECT_EQ(c.calibrated, info->scale.calibrated);
    EXPECT_EQ(c.gain, info->gain);
    if (!c.calibrated) {
      EXPECT_EQ("V", info->scale.WaveformUnits());
    }
    if (c.peakVolts > 0) {
      EXPECT_DOUBLE_EQ(c.peakVolts, info->levels.peak);
    }
  }
  const auto b = test::Inspect(dir.File("b.wav"));
  ASSERT_TRUE(b && b->start);
  EXPECT_EQ(1796824800000123, b->start->utcMicroseconds);
  EXPECT_EQ("2026-12-09 15:00:00.000123", b->start->local);
  EXPECT_EQ("Mic 1", b->scale.name);
  const auto r = test::Inspect(dir.File("r.wav"));
  ASSERT_TRUE(r);
  EXPECT_EQ("Mic 1", r->scale.name) << "a file without calibration is named by its bext";
  EXPECT_NE(std::string::npos, r->scaleNote.find("volts at the converter (32768 = 10 V)"));
}

// A start written by another program: its date and time reference.
TEST(InfoReading, AForeignBroadcastFileStartsAtItsTimeReference) {
  TempDir dir;
  wave::Bext bext;
  bext.originationDate = "2025-06-30";
  bext.timeReference = 48000ull * 3600 + 24000;  // 01:00:00.5
  const auto content = wave::EncodeBext(bext, 0);
  const std::string bytes(content.begin(), content.end());
  test::WriteFile(dir.File("f.wav"), Riff(Chunk("bext", bytes) +
                                          Chunk("fmt ", U16(1) + U16(1) + U32(48000) + U32(96000) + U16(2) + U16(16)) +
                                          Chunk("data", "ab")));
  const auto info = test::Inspect(dir.File("f.wav"));
  ASSERT_TRUE(info && info->start);
  EXPECT_FALSE(info->start->utcMicroseconds);
  EXPECT_EQ("2025-06-30 01:00:00.500000", info->start->local);
  EXPECT_NE(std::string::npos, info::TextReport(*info).find("start        2025-06-30 01:00:00.500000 local"));
}

}  // namespace
}  // namespace varnel
