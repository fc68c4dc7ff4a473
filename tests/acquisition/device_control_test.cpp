#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "DeviceFixture.h"

namespace varnel::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

std::string BoardsIni(int count, const std::string& firstName = "") {
  std::string ini = "[Boards]\nCount=" + std::to_string(count) + "\n";
  if (!firstName.empty()) ini += "[Board0]\nName=" + firstName + "\n";
  return ini;
}

class ThreeBoards : public DeviceTest {
 protected:
  ThreeBoards() : DeviceTest(BoardsIni(3)) {}
};

TEST_F(ThreeBoards, FillsRowsInOrderAndLeavesUnknownIndexAlone) {
  EXPECT_EQ(0, Device().EnumerateBoards());
  EXPECT_EQ(3, Device().GetBoardCount());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(1, BoardTable[i].bPresent);
  EXPECT_EQ(0, BoardTable[3].bPresent);
  char text[80] = "unchanged";
  Device().GetBoardName(2, text);
  EXPECT_STREQ("DT9834(02)", text);
  std::strcpy(text, "unchanged");
  Device().GetBoardName(3, text);
  Device().GetBoardName(-1, text);
  EXPECT_STREQ("unchanged", text);
}

TEST_F(ThreeBoards, FailedAttemptsKeepTheirRowsAndTheNextAppends) {
  Board().FailCall(sim::SimCall::EnumerateBoards, 9, 2);
  EXPECT_EQ(0, Device().EnumerateBoards());
  EXPECT_EQ(8, Device().GetBoardCount());  // 3 + 3 + the 2 that still fit
}

class LongName : public DeviceTest {
 protected:
  LongName() : DeviceTest(BoardsIni(1, std::string(100, 'x'))) {}
};

TEST_F(LongName, IsCutTo78Characters) {
  Device().EnumerateBoards();
  char text[80];
  Device().GetBoardName(0, text);
  EXPECT_EQ(std::string(78, 'x'), text);
}

class TwelveBoards : public DeviceTest {
 protected:
  TwelveBoards() : DeviceTest(BoardsIni(12)) {}
};

TEST_F(TwelveBoards, BoardsBeyondTheEighthAreNotListed) {
  Device().EnumerateBoards();
  EXPECT_EQ(8, Device().GetBoardCount());
  char text[80];
  Device().GetBoardName(7, text);
  EXPECT_STREQ("DT9834(07)", text);
}

TEST_F(DeviceTest, RefusedOpenNamesTheBoardAndItsStatus) {
  Device().EnumerateBoards();
  Board().FailCall(sim::SimCall::InitializeBoard, 7, 2);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(0, Device().Open(nullptr, 0));
    const DeviceProblem& problem = Device().LastProblem();
    EXPECT_EQ(DeviceError::kOpenFailed, problem.error);
    EXPECT_EQ(7, problem.status);
    EXPECT_EQ("Error opening device DT9834(00). Status code 7.\n", problem.Text());
  }
  EXPECT_FALSE(Device().IsOpen());
  EXPECT_EQ(1, Device().Open(nullptr, 0));
  EXPECT_FALSE(Device().LastProblem());
}

TEST_F(DeviceTest, OpenFailsSilentlyWithoutDriverOrBoard) {
  Device().EnumerateBoards();
  EXPECT_EQ(0, Device().Open(nullptr, 1));
  EXPECT_FALSE(Device().LastProblem());
  EXPECT_EQ(0, Device().Open(nullptr, -1));
  EXPECT_FALSE(Device().LastProblem());
  Board().SetDriverAvailable(false);
  EXPECT_EQ(0, Device().Open(nullptr, 0));
  EXPECT_FALSE(Device().LastProblem());
}

TEST_F(DeviceTest, OpenTracesNameAndCloseReleasesEverything) {
  Device().EnumerateBoards();
  EXPECT_EQ(1, Device().Open(nullptr, 0));
  EXPECT_EQ(1u, traces_.Sink().Count("DT9834(00)\n"));
  EXPECT_EQ(1, Device().Open(nullptr, 0));  // already open
  EXPECT_NE(0u, Device().SubsystemHandle());
  Board().SetCallLogging(true);
  Device().Close();
  EXPECT_THAT(Board().CallLog(), ElementsAre("ReleaseSubsystem", "TerminateBoard"));
  EXPECT_FALSE(Device().IsOpen());
  EXPECT_EQ(0u, Device().SubsystemHandle());
}

