// Broadcast wave files as WaveIO writes them: the layout under 4 GiB, the
// bext field by field at the offsets of its definition, the upgrade to RF64
// in place when the form passes the limit, and reading both back.

#include <gtest/gtest.h>

#include "WaveTestHelpers.h"
#include "support/TempDir.h"
#include "wave/Bext.h"
#include "wave/WaveIO.h"

namespace varnel {
namespace {

using test::ReadFile;
using test::ScriptedUiServices;
using test::TempDir;
using test::U16At;
using test::U32At;

uint64_t U64At(const std::string& bytes, std::size_t offset) {
  uint64_t v = 0;
  std::memcpy(&v, bytes.data() + offset, 8);
  return v;
}

std::string Text(const std::string& bytes, std::size_t offset, std::size_t size) {
  std::string field = bytes.substr(offset, size);
  return field.substr(0, field.find('\0'));
}

// The skeleton every broadcast file starts with, whatever it holds.
void ExpectBroadcastHeader(const std::string& bytes, uint32_t dataSize) {
  ASSERT_GE(bytes.size(), 1024u);
  EXPECT_EQ("RIFF", bytes.substr(0, 4));
  EXPECT_EQ("WAVEJUNK", bytes.substr(8, 8));
  EXPECT_EQ(28u, U32At(bytes, 16));
  EXPECT_EQ(std::string(28, '\0'), bytes.substr(20, 28)) << "the reserve for ds64";
  EXPECT_EQ("bext", bytes.substr(48, 4));
  EXPECT_EQ(936u, U32At(bytes, 52));
  EXPECT_EQ("fmt ", bytes.substr(992, 4));
  EXPECT_EQ(16u, U32At(bytes, 996));
  EXPECT_EQ(1u, U16At(bytes, 1000));
  EXPECT_EQ(1u, U16At(bytes, 1002));
  EXPECT_EQ(25000u, U32At(bytes, 1004));
  EXPECT_EQ(50000u, U32At(bytes, 1008));
  EXPECT_EQ(2u, U16At(bytes, 1012));
  EXPECT_EQ(16u, U16At(bytes, 1014));
  EXPECT_EQ("data", bytes.substr(1016, 4));
  EXPECT_EQ(dataSize, U32At(bytes, 1020));
}

TEST(BroadcastWave, LayoutWhileRecordingAndFinished) {
  TempDir dir;
  ScriptedUiServices ui;
  const std::string samples = test::Bytes(test::Samples(300).data(), 600);
  const CalibrationRecord cal = test::SampleCalibration();
  {
    WaveIO wave(ui, test::Format(25000, 1, 2), dir.Path(), test::Broadcast());
    ASSERT_EQ(0, wave.Failed);
    EXPECT_EQ(1024u, wave.DataOffset);
    wave.SetFileName(dir.File("b.wav"));
    ASSERT_EQ(1, wave.Append(samples.data(), 600));
    const std::string working = ReadFile(wave.WorkingFileName);
    ExpectBroadcastHeader(working, 600);
    EXPECT_EQ(4u, U32At(working, 4)) << "the form counts only its type until finalised";
    EXPECT_EQ(samples, working.substr(1024));
    wave.SetCalibration(cal);
    ASSERT_EQ(1, wave.Close());
  }
  const std::string bytes = ReadFile(dir.File("b.wav"));
  ExpectBroadcastHeader(bytes, 600);
  ASSERT_EQ(1024u + 600u + 8u + 2048u, bytes.size());
  EXPECT_EQ(1016u + 600u, U32At(bytes, 4));
  EXPECT_EQ(samples, bytes.substr(1024, 600));
  EXPECT_EQ(0x66u, U32At(bytes, 1624)) << "the calibration chunk follows the form, as in a wave file";
  EXPECT_EQ(test::Bytes(&cal, sizeof cal), bytes.substr(1632));

  WaveIO back(ui);
  ASSERT_EQ(1, back.OpenExisting(dir.File("b.wav")));
  EXPECT_EQ(300u, back.GetLength());
  EXPECT_EQ(1024u, back.DataOffset);
  EXPECT_EQ(1, back.HasCalibration);
  EXPECT_EQ(0, std::memcmp(&cal, &back.Calibration, sizeof cal));
  EXPECT_TRUE(ui.Messages().empty());
}

// Offsets from the definition of the chunk, not from the code that writes it.
TEST(BroadcastWave, BextReadsBackFieldByField) {
  TempDir dir;
  ScriptedUiServices ui;
  const std::string samples = test::Bytes(test::Samples(10).data(), 20);
  ASSERT_TRUE(
      test::Record(ui, dir.Path(), dir.File("b.wav"), test::Format(25000, 1, 2), samples, nullptr, test::Broadcast()));
  const std::string bext = ReadFile(dir.File("b.wav")).substr(56, 936);
  EXPECT_EQ(
      "varnel-start-utc=2026-12-09T14:00:00.000123Z\nvarnel-zone-offset=+01:00\nvarnel-unit=Pa\n"
      "varnel-channel=Mic 1\n",
      Text(bext, 0, 256));
  EXPECT_EQ("Varnel", Text(bext, 256, 32));
  EXPECT_EQ("varnel-20261209T140000.000123Z", Text(bext, 288, 32));
  EXPECT_EQ("2026-12-09", bext.substr(320, 10));
  EXPECT_EQ("15-00-00", bext.substr(330, 8));
  // 15 h after local midnight at 25000 Hz, and the 3 whole samples in the 123 us after it.
  EXPECT_EQ(15ull * 3600 * 25000 + 3, U64At(bext, 338));
  EXPECT_EQ(2u, U16At(bext, 346)) << "version";
  EXPECT_EQ(std::string(64, '\0'), bext.substr(348, 64)) << "UMID";
  for (int i = 0; i < 5; ++i) EXPECT_EQ(0x7fffu, U16At(bext, 412 + 2 * i)) << "loudness " << i << " not measured";
  EXPECT_EQ(std::string(180, '\0'), bext.substr(422, 180)) << "reserved";
  EXPECT_EQ("A=PCM,F=25000,W=16,M=mono,T=Varnel;gain=2;board=Simulated DT9834\r\n", Text(bext, 602, 334));

  const auto decoded = wave::DecodeBext(reinterpret_cast<const unsigned char*>(bext.data()), bext.size());
  ASSERT_TRUE(decoded);
  EXPECT_EQ("2026-12-09T14:00:00.000123Z", wave::DescriptionValue(decoded->description, wave::kStartUtcKey));
  EXPECT_EQ("Mic 1", wave::DescriptionValue(decoded->description, wave::kChannelKey));
  EXPECT_EQ("Simulated DT9834", wave::CodingHistoryValue(decoded->codingHistory, "board"));
  EXPECT_EQ("2", wave::CodingHistoryValue(decoded->codingHistory, "gain"));
}

TEST(BroadcastWave, LongAndAwkwardLabelsStayInTheirFields) {
  RecordingStart start = test::SampleStart();
  start.label = std::string(300, 'x') + "\n=";
  start.board = "USB Audio CODEC: USB Audio (hw:CODEC,0);x";
  const wave::Bext b = wave::BextForRecording(start, test::Format(25000, 1, 2));
  EXPECT_LE(b.description.size(), 256u);
  EXPECT_EQ("+01:00", wave::DescriptionValue(b.description, wave::kZoneOffsetKey));
  const auto label = wave::DescriptionValue(b.description, wave::kChannelKey);
  ASSERT_TRUE(label);
  EXPECT_EQ(std::string(label->size(), 'x'), *label) << "cut, on one line";
  EXPECT_EQ("USB Audio CODEC: USB Audio (hw:CODEC,0) x", wave::CodingHistoryValue(b.codingHistory, "board"));

  start.label = "Hydro\xc3\xbc";
  start.label = std::string(256 - 45 - 26 - 15 - 15 - 1 - 1, 'y') + start.label;
  const auto cut =
      wave::DescriptionValue(wave::BextForRecording(start, test::Format(25000, 1, 2)).description, wave::kChannelKey);
  ASSERT_TRUE(cut);
  EXPECT_EQ(std::string::npos, cut->find('\xc3')) << "a character is never split";
}

// Past the limit the form becomes RF64 where it lies and the recording goes
// on; a wave file at the same limit stops.
TEST(BroadcastWave, BecomesRf64InPlacePastTheLimitAndGoesOn) {
  TempDir dir;
  ScriptedUiServices ui;
  ScopedWaveRiffSizeLimit limit(1016 + 4000);
  const auto first = test::Samples(2000, 1), more = test::Samples(1000, 2);
  WaveIO wave(ui, test::Format(25000, 1, 2), dir.Path(), test::Broadcast());
  wave.SetFileName(dir.File("long.wav"));
  ASSERT_EQ(1, wave.Append(first.data(), 4000));
  std::string bytes = ReadFile(wave.WorkingFileName);
  EXPECT_EQ("RIFF", bytes.substr(0, 4)) << "up to the limit an ordinary wave file";
  EXPECT_EQ("JUNK", bytes.substr(12, 4));
  EXPECT_EQ(4000u, U32At(bytes, 1020));

  ASSERT_EQ(1, wave.Append(more.data(), 2));
  bytes = ReadFile(wave.WorkingFileName);
  EXPECT_EQ("RF64", bytes.substr(0, 4));
  EXPECT_EQ(0xFFFFFFFFu, U32At(bytes, 4));
  EXPECT_EQ("WAVEds64", bytes.substr(8, 8));
  EXPECT_EQ(28u, U32At(bytes, 16));
  EXPECT_EQ(4u, U64At(bytes, 20)) << "still recording: the form counts only its type";
  EXPECT_EQ(4002u, U64At(bytes, 28));
  EXPECT_EQ(2001u, U64At(bytes, 36));
  EXPECT_EQ(0u, U32At(bytes, 44)) << "no table";
  EXPECT_EQ(0xFFFFFFFFu, U32At(bytes, 1020));
  EXPECT_EQ("bext", bytes.substr(48, 4)) << "everything else stays where it was";

  ASSERT_EQ(1, wave.Append(more.data() + 1, 1998));
  EXPECT_EQ(3000u, wave.GetLength());
  wave.SetCalibration(test::SampleCalibration());
  ASSERT_EQ(1, wave.Close());
  bytes = ReadFile(dir.File("long.wav"));
  ASSERT_EQ(1024u + 6000u + 8u + 2048u, bytes.size());
  EXPECT_EQ(1016u + 6000u, U64At(bytes, 20));
  EXPECT_EQ(6000u, U64At(bytes, 28));
  EXPECT_EQ(3000u, U64At(bytes, 36));
  EXPECT_EQ(test::Bytes(first.data(), 4000) + test::Bytes(more.data(), 2000), bytes.substr(1024, 6000));
  EXPECT_EQ(0x66u, U32At(bytes, 7024));

  WaveIO back(ui);
  ASSERT_EQ(1, back.OpenExisting(dir.File("long.wav")));
  EXPECT_EQ(3000u, back.GetLength());
  EXPECT_EQ(1, back.HasCalibration);

  WaveIO plain(ui, test::Format(25000, 1, 2), dir.Path());
  ASSERT_EQ(1, plain.Append(first.data(), 2000));
  EXPECT_EQ(0, plain.Append(first.data(), 2982)) << "its form would be 36 + 4982 bytes";
  EXPECT_EQ(WaveFailure::kSizeLimit, plain.FailureReason);
  plain.DeleteWorkingFile = 1;
  EXPECT_TRUE(ui.Messages().empty());
}

}  // namespace
}  // namespace varnel
