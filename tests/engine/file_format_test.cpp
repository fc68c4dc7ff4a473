// The files' layout a run records in, and the start time a broadcast file
// carries: the first sample's instant, from the clock when the first buffer
// arrives less that buffer's length.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/FixedString.h"
#include "support/RecorderRig.h"
#include "wave/Bext.h"
#include "wave/BroadcastWave.h"

namespace varnel {
namespace {

std::vector<unsigned char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Id(const std::vector<unsigned char>& bytes, std::size_t at) {
  return bytes.size() >= at + 4 ? std::string(bytes.begin() + at, bytes.begin() + at + 4) : "";
}

class FileFormat : public ::testing::Test {
 protected:
  // Channel 3 recorded at 50 kHz in the given layout, two buffers of 8192 frames.
  std::vector<unsigned char> Record(int32_t fileFormat) {
    rig.UseChannels({0, 3}, {3});
    rig.channels[3].Gain = 4;
    rig.MeasureInPascals(3);
    rig.settings.SamplingRate = 50000;
    rig.settings.FileFormat = fileFormat;
    rig.OpenEngine();
    clock().SetZoneOffset(3600);
    rig.Run();
    firstBuffer = platform::GetClock().WallNow();
    rig.StepBuffers(1);
    clock().Advance(5000);  // a later buffer does not move the start
    rig.StepBuffers(1);
    rig.engine->OnRun();
    return FileBytes(rig.Wave("Channel_3.wav"));
  }
  static platform::FakeClock& clock() { return dynamic_cast<platform::FakeClock&>(platform::GetClock()); }

  test::RecorderRig rig;
  platform::WallTime firstBuffer;
};

TEST_F(FileFormat, WaveKeepsItsLayoutWithDataAtByte44) {
  const std::vector<unsigned char> bytes = Record(kFileFormatWave);
  EXPECT_EQ("fmt ", Id(bytes, 12));
  EXPECT_EQ("data", Id(bytes, 36));
}

TEST_F(FileFormat, BroadcastCarriesTheFirstSamplesTimeChannelBoardAndGain) {
  const std::vector<unsigned char> bytes = Record(kFileFormatBroadcast);
  ASSERT_EQ("JUNK", Id(bytes, 12));
  ASSERT_EQ("bext", Id(bytes, 48));
  EXPECT_EQ("data", Id(bytes, wave::kBroadcastDataOffset - 8));
  const auto bext = wave::DecodeBext(bytes.data() + 56, bytes.size() - 56);
  ASSERT_TRUE(bext);

  // 8192 frames at 50 kHz: the first sample is 163.84 ms older than the first buffer.
  const int64_t start = firstBuffer.utcMicroseconds - 163840;
  EXPECT_EQ(FormatUtcMicroseconds(start), wave::DescriptionValue(bext->description, wave::kStartUtcKey));
  EXPECT_EQ("+01:00", wave::DescriptionValue(bext->description, wave::kZoneOffsetKey));
  EXPECT_EQ("Channel_3", wave::DescriptionValue(bext->description, wave::kChannelKey));
  EXPECT_EQ("Pa", wave::DescriptionValue(bext->description, wave::kUnitKey));
  const int64_t localMicros = start + 3600LL * 1000000;
  const int64_t sinceMidnight = ((localMicros % 86400000000LL) + 86400000000LL) % 86400000000LL;
  EXPECT_NEAR(static_cast<double>(sinceMidnight) * 50000 / 1e6, static_cast<double>(bext->timeReference), 1.0);
  EXPECT_EQ("Varnel", bext->originator);
  EXPECT_EQ("4", wave::CodingHistoryValue(bext->codingHistory, "gain"));
  EXPECT_EQ(std::string(FieldText(rig.engine->Settings.szDeviceName)),
            wave::CodingHistoryValue(bext->codingHistory, "board"));
}

}  // namespace
}  // namespace varnel
