#include <gtest/gtest.h>

#include <string>

#include "WaveTestHelpers.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace varnel {
namespace {

// The same input gives the same bytes on every platform: the Linux and the
// Windows builds both compare with one stored file per layout (tests/wave/golden).
void ExpectGolden(const char* name, const WaveFileChoice& choice) {
  test::TempDir dir;
  test::QuietUiServices ui;
  const SampleFormat format = test::Format(25000, 1, 2);
  std::string bytes;
  for (std::size_t count : {1000u, 1u, 333u}) {
    const auto block = test::Samples(count, static_cast<int>(count));
    bytes += test::Bytes(block.data(), block.size() * 2);
  }
  bytes.push_back('\x7f');  // an odd data size: the pad byte is part of the layout
  const CalibrationRecord cal = test::SampleCalibration("Hydro\xc3\xbc", "Right");
  const std::string written = dir.File("golden.wav");
  ASSERT_TRUE(test::Record(ui, dir.Path(), written, format, bytes, &cal, choice));

  const std::string golden = platform::JoinPath(platform::JoinPath(platform::ExecutableFolder(), "golden"), name);
  const std::string actual = test::ReadFile(written);
  const std::string expected = test::ReadFile(golden);
  if (actual != expected) {
    platform::CreateFolders(std::string(platform::FolderOf(golden)));
    test::WriteFile(golden + ".actual", actual);
    FAIL() << "differs from " << golden << " (" << expected.size() << " bytes); this run's file is beside it";
  }
}

TEST(WaveGolden, ARecordingMatchesTheStoredFileByteForByte) {
  ExpectGolden("pattern.wav", {});
}

TEST(WaveGolden, ABroadcastRecordingMatchesTheStoredFileByteForByte) {
  ExpectGolden("pattern-bwf.wav", test::Broadcast());
}

}  // namespace
}  // namespace varnel