TEST_F(DeviceTest, CapabilitiesOfTheDefaultBoardAndFallbacksWhenClosed) {
  EXPECT_EQ(16, Device().GetChannelCount());
  EXPECT_EQ(4, Device().GetGainCount());
  EXPECT_EQ(0, Device().GetMaxThroughput());
  EXPECT_EQ(0, Device().SupportsSimultaneous());
  Device().EnumerateBoards();
  Device().Open(nullptr, 0);
  EXPECT_EQ(16, Device().GetChannelCount());
  EXPECT_EQ(4, Device().GetGainCount());
  EXPECT_EQ(500000, Device().GetMaxThroughput());
  EXPECT_EQ(0, Device().SupportsSimultaneous());
  Board().FailCall(sim::SimCall::GetSubsystemCapability, 3, 2);
  EXPECT_EQ(16, Device().GetChannelCount());
  EXPECT_EQ(4, Device().GetGainCount());
}

class OddBoard : public DeviceTest {
 protected:
  OddBoard()
      : DeviceTest("[Boards]\nCount=1\n[Board0]\nChannels=32\nGains=1\nMaxThroughput=250000.7\nSimultaneous=1\n") {}
};

TEST_F(OddBoard, CapabilitiesAreClampedAndSimultaneousClockIsTheRate) {
  Device().EnumerateBoards();
  Device().Open(nullptr, 0);
  EXPECT_EQ(16, Device().GetChannelCount());
  EXPECT_EQ(1, Device().GetGainCount());
  EXPECT_EQ(250000, Device().GetMaxThroughput());
  EXPECT_EQ(1, Device().SupportsSimultaneous());
  EnableOnly({0, 1, 2});
  Device().SetChannelSettings(channels_);
  EXPECT_EQ(1, Device().Configure(20000, 0));
  EXPECT_EQ(20000, Device().GetClockFrequency());
}

TEST_F(DeviceTest, ConfigureWithoutEnabledChannelMakesNoBoardCall) {
  Device().EnumerateBoards();
  Device().Open(nullptr, 0);
  EnableOnly({});
  Device().SetChannelSettings(channels_);
  Board().SetCallLogging(true);
  EXPECT_EQ(0, Device().Configure(50000, 0));
  EXPECT_TRUE(Board().CallLog().empty());
}

TEST_F(DeviceTest, ConfigureProgramsListClockTriggerAndSixtyBuffers) {
  Device().EnumerateBoards();
  Device().Open(nullptr, 0);
  EnableOnly({1, 4, 7, 12}, {2, 1, 8, 4});
  Device().SetChannelSettings(channels_);
  EXPECT_EQ(1, Device().Configure(25000, 1));
  EXPECT_EQ(100000, Device().GetClockFrequency());
  EXPECT_EQ(4, Device().GetListSize());
  EXPECT_FALSE(Device().IsTriggered());
  const sim::SubsystemView view = Board().View();
  EXPECT_EQ(kDataFlowContinuous, view.dataFlow);
  EXPECT_EQ(kWrapModeMultiple, view.wrapMode);
  EXPECT_EQ(kClockSourceInternal, view.clockSource);
  EXPECT_EQ(100000.0, view.clockFrequency);
  EXPECT_EQ(kTriggerExternalTtl, view.trigger);
  EXPECT_THAT(view.channels, ElementsAre(1, 4, 7, 12));
  EXPECT_THAT(view.gains, ElementsAre(2.0, 1.0, 8.0, 4.0));
  EXPECT_EQ(60u, view.ready);
  EXPECT_EQ(60u, Board().AllocatedBuffers());
}

struct SizingCase {
  int32_t rate;
  int32_t samplesPerChannel;
  int32_t monitorSize;
};

class Sizing : public DeviceTest, public ::testing::WithParamInterface<SizingCase> {};

