#include "boards/sim/SimulatedBoard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "acquisition/BoardMessages.h"
#include "platform/Messages.h"
#include "platform/QueueMessageLoop.h"
#include "support/TempDir.h"

namespace varnel::sim {
namespace {

using test::TempDir;
using test::WriteFile;

TEST(SimBoardModel, MissingFileGivesTheDefaultBoard) {
  TempDir dir;
  const auto models = ReadBoardModels(dir.File("olsim.ini"));
  ASSERT_EQ(1u, models.size());
  const BoardModel& m = models[0];
  EXPECT_EQ("DT9834(00)", m.name);
  EXPECT_EQ(16, m.channels);
  EXPECT_EQ(4, m.gainCount);
  EXPECT_EQ(500000.0, m.maxThroughput);
  EXPECT_EQ(0, m.simultaneous);
  EXPECT_EQ(200, m.encoding);
  EXPECT_EQ(16, m.resolution);
  EXPECT_EQ(10.0, m.rangeHigh);
  EXPECT_EQ(-10.0, m.rangeLow);
  EXPECT_EQ(16u, m.signals.size());
  EXPECT_TRUE(m.SupportsGain(8.0));
  EXPECT_FALSE(m.SupportsGain(16.0));
  EXPECT_FALSE(m.SupportsGain(3.0));
}

TEST(SimBoardModel, ReadsModelsAndChannelSignals) {
  TempDir dir;
  WriteFile(dir.File("olsim.ini"),
            "[Boards]\nCount=2\n[Board1]\nName=Bench rig\nChannels=4\nGains=2\nMaxThroughput=100000\n"
            "Simultaneous=1\nEncoding=0\nResolution=12\nRangeHigh=5\nRangeLow=-5\nTriggerDelayMs=250\n"
            "[Board1_Channel2]\nSignal=DC\nAmplitude=1.5\n[Board1_Channel3]\nSignal=noise\nAmplitude=0.1\n"
            "[Board1_Channel0]\nSignal=sine\nFrequency=440\nAmplitude=2\n");
  const auto models = ReadBoardModels(dir.File("olsim.ini"));
  ASSERT_EQ(2u, models.size());
  EXPECT_EQ("DT9834(00)", models[0].name);
  const BoardModel& m = models[1];
  EXPECT_EQ("Bench rig", m.name);
  EXPECT_EQ(4, m.channels);
  EXPECT_EQ(2, m.gainCount);
  EXPECT_EQ(100000.0, m.maxThroughput);
  EXPECT_EQ(1, m.simultaneous);
  EXPECT_EQ(0, m.encoding);
  EXPECT_EQ(12, m.resolution);
  EXPECT_EQ(5.0, m.rangeHigh);
  EXPECT_EQ(250u, m.triggerDelayMs);
  ASSERT_EQ(4u, m.signals.size());
  EXPECT_EQ(SignalKind::Sine, m.signals[0].kind);
  EXPECT_EQ(440.0, m.signals[0].frequency);
  EXPECT_EQ(SignalKind::Dc, m.signals[2].kind);
  EXPECT_EQ(1.5, m.signals[2].amplitude);
  EXPECT_EQ(SignalKind::Noise, m.signals[3].kind);
}

// A board opened and configured directly through the interface.
class SimBoardTest : public ::testing::Test {
 protected:
  void Open(const std::string& ini) {
    WriteFile(dir_.File("olsim.ini"), ini);
    board_ = std::make_unique<SimulatedBoard>(dir_.File("olsim.ini"));
    std::vector<std::string> names;
    ASSERT_EQ(0, board_->EnumerateBoards([&](std::string_view n) {
      names.emplace_back(n);
      return 1;
    }));
    ASSERT_FALSE(names.empty());
    ASSERT_EQ(0, board_->InitializeBoard(names[0], &hBoard_));
    ASSERT_EQ(0, board_->GetSubsystem(hBoard_, &hSub_));
    events_.Aim(&loop_, hSub_);
  }
  void Configure(double clock, const std::vector<int32_t>& channels, const std::vector<double>& gains, int32_t trigger,
                 uint32_t bufferSamples, int buffers) {
    ASSERT_EQ(0, board_->Configure(hSub_, {clock, channels, gains, trigger}));
    for (int i = 0; i < buffers; ++i) {
      BoardHandle b = 0;
      ASSERT_EQ(0, board_->AllocateBuffer(bufferSamples, &b));
      ASSERT_EQ(0, board_->QueueReadyBuffer(hSub_, b));
    }
  }
  BoardStatus Start() { return board_->StartAcquisition(hSub_, &events_); }
  std::vector<uint16_t> TakeDone() {
    BoardHandle b = 0;
    EXPECT_EQ(0, board_->TakeDoneBuffer(hSub_, &b));
    if (b == 0) return {};
    BufferData data;
    EXPECT_EQ(0, board_->GetBufferData(b, &data));
    std::vector<uint16_t> codes(data.samples, data.samples + data.valid);
    board_->QueueReadyBuffer(hSub_, b);
    return codes;
  }

