#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "DeviceFixture.h"
#include "acquisition/LevelMeter.h"

namespace varnel::test {
namespace {

// The conversion exactly as written down, independent of the implementation.
int16_t Formula(uint16_t raw, double u, double l, int32_t encoding, int32_t res, int32_t gain) {
  uint32_t code = raw;
  if (encoding != 200) code = (code ^ (1u << (res - 1))) & ((1u << res) - 1);
  const double g = gain;
  const double v = ((u / g - l / g) / std::pow(2.0, res) * code + l / g) * g * 3276.8;
  return static_cast<int16_t>(static_cast<int64_t>(v) & 0xFFFF);
}

// Four entries at gains 1, 2, 4, 8 see every code once over eight buffers.
void ExpectFormulaOverAllCodes(DeviceTest& t, AcquisitionDevice& device, double u, double l, int32_t encoding,
                               int32_t res, bool offsetPath) {
  const int32_t gains[4] = {1, 2, 4, 8};
  for (int32_t chunk = 0; chunk < 8; ++chunk) {
    std::vector<uint16_t> codes(4 * 8192);
    for (int32_t k = 0; k < 8192; ++k) {
      for (int32_t e = 0; e < 4; ++e) codes[k * 4 + e] = static_cast<uint16_t>(chunk * 8192 + k);
    }
    t.Deliver(codes);
    EXPECT_EQ(offsetPath, device.UsedOffsetPath());
    for (int32_t e = 0; e < 4; ++e) {
      const int16_t* block = device.GetChannelBlock(e);
      for (int32_t k = 0; k < 8192; ++k) {
        const auto raw = static_cast<uint16_t>(chunk * 8192 + k);
        ASSERT_EQ(Formula(raw, u, l, encoding, res, gains[e]), block[k]) << "raw " << raw << " gain " << gains[e];
      }
    }
  }
}

TEST_F(DeviceTest, DefaultBoardMatchesFormulaForEveryCodeAndGain) {
  EnableOnly({0, 1, 2, 3}, {1, 2, 4, 8});
  Run(50000);
  ExpectFormulaOverAllCodes(*this, Device(), 10.0, -10.0, 200, 16, true);
}

class TwosComplementBoard : public DeviceTest {
 protected:
  TwosComplementBoard() : DeviceTest("[Board0]\nEncoding=0\n") {}
};

TEST_F(TwosComplementBoard, MatchesFormulaForEveryCodeAndGain) {
  EnableOnly({0, 1, 2, 3}, {1, 2, 4, 8});
  Run(50000);
  ExpectFormulaOverAllCodes(*this, Device(), 10.0, -10.0, 0, 16, false);
}

TEST_F(TwosComplementBoard, ZeroIsZeroAndTheSignBitIsMostNegative) {
  EnableOnly({0});
  Run(50000);
  Deliver({0x0000, 0x8000, 0x7FFF, 0xFFFF});
  const int16_t* block = Device().GetChannelBlock(0);
  EXPECT_EQ(0, block[0]);
  EXPECT_EQ(-32768, block[1]);
  EXPECT_EQ(32767, block[2]);
  EXPECT_EQ(-1, block[3]);
}

class TwelveBitFiveVolts : public DeviceTest {
 protected:
  TwelveBitFiveVolts() : DeviceTest("[Board0]\nResolution=12\nRangeHigh=5\nRangeLow=-5\n") {}
};

TEST_F(TwelveBitFiveVolts, MatchesFormulaEvenForCodesAboveTheResolution) {
  EnableOnly({0, 1, 2, 3}, {1, 2, 4, 8});
  Run(50000);
  ExpectFormulaOverAllCodes(*this, Device(), 5.0, -5.0, 200, 12, false);
}

TEST_F(DeviceTest, UnsignedCodesGiveFullScaleAtEveryGain) {
  EnableOnly({0, 1, 2, 3}, {1, 2, 4, 8});
  Run(50000);
  std::vector<uint16_t> codes;
  for (uint16_t c : {uint16_t{0}, uint16_t{32768}, uint16_t{65535}}) codes.insert(codes.end(), 4, c);
  Deliver(codes);
  for (int32_t ch = 0; ch < 4; ++ch) {
    const int16_t* block = Device().GetChannelBlock(ch);
    EXPECT_EQ(-32768, block[0]);
    EXPECT_EQ(0, block[1]);
    EXPECT_EQ(32767, block[2]);
  }
}

TEST_F(DeviceTest, TwoEntryListFeedsChannelsZeroAndThree) {
  EnableOnly({0, 3});
  Run(50000);
  ASSERT_EQ(16384, Device().GetBufferSamples());
  std::vector<uint16_t> codes(16384);
  for (int32_t i = 0; i < 16384; ++i) codes[i] = static_cast<uint16_t>(32768 + (i % 2 == 0 ? i / 2 : -(i / 2) - 1));
  Deliver(codes);
  const int16_t* zero = Device().GetChannelBlock(0);
  const int16_t* three = Device().GetChannelBlock(3);
  ASSERT_NE(nullptr, zero);
  ASSERT_NE(nullptr, three);
  for (int32_t f = 0; f < 8192; ++f) {
    ASSERT_EQ(f, zero[f]);
    ASSERT_EQ(-f - 1, three[f]);
  }
}

TEST(Demultiplex, OffsetKernelsMatchScalarForEveryListSize) {
  for (int32_t listSize = 1; listSize <= 16; ++listSize) {
    for (int32_t frames : {8192, 37, 8}) {
      std::vector<uint16_t> in(static_cast<std::size_t>(listSize) * frames);
      for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
      std::vector<std::vector<int16_t>> out(listSize, std::vector<int16_t>(frames, 77));
      std::vector<int16_t*> dest;
      for (auto& o : out) dest.push_back(o.data());
      DemultiplexOffset(in.data(), listSize, frames, dest.data());
      for (int32_t e = 0; e < listSize; ++e) {
        for (int32_t f = 0; f < frames; ++f) {
          ASSERT_EQ(static_cast<int16_t>(in[f * listSize + e] - 32768), out[e][f])
              << "list " << listSize << " frames " << frames << " entry " << e << " frame " << f;
        }
      }
    }
  }
}

TEST(Demultiplex, PeaksFoundOnTheWayEqualThePeaksOfTheBlocks) {
  for (int32_t listSize = 1; listSize <= 16; ++listSize) {
    for (int32_t frames : {8192, 37, 8, 3}) {
      std::vector<uint16_t> in(static_cast<std::size_t>(listSize) * frames);
      // Small codes around the middle, with the extremes of a few entries in
      // the vector body, in the scalar tail and at the very ends.
      for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<uint16_t>(32768 + (i * 2654435761u >> 20) % 2001 - 1000);
      in[0] = 0;                                                                          // -32768: peak 32768
      if (listSize > 1) in[static_cast<std::size_t>(frames - 1) * listSize + 1] = 65535;  // last scan
      if (listSize > 2) in[static_cast<std::size_t>(frames / 2) * listSize + 2] = 32768 - 20000;
      if (listSize > 3) {
        for (int32_t f = 0; f < frames; ++f) in[static_cast<std::size_t>(f) * listSize + 3] = 32768;  // all zero
      }
      std::vector<std::vector<int16_t>> out(listSize, std::vector<int16_t>(frames));
      std::vector<int16_t*> dest;
      for (auto& o : out) dest.push_back(o.data());
      std::vector<int32_t> peaks(listSize, -1);
      DemultiplexOffset(in.data(), listSize, frames, dest.data(), peaks.data());
      for (int32_t e = 0; e < listSize; ++e) {
        ASSERT_EQ(BlockPeak(out[e]), peaks[e]) << "list " << listSize << " frames " << frames << " entry " << e;
        for (int32_t f = 0; f < frames; ++f) {
          ASSERT_EQ(static_cast<int16_t>(in[f * listSize + e] - 32768), out[e][f]);
        }
      }
      EXPECT_EQ(32768, peaks[0]);
      if (listSize > 3) {
        EXPECT_EQ(0, peaks[3]);
      }
    }
  }
}

TEST_F(DeviceTest, RunTimeAfterSixtyOneBuffersAndOneCirculatePerWrap) {
  EnableOnly({0});
  Run(50000);
  for (int i = 0; i < 61; ++i) DeliverConstant(32768);
  EXPECT_NEAR(9.99424, Device().GetRunTime(), 1e-5);
  EXPECT_EQ(1u, traces_.Sink().Count("Circulate!\n"));
  EXPECT_EQ(0, Device().GetMonitorWritePos());
  EXPECT_EQ(499712, Device().GetMonitorFill());
  EXPECT_TRUE(traces_.Sink().Contains("RunTime = 9.99424"));
  for (int i = 0; i < 61; ++i) DeliverConstant(32768);
  EXPECT_EQ(2u, traces_.Sink().Count("Circulate!\n"));
  EXPECT_EQ(499712, Device().GetMonitorFill());
}

TEST_F(DeviceTest, MessageWithoutBufferAddsNothing) {
  EnableOnly({0});
  Run(50000);
  DeliverConstant(40000);
  const uint32_t tick = LastBufferTick;
  clock_.Advance(50);
  EXPECT_EQ(0, Device().ProcessBuffer());  // done queue empty
  EXPECT_FLOAT_EQ(8192.0f / 50000.0f, Device().GetRunTime());
  EXPECT_EQ(8192, Device().GetMonitorFill());
  EXPECT_EQ(tick, LastBufferTick);
}

TEST_F(DeviceTest, LaterMarkedRowIsLeftAndUnmarkedDefaultsToChannelsZeroAndOne) {
  EnableOnly({0, 2, 5});
  channels_[2].bIsMonitoringLeft = 1;
  channels_[5].bIsMonitoringLeft = 1;
  Run(50000);
  std::vector<uint16_t> codes = {32768 + 100, 32768 + 200, 32768 + 500};
  Deliver(codes);
  EXPECT_EQ(500, Device().GetMonitorLeft()[0]);
  EXPECT_EQ(0, Device().GetMonitorRight()[0]);  // channel 1 has no block
  channels_[2].bIsMonitoringLeft = 0;
  channels_[5].bIsMonitoringLeft = 0;
  Deliver(codes);
  EXPECT_EQ(100, Device().GetMonitorLeft()[8192]);
  EXPECT_EQ(0, Device().GetMonitorRight()[8192]);
}

TEST_F(DeviceTest, LowRateStoreOfNoWholeBufferReceivesNothing) {
  EnableOnly({0});
  Run(800);
  EXPECT_EQ(0, Device().GetMonitorSize());
  DeliverConstant(40000);
  EXPECT_EQ(0, Device().GetMonitorFill());
  int16_t out[4];
  EXPECT_EQ(0, Device().ReadMonitorFrames(4, 1, 1, out, 0));
}

// Monitor tests: channel 0 carries the sample's position in the run, channel 1 its negative.
class MonitorTest : public DeviceTest {
 protected:
  void SetUp() override {
    EnableOnly({0, 1});
    Run(50000);
  }
  void DeliverRamp() {
    std::vector<uint16_t> codes(2 * 8192);
    for (int32_t k = 0; k < 8192; ++k) {
      const int32_t value = (position_ + k) % 30000;
      codes[2 * k] = static_cast<uint16_t>(32768 + value);
      codes[2 * k + 1] = static_cast<uint16_t>(32768 - value);
    }
    position_ += 8192;
    Deliver(codes);
  }
  int32_t position_ = 0;
};

TEST_F(MonitorTest, NothingBeforeTheFirstBufferOfTheProgram) {
  std::vector<int16_t> out(8);
  EXPECT_EQ(0, Device().ReadMonitorFrames(8, 1, 1, out.data(), 0));
  EXPECT_EQ(0, Device().ReadMonitorFrames(8, 1, 1, nullptr, 0));
}

TEST_F(MonitorTest, DeliversPairsOnceEnoughHistoryIsHeldNewestLast) {
  std::vector<int16_t> out(32768);
  DeliverRamp();
  EXPECT_EQ(0, Device().ReadMonitorFrames(32768, 1, 1, out.data(), 0));
  DeliverRamp();
  DeliverRamp();
  // Right after a buffer the end lies (163 ms x 50 kHz) = 8150 samples behind the write position.
  ASSERT_EQ(1, Device().ReadMonitorFrames(32768, 1, 1, out.data(), 0));
  const int32_t last = 3 * 8192 - 8150;
  for (int32_t i = 0; i < 16384; ++i) {
    const int32_t sample = last - (16383 - i);
    ASSERT_EQ(sample % 30000, out[2 * i]) << i;
    ASSERT_EQ(-(sample % 30000), out[2 * i + 1]) << i;
  }
  // The end follows real time until the next buffer.
  clock_.Advance(100);
  ASSERT_EQ(1, Device().ReadMonitorFrames(32768, 1, 1, out.data(), 0));
  EXPECT_EQ(last + 5000, out[32766]);
}

TEST_F(MonitorTest, OddCountLeavesFirstSlotAndSingleChannelFramesAreSamples) {
  DeliverRamp();
  DeliverRamp();
  std::vector<int16_t> out(7, 1234);
  ASSERT_EQ(1, Device().ReadMonitorFrames(7, 1, 1, out.data(), 1));
  EXPECT_EQ(1234, out[0]);
  const int32_t newest = 2 * 8192 - 1;
  EXPECT_EQ(newest, out[5]);
  EXPECT_EQ(-newest, out[6]);
  EXPECT_EQ(newest - 2, out[1]);
  ASSERT_EQ(1, Device().ReadMonitorFrames(3, 0, 1, out.data(), 1));
  EXPECT_EQ(-newest, out[2]);
  EXPECT_EQ(-(newest - 2), out[0]);
  EXPECT_EQ(0, Device().ReadMonitorFrames(4, 0, 0, out.data(), 1));
}

TEST_F(MonitorTest, LateBufferEndsAtTheNewestSample) {
  DeliverRamp();
  DeliverRamp();
  clock_.Advance(900);
  std::vector<int16_t> out(2);
  ASSERT_EQ(1, Device().ReadMonitorFrames(2, 1, 1, out.data(), 0));
  EXPECT_EQ(2 * 8192 - 1, out[0]);
}

TEST_F(MonitorTest, ClockBehindTheBufferIsAnOffsetProblem) {
  DeliverRamp();
  clock_.SetTicks(LastBufferTick - 1000);
  std::vector<int16_t> out(2);
  EXPECT_EQ(0, Device().ReadMonitorFrames(2, 1, 1, out.data(), 0));
  EXPECT_TRUE(traces_.Sink().Contains("OFFSET PROBLEM: deltaTime = -1000, offset samples = 58150\n"));
}

TEST_F(MonitorTest, NewRunBeforeItsFirstBufferDeliversNothing) {
  DeliverRamp();
  Device().Stop();
  Device().Close();
  ASSERT_EQ(1, Device().Open(nullptr, 0));
  ASSERT_EQ(1, Device().Configure(50000, 0));
  ASSERT_EQ(1, Device().Start());
  std::vector<int16_t> out(2);
  EXPECT_EQ(0, Device().ReadMonitorFrames(2, 1, 1, out.data(), 0));
  EXPECT_EQ(1u, traces_.Sink().Count("rec_sample < 0\n"));
}

TEST_F(MonitorTest, ReadsAcrossTheWrapStayInOrder) {
  for (int i = 0; i < 62; ++i) DeliverRamp();
  ASSERT_EQ(8192, Device().GetMonitorWritePos());
  std::vector<int16_t> out(2 * 20000);
  ASSERT_EQ(1, Device().ReadMonitorFrames(2 * 20000, 1, 1, out.data(), 1));
  const int32_t newest = 62 * 8192 - 1;
  for (int32_t i = 0; i < 20000; ++i) ASSERT_EQ((newest - (19999 - i)) % 30000, out[2 * i]) << i;
}

}  // namespace
}  // namespace varnel::test