TEST_P(Sizing, BlocksAreAnEighthOfASecondAndTheStoreWholeBuffersOfTenSeconds) {
  const SizingCase& c = GetParam();
  EnableOnly({0});
  Run(c.rate);
  EXPECT_EQ(c.samplesPerChannel, Device().GetSamplesPerChannel());
  EXPECT_EQ(c.samplesPerChannel, Device().GetBufferSamples());
  EXPECT_EQ(c.samplesPerChannel * 2, Device().GetChannelBlockBytes());
  EXPECT_EQ(c.monitorSize, Device().GetMonitorSize());
  EXPECT_NE(nullptr, Device().GetChannelBlock(0));
  EXPECT_EQ(nullptr, Device().GetChannelBlock(1));
  EXPECT_EQ(nullptr, Device().GetChannelBlock(16));
}

INSTANTIATE_TEST_SUITE_P(Rates, Sizing,
                         ::testing::Values(SizingCase{50000, 8192, 499712}, SizingCase{100000, 12500, 1000000},
                                           SizingCase{200000, 25000, 2000000}, SizingCase{10000, 8192, 98304},
                                           SizingCase{1000, 8192, 8192}));

TEST_F(DeviceTest, StartFailureIsTold) {
  EnableOnly({0});
  Device().EnumerateBoards();
  Device().Open(nullptr, 0);
  Device().SetChannelSettings(channels_);
  ASSERT_EQ(1, Device().Configure(50000, 0));
  Board().FailCall(sim::SimCall::StartAcquisition, 4);
  EXPECT_EQ(0, Device().Start());
  EXPECT_EQ(DeviceError::kStartFailed, Device().LastProblem().error);
  EXPECT_EQ("Failure starting A/D", Device().LastProblem().Text());
  EXPECT_FALSE(Device().IsAcquiring());
  // The configured buffers do not outlive the board.
  Device().Close();
  EXPECT_EQ(0u, Board().AllocatedBuffers());
}

TEST_F(DeviceTest, ConfigureFailingHalfwayLeavesNoBufferBehindAfterClose) {
  EnableOnly({0});
  Device().EnumerateBoards();
  Device().Open(nullptr, 0);
  Device().SetChannelSettings(channels_);
  Board().FailCall(sim::SimCall::QueueReadyBuffer, 5);
  EXPECT_EQ(0, Device().Configure(50000, 0));
  EXPECT_EQ(0u, Board().AllocatedBuffers());
  Board().FailCall(sim::SimCall::AllocateBuffer, 5);
  ASSERT_EQ(1, Device().Open(nullptr, 0));
  EXPECT_EQ(0, Device().Configure(50000, 0));
  Device().Close();
  EXPECT_EQ(0u, Board().AllocatedBuffers());
}

TEST_F(DeviceTest, StopWhileWaitingForTriggerFreesBuffersWithoutStopCall) {
  EnableOnly({0, 1});
  Run(50000, 1);
  Board().SetCallLogging(true);
  Device().Stop();
  const auto log = Board().CallLog();
  EXPECT_THAT(log, Not(Contains("StopAcquisition")));
  EXPECT_THAT(log, Contains("EndAcquisitionAndFlush"));
  EXPECT_EQ(0u, Board().AllocatedBuffers());
  EXPECT_FALSE(Device().IsAcquiring());
  EXPECT_EQ(0u, Device().SubsystemHandle());
  EXPECT_EQ(0, Device().Configure(50000, 1));  // closed and opened again first
}

TEST_F(DeviceTest, StopAfterDataStopsTheBoardAndFreesEveryBuffer) {
  EnableOnly({0});
  Run(50000, 1);
  DeliverConstant(32768);
  EXPECT_TRUE(Device().IsTriggered());
  ASSERT_TRUE(Board().StepBuffer());  // one left waiting in the done queue
  Board().SetCallLogging(true);
  Device().Stop();
  EXPECT_THAT(Board().CallLog(), Contains("StopAcquisition"));
  EXPECT_EQ(0u, Board().AllocatedBuffers());
  EXPECT_EQ(0, Device().ProcessBuffer());  // a late message is harmless
}

TEST_F(DeviceTest, DestructionClosesARunningDevice) {
  EnableOnly({0});
  Run(50000);
  device_.reset();
  EXPECT_EQ(0u, Board().AllocatedBuffers());
}

}  // namespace
}  // namespace varnel::test
