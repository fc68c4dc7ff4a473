#include <gtest/gtest.h>

#include <vector>

#include "DeviceFixture.h"
#include "acquisition/LevelMeter.h"

namespace varnel::test {
namespace {

TEST(Level, ExamplesAcrossGainsAndTheTopTwoDecibels) {
  EXPECT_EQ(100, LevelOfPeak(32768, 1));
  EXPECT_EQ(100, LevelOfPeak(32767, 1));
  EXPECT_EQ(93, LevelOfPeak(16384, 2));
  EXPECT_EQ(100, LevelOfPeak(29000, 1));
  EXPECT_EQ(97, LevelOfPeak(24000, 1));
  EXPECT_EQ(59, LevelOfPeak(327, 1));
  EXPECT_EQ(100, LevelOfPeak(32768, 3));  // 110.46 before the cap
  EXPECT_EQ(93, LevelOfPeak(16384, 8));
}

TEST(Level, ZeroPeakAndUnusableGainGiveAnEmptyBox) {
  EXPECT_EQ(0, LevelOfPeak(0, 1));
  EXPECT_EQ(0, LevelOfPeak(1000, 0));
  EXPECT_EQ(0, LevelOfPeak(1000, -2));
}

TEST(Level, PeakCountsMostNegativeAsFullScale) {
  std::vector<int16_t> block(8195, 5);
  EXPECT_EQ(5, BlockPeak(block));
  block[8194] = -32768;  // in the tail after the whole chunks
  EXPECT_EQ(32768, BlockPeak(block));
  block[8194] = 0;
  block[100] = -700;
  block[4000] = 699;
  EXPECT_EQ(700, BlockPeak(block));
  EXPECT_EQ(0, BlockPeak({}));
}

TEST_F(DeviceTest, LevelsFollowEveryBufferForEnabledRows) {
  EnableOnly({0, 1}, {1, 2});
  channels_[5].Level = 42;  // disabled: kept as it is
  Run(50000);
  std::vector<uint16_t> codes(2 * 8192, 32768);
  codes[10] = 65535;          // channel 0 full scale
  codes[21] = 32768 + 16384;  // channel 1 half scale at gain 2
  Deliver(codes);
  EXPECT_EQ(100, channels_[0].Level);
  EXPECT_EQ(93, channels_[1].Level);
  EXPECT_EQ(42, channels_[5].Level);
  DeliverConstant(32768);
  EXPECT_EQ(0, channels_[0].Level);
}

TEST_F(DeviceTest, LevelsOfTheFastPathEqualComputeLevelsOnItsOwn) {
  const int32_t gains[4] = {1, 2, 4, 8};
  std::vector<int32_t> rows, rowGains;
  for (int32_t row = 0; row < kChannelCount; ++row) {
    rows.push_back(row);
    rowGains.push_back(gains[row % 4]);
  }
  EnableOnly(rows, rowGains);
  Run(31250);  // the board's whole throughput
  ASSERT_EQ(8192, Device().GetSamplesPerChannel());
  std::vector<uint16_t> codes(16 * 8192);
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const int32_t channel = static_cast<int32_t>(i % 16);
    codes[i] = static_cast<uint16_t>(32768 + static_cast<int32_t>(i * 40503u % 401) * channel * 4 - 800 * channel);
  }
  codes[0] = 0;                  // channel 0 at -32768
  codes[16 * 8191 + 5] = 65535;  // channel 5 full scale in the last scan
  codes[16 * 4000 + 9] = 32768 + 24000;
  for (int32_t f = 0; f < 8192; ++f) codes[f * 16 + 12] = 32768;  // channel 12 silent
  Deliver(codes);
  ASSERT_TRUE(Device().UsedOffsetPath());
  std::array<int32_t, kChannelCount> fast{};
  for (int32_t row = 0; row < kChannelCount; ++row) fast[row] = channels_[row].Level;
  EXPECT_EQ(100, fast[0]);
  EXPECT_EQ(100, fast[5]);
  EXPECT_EQ(0, fast[12]);
  for (auto& c : channels_) c.Level = -999;
  Device().ComputeLevels();
  for (int32_t row = 0; row < kChannelCount; ++row) EXPECT_EQ(channels_[row].Level, fast[row]) << "row " << row;
}

TEST_F(DeviceTest, OfTwoEntriesOfOneChannelTheLaterOneFillsTheBlockAndGivesTheLevel) {
  std::vector<int32_t> rows;
  for (int32_t row = 0; row < kChannelCount; ++row) rows.push_back(row);
  EnableOnly(rows);
  channels_[10].ChannelIndex = 3;  // entries 3 and 10 both go to block 3; block 10 gets none
  Run(31250);
  std::vector<uint16_t> codes(16 * 8192, 32768);
  for (int32_t f = 0; f < 8192; ++f) {
    codes[f * 16 + 3] = static_cast<uint16_t>(32768 + 30000);
    codes[f * 16 + 10] = static_cast<uint16_t>(32768 + f % 1000);
  }
  Device().GetChannelBlock(10)[7] = 20000;
  Deliver(codes);
  ASSERT_TRUE(Device().UsedOffsetPath());
  const int16_t* three = Device().GetChannelBlock(3);
  for (int32_t f = 0; f < 8192; ++f) ASSERT_EQ(f % 1000, three[f]) << f;
  std::array<int32_t, kChannelCount> fast{};
  for (int32_t row = 0; row < kChannelCount; ++row) fast[row] = channels_[row].Level;
  Device().ComputeLevels();
  for (int32_t row = 0; row < kChannelCount; ++row) EXPECT_EQ(channels_[row].Level, fast[row]) << "row " << row;
  EXPECT_EQ(69, fast[3]);   // peak 999
  EXPECT_EQ(95, fast[10]);  // its own 20000
}

TEST_F(DeviceTest, BlockThatNoListEntryFeedsKeepsItsOwnLevel) {
  EnableOnly({0, 2});
  channels_[2].ChannelIndex = 5;  // its entry has no block to go to
  Run(50000);
  Device().GetChannelBlock(2)[100] = -16384;
  DeliverConstant(32768);
  ASSERT_TRUE(Device().UsedOffsetPath());
  const int32_t fast = channels_[2].Level;
  Device().ComputeLevels();
  EXPECT_EQ(channels_[2].Level, fast);
  EXPECT_EQ(93, fast);
}

}  // namespace
}  // namespace varnel::test
