// Broadcast wave files past 4 GiB, made as sparse files: a finished recording
// whose data is grown by a hole to just below the limit, then appended to by
// WaveIO across it. The file turns into RF64 in place, and libsndfile,
// Python's soundfile and our own reader count every frame (sox reads a small
// RF64 file in wave_readers_test: it counts a big one by reading it through).

#include <gtest/gtest.h>

#include "WaveTestHelpers.h"
#include "support/BigFiles.h"
#include "support/TempDir.h"
#include "wave/WaveIO.h"

namespace varnel {
namespace {

using test::LittleAt;
using test::ReadAt;
using test::ScriptedUiServices;
using test::TempDir;

constexpr uint32_t kBlock = 16384;

// A finished broadcast recording whose data chunk holds `dataBytes`, all but
// its first block a hole.
std::string SparseRecording(const TempDir& dir, uint64_t dataBytes) {
  ScriptedUiServices ui;
  const std::string path = dir.File("grown.wav");
  const auto block = test::Samples(kBlock / 2, 1);
  const CalibrationRecord cal = test::SampleCalibration();
  if (!test::Record(ui, dir.Path(), path, test::Format(25000, 1, 2), test::Bytes(block.data(), kBlock), &cal,
                    test::Broadcast()))
    return {};
  std::string sizes(4, '\0');
  const uint32_t data = static_cast<uint32_t>(dataBytes), form = static_cast<uint32_t>(dataBytes + 1016);
  if (!test::SetFileSize(path, 1024 + dataBytes) || !test::WriteAt(path, 1020, test::Bytes(&data, 4)) ||
      !test::WriteAt(path, 4, test::Bytes(&form, 4)))
    return {};
  return path;
}

TEST(BigFiles, ABroadcastRecordingPassesFourGiBAsOneRf64File) {
  if (!test::HostToolsAvailable()) GTEST_SKIP() << "sparse files and the readers are the Linux build's";
  TempDir dir;
  // Two blocks fit below the limit, the third crosses it (even: whole frames).
  const uint64_t start = UINT32_MAX - 1016 - 3 * kBlock + 1;
  const std::string grown = SparseRecording(dir, start);
  ASSERT_FALSE(grown.empty());
  ScriptedUiServices ui;
  WaveIO wave(ui);
  ASSERT_EQ(1, wave.OpenExisting(grown));
  ASSERT_EQ(start / 2, wave.GetLength());
  wave.SetFileName(dir.File("long.wav"));
  wave.SetPosition(wave.GetLength());
  std::string tail;
  for (int b = 0; b < 8; ++b) {
    const auto block = test::Samples(kBlock / 2, 10 + b);
    tail += test::Bytes(block.data(), kBlock);
    ASSERT_EQ(1, wave.Append(block.data(), kBlock)) << "block " << b;
    const std::string head = ReadAt(grown, 0, 48);
    EXPECT_EQ(b < 2 ? "RIFF" : "RF64", head.substr(0, 4)) << "block " << b;
  }
  wave.SetCalibration(test::SampleCalibration());
  ASSERT_EQ(1, wave.Save());
  wave.Close();

  const std::string path = dir.File("long.wav");
  const uint64_t data = start + 8 * kBlock, frames = data / 2;
  ASSERT_GT(1024 + data, test::kFourGiB);
  test::ExpectFinishedRf64(path, data);
  EXPECT_EQ(tail, ReadAt(path, 1024 + start, tail.size()));
  WaveIO back(ui);
  ASSERT_EQ(1, back.OpenExisting(path));
  EXPECT_EQ(frames, back.GetLength());
  EXPECT_EQ(1, back.HasCalibration);
  EXPECT_TRUE(ui.Messages().empty());
}

}  // namespace
}  // namespace varnel