  TempDir dir_;
  platform::QueueMessageLoop loop_;
  BoardMessages events_;
  std::unique_ptr<SimulatedBoard> board_;
  BoardHandle hBoard_ = 0;
  BoardHandle hSub_ = 0;
};

struct Counter : platform::MessageHandler {
  intptr_t HandleMessage(const platform::Message& m) override {
    if (m.id == platform::kBufferDoneMessage) ++done;
    if (m.id == platform::kBufferOverrunMessage) ++overruns;
    return 1;
  }
  int done = 0;
  int overruns = 0;
};

TEST_F(SimBoardTest, InputStageAppliesGainClipsAndEncodes) {
  Open("[Board0]\nChannels=2\n[Board0_Channel0]\nSignal=dc\nAmplitude=2.5\n[Board0_Channel1]\nSignal=silence\n");
  board_->SetStepMode(true);
  Configure(1000, {0, 0, 0, 1}, {1, 2, 8, 1}, kTriggerImmediate, 8, 1);
  ASSERT_EQ(0, Start());
  ASSERT_TRUE(board_->StepBuffer());
  const auto codes = TakeDone();
  ASSERT_EQ(8u, codes.size());
  EXPECT_EQ(32768 + 8192, codes[0]);   // 2.5 V of 20 V range
  EXPECT_EQ(32768 + 16384, codes[1]);  // gain 2
  EXPECT_EQ(65535, codes[2]);          // 20 V clipped at the top
  EXPECT_EQ(32768, codes[3]);
}

TEST_F(SimBoardTest, TwosComplementCodesAndSineAtTheProgrammedClock) {
  Open("[Board0]\nEncoding=0\n[Board0_Channel0]\nSignal=sine\nFrequency=1000\nAmplitude=10\n");
  board_->SetStepMode(true);
  Configure(8000, {0}, {1}, kTriggerImmediate, 8, 2);
  ASSERT_EQ(0, Start());
  ASSERT_TRUE(board_->StepBuffer());
  const auto codes = TakeDone();
  ASSERT_EQ(8u, codes.size());
  EXPECT_EQ(0, static_cast<int16_t>(codes[0]));      // sin 0
  EXPECT_EQ(32767, static_cast<int16_t>(codes[2]));  // quarter period: top, clipped
  EXPECT_EQ(0, static_cast<int16_t>(codes[4]));
  EXPECT_EQ(-32768, static_cast<int16_t>(codes[6]));
}

TEST_F(SimBoardTest, RefusesWhatTheBoardCannotDo) {
  Open("[Board0]\nChannels=4\nGains=2\n");
  EXPECT_NE(0, board_->Configure(hSub_, {600000, {0}, {1}, kTriggerImmediate}));
  EXPECT_NE(0, board_->Configure(hSub_, {0, {0}, {1}, kTriggerImmediate}));
  EXPECT_NE(0, board_->Configure(hSub_, {1000, {4}, {1}, kTriggerImmediate}));
  EXPECT_NE(0, board_->Configure(hSub_, {1000, {0}, {4}, kTriggerImmediate}));
  EXPECT_NE(0, board_->Configure(hSub_, {1000, {}, {}, kTriggerImmediate}));  // no entry
  EXPECT_NE(0, Start());
  BoardHandle other = 0;
  EXPECT_NE(0, board_->GetSubsystem(hBoard_, &other));
  EXPECT_NE(0, board_->InitializeBoard("no such board", &other));
}

TEST_F(SimBoardTest, ProducerPostsOneMessagePerBufferThenOverrun) {
  Open("");
  Counter counter;
  loop_.SetHandler(&counter);
  // 10 ms buffers, three of them, nobody hands them back.
  Configure(100000, {0}, {1}, kTriggerImmediate, 1000, 3);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(0, Start());
  for (int i = 0; i < 200 && counter.overruns == 0; ++i) loop_.WaitAndDispatch(20);
  EXPECT_EQ(3, counter.done);
  EXPECT_EQ(1, counter.overruns);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(30));
  const SubsystemView view = board_->View();
  EXPECT_FALSE(view.running);
  EXPECT_TRUE(view.overrun);
  EXPECT_EQ(3u, view.done);
  EXPECT_EQ(0, board_->StopAcquisition(hSub_));
}

TEST_F(SimBoardTest, ReturnedBuffersKeepTheFlowGoingUntilStop) {
  Open("");
  Counter counter;
  loop_.SetHandler(&counter);
  // 20 ms buffers with 320 ms of slack, so that a busy machine does not overrun.
  Configure(100000, {0, 1}, {1, 1}, kTriggerImmediate, 2000, 16);
  ASSERT_EQ(0, Start());
  while (counter.done < 12 && counter.overruns == 0) {
    loop_.WaitAndDispatch(50);
    while (!TakeDone().empty()) {
    }
  }
  EXPECT_EQ(0, counter.overruns);
  ASSERT_EQ(0, board_->StopAcquisition(hSub_));
  ASSERT_EQ(0, board_->EndAcquisitionAndFlush(hSub_));
  const SubsystemView view = board_->View();
  EXPECT_EQ(0u, view.ready);
  EXPECT_EQ(16u, view.done);  // every buffer can be taken back and freed
}

TEST_F(SimBoardTest, ExternalTriggerFiresAfterItsDelay) {
  Open("[Board0]\nTriggerDelayMs=150\n");
  Counter counter;
  loop_.SetHandler(&counter);
  Configure(100000, {0}, {1}, kTriggerExternalTtl, 1000, 2);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(0, Start());
  while (counter.done == 0) loop_.WaitAndDispatch(50);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(150));
  EXPECT_EQ(0, board_->EndAcquisitionAndFlush(hSub_));
}

