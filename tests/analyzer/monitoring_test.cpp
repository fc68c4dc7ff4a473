// The calibration and time-series pokes of a running recording.

#include <cstring>

#include "analyzer/LinkState.h"
#include "platform/Messages.h"
#include "support/LinkRig.h"

namespace varnel::test {
namespace {

using peer::Kind;

std::vector<uint8_t> BytesOf(const ChannelCalibration& half) {
  const auto* p = reinterpret_cast<const uint8_t*>(&half);
  return std::vector<uint8_t>(p, p + sizeof half);
}

// "DDEPokeCalibrationData Failed - DDEML Error code = <code>", and the time series'.
std::string PokeFailure(const std::string& what, int code) {
  return "DDEPoke" + what + "Data Failed - DDEML Error code = " + std::to_string(code) + "\n";
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, std::size_t offset, std::size_t size) {
  return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                              bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

class Monitoring : public LinkRig {
 protected:
  void SetUp() override {
    VARNEL_REQUIRE_SESSION_BUS();
    PokeCounter() = 1;  // no "FFT Size" request unless a test asks for one
    // Every byte of every record says which channel and which half it came from.
    for (std::size_t ch = 0; ch < records_.size(); ++ch) {
      auto* bytes = reinterpret_cast<uint8_t*>(&records_[ch]);
      std::memset(bytes, static_cast<int>(0xA0 + ch), sizeof(CalibrationRecord));
      std::memset(&records_[ch].Left, static_cast<int>(0x10 + ch), sizeof(ChannelCalibration));
      std::snprintf(records_[ch].Left.ChannelName, sizeof records_[ch].Left.ChannelName, "Channel %zu", ch);
    }
  }

  void ExpectCalibrationOf(const peer::Transaction& poke, int left, int right) {
    ASSERT_EQ(poke.bytes.size(), 2048u);
    EXPECT_EQ(Slice(poke.bytes, 0, 260), std::vector<uint8_t>(260, 0)) << "no file name";
    EXPECT_EQ(Slice(poke.bytes, 260, 634), BytesOf(records_[static_cast<std::size_t>(left)].Left)) << "Left";
    EXPECT_EQ(Slice(poke.bytes, 894, 634), BytesOf(records_[static_cast<std::size_t>(right)].Left)) << "Right";
    EXPECT_EQ(Slice(poke.bytes, 1528, 520), std::vector<uint8_t>(520, 0)) << "tail";
  }
};

TEST_F(Monitoring, CalibrationWithoutMarksCarriesChannelsZeroAndOne) {
  auto& peer = StartPeer();
  ConnectAndPrepare();
  EXPECT_TRUE(Link().DDEPokeCalibrationData());
  const auto pokes = peer.Of(Kind::Poke, "CalibrationData");
  ASSERT_EQ(pokes.size(), 1u);
  ExpectCalibrationOf(pokes[0], 0, 1);
  EXPECT_EQ(TraceCount("Calling DDEPokeCalibrationData\n"), 1u);
  EXPECT_EQ(TraceCount("Done DDEPokeCalibrationData\n"), 1u);
}

TEST_F(Monitoring, HighestMarkedChannelsWinAndAChangeDuringTheRunIsResent) {
  auto& peer = StartPeer();
  channels_[3].bIsMonitoringLeft = 1;
  channels_[9].bIsMonitoringLeft = 1;
  channels_[11].bIsMonitoringLeft = 2;  // only 1 counts as marked
  channels_[5].bIsMonitoringRight = 1;
  ConnectAndPrepare();
  running_ = 1;
  EXPECT_TRUE(Link().DDEPokeCalibrationData());

  channels_[5].bIsMonitoringRight = 0;
  channels_[12].bIsMonitoringRight = 1;
  loop_.Post({platform::WM_POKE_CALIBRATION, 0, 0});
  Drain();

  const auto pokes = peer.Of(Kind::Poke, "CalibrationData");
  ASSERT_EQ(pokes.size(), 2u);
  ExpectCalibrationOf(pokes[0], 9, 5);
  ExpectCalibrationOf(pokes[1], 9, 12);
  EXPECT_EQ(loop_.PendingCount(), 0u) << "a poke that went through is not re-posted";
}

TEST_F(Monitoring, TimeSeriesIsTheNewestFramesOldestFirstOnceTheStoreHoldsEnough) {
  auto& peer = StartPeer();
  ConnectAndPrepare();
  running_ = 1;
  monitor_.Produce(10000);
  EXPECT_FALSE(Link().DDEPokeTimeSeriesData()) << "the store holds fewer than FftSize frames";
  EXPECT_TRUE(peer.Of(Kind::Poke).empty());

  monitor_.Produce(30001);
  EXPECT_TRUE(Link().DDEPokeTimeSeriesData());
  const auto pokes = peer.Of(Kind::Poke, "TimeSeriesData");
  ASSERT_EQ(pokes.size(), 1u);
  EXPECT_EQ(pokes[0].bytes.size(), 65536u);
  EXPECT_EQ(pokes[0].bytes, monitor_.ExpectedPayload(16384));
}

TEST_F(Monitoring, NothingIsSentWhileNoRunIsActive) {
  auto& peer = StartPeer();
  ConnectAndPrepare();
  monitor_.Produce(20000);
  EXPECT_TRUE(Link().DDEPokeTimeSeriesData());
  EXPECT_TRUE(monitor_.targets.empty());
  EXPECT_TRUE(peer.Of(Kind::Poke).empty());
  EXPECT_EQ(TraceCount("Creating Data Handle\n"), 0u);
}

TEST_F(Monitoring, FftSizeChangeResizesThePayloadAndRearmsTheTimer) {
  auto& peer = StartPeer();
  ConnectAndPrepare();
  running_ = 1;
  monitor_.Produce(300000);
  loop_.SetTimer(platform::kRefreshTimerId, RefreshTimerPeriod(settings_.FftSize));
  ASSERT_EQ(loop_.TimerPeriod(platform::kRefreshTimerId), 100u);

  struct Step {
    const char* answer;
    std::size_t bytes;
    uint32_t period;
  };
  for (const Step& step : {Step{"65536", 262144, 250}, Step{"262144", 1048576, 2000}, Step{"8192", 32768, 50}}) {
    peer.SetFftAnswer(step.answer);
    PokeCounter() = 40;
    peer.Clear();
    EXPECT_TRUE(Link().DDEPokeTimeSeriesData()) << step.answer;
    const auto pokes = peer.Of(Kind::Poke, "TimeSeriesData");
    ASSERT_EQ(pokes.size(), 1u) << step.answer;
    EXPECT_EQ(pokes[0].bytes.size(), step.bytes) << step.answer;
    EXPECT_EQ(pokes[0].bytes, monitor_.ExpectedPayload(static_cast<int32_t>(step.bytes / 4))) << step.answer;
    EXPECT_EQ(loop_.TimerPeriod(platform::kRefreshTimerId), step.period) << step.answer;
  }
  EXPECT_EQ(TraceCount("Creating Data Handle\n"), 3u);
}

TEST_F(Monitoring, ANewSizeRearmsTheTimerEvenWhenTheStoreCannotFillTheBlockYet) {
  auto& peer = StartPeer({.fftAnswer = "65536"});
  ConnectAndPrepare();
  running_ = 1;
  monitor_.Produce(20000);
  loop_.SetTimer(platform::kRefreshTimerId, RefreshTimerPeriod(settings_.FftSize));
  PokeCounter() = 0;
  EXPECT_FALSE(Link().DDEPokeTimeSeriesData());
  EXPECT_EQ(settings_.FftSize, 65536);
  EXPECT_EQ(loop_.TimerPeriod(platform::kRefreshTimerId), 250u);
  EXPECT_TRUE(peer.Of(Kind::Poke).empty());
}

TEST_F(Monitoring, PayloadBufferIsKeptWhileTheSizeStaysAndReleasedAtStop) {
  StartPeer();
  ConnectAndPrepare();
  running_ = 1;
  monitor_.Produce(20000);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(Link().DDEPokeTimeSeriesData());
  ASSERT_EQ(monitor_.targets.size(), 5u);
  for (const int16_t* target : monitor_.targets) EXPECT_EQ(target, monitor_.targets[0]);
  EXPECT_EQ(TraceCount("Creating Data Handle\n"), 1u);

  // Stop: disconnect, then the block goes; the next Run starts with new ones.
  running_ = 0;
  EXPECT_EQ(Link().Disconnect(), 1);
  Link().ReleaseTimeSeriesBuffer();
  ConnectAndPrepare();
  running_ = 1;
  EXPECT_TRUE(Link().DDEPokeTimeSeriesData());
  EXPECT_EQ(TraceCount("Creating Data Handle\n"), 2u);
}

TEST_F(Monitoring, FftSizeIsAskedAtTheFirstPokeAndEveryFortiethAfter) {
  auto& peer = StartPeer();
  ConnectAndPrepare();
  running_ = 1;
  monitor_.Produce(20000);
  peer.Clear();
  PokeCounter() = 0;
  for (int i = 0; i < 81; ++i) Link().DDEPokeTimeSeriesData();
  EXPECT_EQ(peer.Of(Kind::Request, "FFT Size").size(), 3u);
  EXPECT_EQ(peer.Of(Kind::Poke, "TimeSeriesData").size(), 81u);
  EXPECT_EQ(PokeCounter(), 81u);

  // The counter wraps after 2^24 - 1, so the poke after the wrap asks again.
  PokeCounter() = 16777215;
  peer.Clear();
  Link().DDEPokeTimeSeriesData();
  EXPECT_EQ(PokeCounter(), 0u);
  Link().DDEPokeTimeSeriesData();
  EXPECT_EQ(peer.Of(Kind::Request).size(), 1u);
}

TEST_F(Monitoring, APokeUnderWayTurnsTheOthersAwayAndTheCalibrationComesBack) {
  auto& peer = StartPeer();
  ConnectAndPrepare();
  running_ = 1;
  monitor_.Produce(20000);
  uint32_t counterInside = 0;
  bool nestedResult = true;
  monitor_.duringRead = [&] {
    counterInside = PokeCounter();
    nestedResult = Link().DDEPokeTimeSeriesData();
    EXPECT_EQ(PokeCounter(), counterInside) << "a turned-away poke does not count";
    EXPECT_EQ(Link().OnPokeCalibration(), 1);
  };
  EXPECT_TRUE(Link().DDEPokeTimeSeriesData());
  EXPECT_FALSE(nestedResult);
  EXPECT_EQ(TraceCount("DDEPokeCalibrationData Aborted - poke in progress\n"), 1u);
  EXPECT_EQ(monitor_.targets.size(), 1u) << "the nested poke touched nothing";
  EXPECT_TRUE(peer.Of(Kind::Poke, "CalibrationData").empty());

  ASSERT_EQ(loop_.PendingCount(), 1u);
  Drain();
  EXPECT_EQ(peer.Of(Kind::Poke, "CalibrationData").size(), 1u);
  EXPECT_EQ(loop_.PendingCount(), 0u);
}

TEST_F(Monitoring, RefusedCalibrationIsRetriedAFewTimesNotForever) {
  auto& peer = StartPeer({.refusePokes = true});
  ConnectAndPrepare();
  running_ = 1;
  loop_.Post({platform::WM_POKE_CALIBRATION, 0, 0});
  Drain(100);
  EXPECT_EQ(loop_.PendingCount(), 0u);
  EXPECT_EQ(peer.Of(Kind::Poke, "CalibrationData").size(), static_cast<std::size_t>(kCalibrationPokeAttempts));
  EXPECT_EQ(TraceCount(PokeFailure("Calibration", kLinkErrorCodes.refused)),
            static_cast<std::size_t>(kCalibrationPokeAttempts));

  // A later change gets its own attempts, and the first that goes through ends them.
  peer.SetRefusePokes(false);
  peer.Clear();
  loop_.Post({platform::WM_POKE_CALIBRATION, 0, 0});
  Drain(100);
  EXPECT_EQ(peer.Of(Kind::Poke, "CalibrationData").size(), 1u);
}

TEST_F(Monitoring, HangingPeerMakesEveryPokeGiveUpAtItsTimeOut) {
  KeepTheLinksTimeOuts();
  auto& peer = StartPeer();
  ConnectAndPrepare();
  running_ = 1;
  monitor_.Produce(20000);
  peer.SetReplyDelay(60000);  // far beyond every time-out, however busy the machine
  peer.Clear();
  PokeCounter() = 0;  // the FFT Size request times out too
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Link().DDEPokeCalibrationData());
  EXPECT_FALSE(Link().DDEPokeTimeSeriesData());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30000)) << "waited for the peer";
  EXPECT_EQ(settings_.FftSize, 16384);
  EXPECT_EQ(TraceCount(PokeFailure("Calibration", kLinkErrorCodes.pokeTimeOut)), 1u);
  EXPECT_EQ(TraceCount(PokeFailure("TimeSeries", kLinkErrorCodes.pokeTimeOut)), 1u);
  EXPECT_TRUE(peer.WaitForCount(3, 30000)) << "the calls still ran at the peer";
  EXPECT_EQ(peer.Of(Kind::Poke).size(), 2u);
  EXPECT_EQ(Link().Disconnect(), 1);
}

TEST_F(Monitoring, VanishedPeerLeavesTracesOnlyAndStopEndsCleanly) {
  auto& peer = StartPeer();
  ConnectAndPrepare();
  running_ = 1;
  monitor_.Produce(20000);
  EXPECT_TRUE(Link().DDEPokeTimeSeriesData());
  peer.Vanish();
  EXPECT_FALSE(Link().DDEPokeTimeSeriesData());
  EXPECT_FALSE(Link().DDEPokeCalibrationData());
  // The first transaction finds it gone; the next finds no analyser at all
  // (one code over D-Bus; DDEML ends the conversation after the first).
  EXPECT_EQ(TraceCount(PokeFailure("TimeSeries", kLinkErrorCodes.gone)), 1u) << ::testing::PrintToString(Traces());
  EXPECT_EQ(TraceCount(PokeFailure("Calibration", kLinkErrorCodes.noAnalyser)), 1u)
      << ::testing::PrintToString(Traces());
  EXPECT_TRUE(ui_.Messages().empty());
  running_ = 0;
  EXPECT_EQ(Link().Disconnect(), 1);
  Link().ReleaseTimeSeriesBuffer();
  EXPECT_EQ(Link().Disconnect(), 0);
}

}  // namespace
}  // namespace varnel::test