TEST_F(SimBoardTest, StepModeOverrunsWhenNoBufferIsReady) {
  Open("");
  board_->SetStepMode(true);
  Counter counter;
  loop_.SetHandler(&counter);
  Configure(1000, {0}, {1}, kTriggerImmediate, 10, 1);
  EXPECT_FALSE(board_->StepBuffer());  // not started
  ASSERT_EQ(0, Start());
  EXPECT_TRUE(board_->StepBuffer());
  EXPECT_FALSE(board_->StepBuffer());
  loop_.DispatchPending();
  EXPECT_EQ(1, counter.done);
  EXPECT_EQ(1, counter.overruns);
}

TEST_F(SimBoardTest, TerminateTakesBackEverythingStillQueued) {
  Open("");
  Configure(1000, {0}, {1}, kTriggerImmediate, 10, 5);
  EXPECT_EQ(5u, board_->AllocatedBuffers());
  EXPECT_EQ(0, board_->TerminateBoard(hBoard_));
  EXPECT_EQ(0u, board_->AllocatedBuffers());
  EXPECT_FALSE(board_->View().exists);
}

TEST(SimBoardFactory, ReadsTheGivenSettingsFileAtEnumeration) {
  TempDir dir;
  auto board = MakeSimulatedBoard(dir.File("olsim.ini"));
  int32_t count = 0;
  board->EnumerateBoards([&](std::string_view) { return ++count, 1; });
  EXPECT_EQ(1, count);
  WriteFile(dir.File("olsim.ini"), "[Boards]\nCount=0\n");
  count = 0;
  board->EnumerateBoards([&](std::string_view) { return ++count, 1; });
  EXPECT_EQ(0, count);
}

}  // namespace
}  // namespace varnel::sim
