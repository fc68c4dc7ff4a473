// ALSA and the Linux composition of boards: Linux only.
#ifndef _WIN32

#include "boards/alsa/AlsaBoard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/Trace.h"
#include "support/AlsaTestConfig.h"
#include "support/PcmFaults.h"

namespace varnel::alsa {
namespace {

using test::AlsaTestConfig;
using test::OverrunOnce;

// Counts what the board tells.
class CountingLoop : public BoardEvents {
 public:
  void BufferDone() override { ++done; }
  void Overrun() override { ++overruns; }
  std::atomic<int> done{0};
  std::atomic<int> overruns{0};
};

class AlsaBoardTest : public ::testing::Test {
 protected:
  explicit AlsaBoardTest(std::shared_ptr<PcmCalls> calls = RealPcmCalls()) : board_(std::move(calls)) {}
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    board_.EnumerateBoards([&](std::string_view n) { return names.emplace_back(n), 1; });
    return names;
  }
  BoardHandle Open(const std::string& name) {
    Names();
    EXPECT_EQ(kBoardSuccess, board_.InitializeBoard(name, &board));
    EXPECT_EQ(kBoardSuccess, board_.GetSubsystem(board, &sub));
    return sub;
  }
  static RunSettings Run(double rate, const std::vector<int32_t>& list, int32_t trigger = kTriggerImmediate) {
    return {rate, list, std::vector<double>(list.size(), 1.0), trigger};
  }
  // Programs a run at `rate` on the list, with `buffers` buffers of `frames` frames queued.
  void Program(unsigned rate, const std::vector<int32_t>& list, int buffers, int frames) {
    ASSERT_EQ(kBoardSuccess, board_.Configure(sub, Run(rate, list)));
    for (int i = 0; i < buffers; ++i) {
      BoardHandle buffer = 0;
      ASSERT_EQ(kBoardSuccess, board_.AllocateBuffer(static_cast<uint32_t>(frames * list.size()), &buffer));
      ASSERT_EQ(kBoardSuccess, board_.QueueReadyBuffer(sub, buffer));
    }
  }
  BoardStatus Start() { return board_.StartAcquisition(sub, &loop_); }
  void WaitForBuffers(int count) {
    while (loop_.done < count) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // The next done buffer's samples.
  std::vector<uint16_t> TakeDone() {
    BoardHandle buffer = 0;
    EXPECT_EQ(kBoardSuccess, board_.TakeDoneBuffer(sub, &buffer));
    BufferData data;
    EXPECT_EQ(kBoardSuccess, board_.GetBufferData(buffer, &data));
    return {data.samples, data.samples + data.valid};
  }

  AlsaTestConfig config_{1 << 16};
  CountingLoop loop_;  // outlives the board's threads
  AlsaBoard board_;
  BoardHandle board = 0;
  BoardHandle sub = 0;
};

TEST_F(AlsaBoardTest, ListsHintedDevicesByTheirDescriptionButNeverTheNullDevice) {
  const std::vector<std::string> names = Names();
  EXPECT_EQ((std::vector<std::string>{AlsaTestConfig::InputName(2), AlsaTestConfig::InputName(8),
                                      AlsaTestConfig::InputName(16), AlsaTestConfig::CardName(),
                                      AlsaTestConfig::Input32Name()}),
            names);
  for (const std::string& name : names) EXPECT_LE(name.size(), kMaxBoardName) << name;
}

TEST_F(AlsaBoardTest, ACardShowsTheCapabilitiesItReallyHas) {
  Open(AlsaTestConfig::CardName());
  struct Case {
    BoardCapability code;
    int32_t value;
  };
  for (const Case c : {Case{BoardCapability::ChannelCount, 2}, Case{BoardCapability::GainCount, 1},
                       Case{BoardCapability::Simultaneous, 1}}) {
    double value = -1;
    EXPECT_EQ(kBoardSuccess, board_.GetSubsystemCapability(sub, c.code, &value));
    EXPECT_EQ(c.value, value) << static_cast<int>(c.code);
  }
  double max = 0;
  CodeFormat codes;
  codes.encoding = kEncodingUnsigned;
  EXPECT_EQ(kBoardSuccess, board_.GetSubsystemCapability(sub, BoardCapability::MaxThroughput, &max));
  EXPECT_EQ(kBoardSuccess, board_.GetCodeFormat(sub, &codes));
  EXPECT_EQ(48000.0, max);
  EXPECT_EQ(10.0, codes.upper);
  EXPECT_EQ(-10.0, codes.lower);
  EXPECT_NE(kEncodingUnsigned, codes.encoding);
  EXPECT_EQ(16, codes.resolution);
}

TEST_F(AlsaBoardTest, RefusesWhatTheCardCannotRunAndSaysWhy) {
  Open(AlsaTestConfig::CardName());
  struct Case {
    double clock;
    int32_t trigger;
    std::vector<int32_t> channels;
    BoardStatus status;
    std::string says;
  };
  const std::vector<Case> cases = {
      {48000, kTriggerImmediate, {0, 1}, kBoardSuccess, ""},
      {44100, kTriggerImmediate, {0, 1}, kAlsaRateNotNative, "cannot sample at 44100 Hz without resampling"},
      {96000, kTriggerImmediate, {0}, kAlsaRateNotNative, "Rates it runs: 48000 Hz."},
      {48000, kTriggerImmediate, {0, 2}, kAlsaNoSuchChannel, "Channel 2 is not an input of"},
      {48000, kTriggerExternalTtl, {0}, kAlsaNoTrigger, "has no external TTL trigger input"},
  };
  for (const Case& c : cases) {
    std::string text;
    EXPECT_EQ(c.status, board_.CheckRun(sub, Run(c.clock, c.channels, c.trigger), &text)) << c.says;
    EXPECT_NE(std::string::npos, text.find(c.says)) << text;
  }
  EXPECT_EQ(kAlsaRateNotNative, board_.Configure(sub, Run(44100, {0})));
  EXPECT_EQ(kAlsaNoSuchChannel, board_.Configure(sub, Run(48000, {2})));
  EXPECT_EQ(kAlsaBadValue, board_.Configure(sub, {48000, {0}, {2.0}, kTriggerImmediate}));
  EXPECT_EQ(kAlsaNoTrigger, board_.Configure(sub, Run(48000, {0}, kTriggerExternalTtl)));
}

TEST_F(AlsaBoardTest, FillsBuffersInTheChannelListsOrderAcrossBuffers) {
  Open(AlsaTestConfig::InputName(8));
  const std::vector<int32_t> list = {5, 2, 7};
  const int frames = 1000;  // not a whole number of periods
  Program(48000, list, 3, frames);
  ASSERT_EQ(kBoardSuccess, Start());
  WaitForBuffers(3);
  ASSERT_EQ(kBoardSuccess, board_.StopAcquisition(sub));
  for (int b = 0; b < 3; ++b) {
    const std::vector<uint16_t> samples = TakeDone();
    ASSERT_EQ(list.size() * frames, samples.size());
    for (int f = 0; f < frames; ++f)
      for (std::size_t e = 0; e < list.size(); ++e)
        ASSERT_EQ(AlsaTestConfig::Signal(list[e], b * frames + f), static_cast<int16_t>(samples[f * list.size() + e]))
            << "buffer " << b << " frame " << f << " entry " << e;
  }
}

TEST_F(AlsaBoardTest, ACardWithout16BitSamplesGivesTheUpperHalfOfItsOwn) {
  Open(AlsaTestConfig::Input32Name());
  const std::vector<int32_t> list = {1, 0};
  Program(48000, list, 2, 3000);
  ASSERT_EQ(kBoardSuccess, Start());
  WaitForBuffers(2);
  ASSERT_EQ(kBoardSuccess, board_.StopAcquisition(sub));
  for (int b = 0; b < 2; ++b) {
    const std::vector<uint16_t> samples = TakeDone();
    ASSERT_EQ(6000u, samples.size());
    for (int f = 0; f < 3000; ++f)
      for (std::size_t e = 0; e < 2; ++e)
        ASSERT_EQ(AlsaTestConfig::Signal(list[e], b * 3000 + f), static_cast<int16_t>(samples[f * 2 + e]));
  }
}

TEST_F(AlsaBoardTest, WithoutAReadyBufferItWaitsAndStopsPromptly) {
  Open(AlsaTestConfig::InputName(2));
  Program(48000, {0, 1}, 1, 4800);
  ASSERT_EQ(kBoardSuccess, Start());
  WaitForBuffers(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  // The ring holds the signal meanwhile: no loss, so no overrun.
  EXPECT_EQ(0, loop_.overruns);
  EXPECT_EQ(kBoardSuccess, board_.EndAcquisitionAndFlush(sub));
  EXPECT_EQ(9600u, TakeDone().size());
}

TEST_F(AlsaBoardTest, ABufferHandedBackHoldsNothingValidUntilFilledAgain) {
  Open(AlsaTestConfig::InputName(2));
  Program(48000, {0, 1}, 1, 4800);
  ASSERT_EQ(kBoardSuccess, Start());
  WaitForBuffers(1);
  ASSERT_EQ(kBoardSuccess, board_.StopAcquisition(sub));
  BoardHandle buffer = 0;
  ASSERT_EQ(kBoardSuccess, board_.TakeDoneBuffer(sub, &buffer));
  ASSERT_EQ(kBoardSuccess, board_.QueueReadyBuffer(sub, buffer));
  ASSERT_EQ(kBoardSuccess, board_.EndAcquisitionAndFlush(sub));
  EXPECT_EQ(0u, TakeDone().size());
}

// A sound server's device that offers float samples only records: they read
// as 32-bit samples do, and what lies beyond full scale is clipped and counted.
TEST(AlsaFloat, FloatSamplesReadAsThirtyTwoBitOnesAndWhatIsBeyondFullScaleIsClippedAndCounted) {
  AlsaTestConfig config{1 << 16, true};
  platform::ScopedTraceCapture traces;
  CountingLoop events;
  AlsaBoard board;
  board.EnumerateBoards([](std::string_view) { return 1; });
  BoardHandle handle = 0, sub = 0;
  ASSERT_EQ(kBoardSuccess, board.InitializeBoard(AlsaTestConfig::FloatName(), &handle));
  ASSERT_EQ(kBoardSuccess, board.GetSubsystem(handle, &sub));
  const std::vector<int32_t> list = {3, 2, 1, 0};
  constexpr int kFrames = 3000;
  ASSERT_EQ(kBoardSuccess, board.Configure(sub, {48000, list, {1, 1, 1, 1}, kTriggerImmediate}));
  for (int i = 0; i < 2; ++i) {
    BoardHandle buffer = 0;
    ASSERT_EQ(kBoardSuccess, board.AllocateBuffer(kFrames * 4, &buffer));
    ASSERT_EQ(kBoardSuccess, board.QueueReadyBuffer(sub, buffer));
  }
  ASSERT_EQ(kBoardSuccess, board.StartAcquisition(sub, &events));
  while (events.done < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(kBoardSuccess, board.StopAcquisition(sub));
  // Full scale both ways, beyond it, and not a number.
  auto expected = [](int channel, int64_t frame) -> int16_t {
    const int64_t at = frame % 1000;
    if (channel == 2 && at == 999) return 32767;
    if (channel == 2 && at == 500) return -32768;
    if (channel == 3 && at == 750) return -32768;
    if (channel == 3 && at == 250) return 0;
    return AlsaTestConfig::Signal(channel, frame);
  };
  for (int b = 0; b < 2; ++b) {
    BoardHandle buffer = 0;
    BufferData data;
    ASSERT_EQ(kBoardSuccess, board.TakeDoneBuffer(sub, &buffer));
    ASSERT_EQ(kBoardSuccess, board.GetBufferData(buffer, &data));
    ASSERT_EQ(kFrames * 4, data.valid);
    for (int f = 0; f < kFrames; ++f)
      for (std::size_t e = 0; e < list.size(); ++e)
        ASSERT_EQ(expected(list[e], b * kFrames + f), static_cast<int16_t>(data.samples[f * list.size() + e]))
            << "frame " << b * kFrames + f << " channel " << list[e];
  }
  // Per thousand frames: one at +1 and one at -1.5 clipped, one not a number; -1 is full scale.
  EXPECT_EQ(18u, board.ClippedSamples());
  EXPECT_TRUE(traces.Sink().Contains("ALSA " + AlsaTestConfig::FloatName() + ": 18 samples beyond full scale clipped"));
  EXPECT_EQ(0, events.overruns);
}

struct WithOverrunSeam {
  std::shared_ptr<OverrunOnce> calls_ = std::make_shared<OverrunOnce>(2);
};

class AlsaOverrunTest : public WithOverrunSeam, public AlsaBoardTest {
 protected:
  AlsaOverrunTest() : AlsaBoardTest(calls_) {}
};

TEST_F(AlsaOverrunTest, AnOverrunIsReportedAndCaptureGoesOn) {
  Open(AlsaTestConfig::InputName(2));
  Program(48000, {0, 1}, 8, 4800);
  ASSERT_EQ(kBoardSuccess, Start());
  WaitForBuffers(8);
  ASSERT_EQ(kBoardSuccess, board_.StopAcquisition(sub));
  EXPECT_EQ(1, loop_.overruns);
  EXPECT_EQ(1u, board_.OverrunCount());
  EXPECT_EQ(2, calls_->prepared);  // at the start, and after the overrun
  EXPECT_EQ(8, loop_.done);
}

}  // namespace
}  // namespace varnel::alsa

namespace varnel::alsa {
namespace {

TEST(AlsaErrors, AlsaLibsOwnMessagesGoToTheTracesNotToStderr) {
  AlsaTestConfig config{1 << 12};
  platform::MemoryTraceSink traces;
  platform::TraceSink* before = platform::SetTraceSink(&traces);
  testing::internal::CaptureStderr();
  const DeviceCaps caps = ProbeDevice("varnel_nowhere");
  const std::string printed = testing::internal::GetCapturedStderr();
  platform::SetTraceSink(before);
  EXPECT_EQ(-ENOENT, caps.error);
  EXPECT_TRUE(traces.Contains("Unknown PCM varnel_nowhere")) << (traces.Lines().empty() ? "" : traces.Lines()[0]);
  EXPECT_EQ("", printed);
}

TEST(AlsaNames, BoardNamesKeepTheirAlsaNameWithinTheList) {
  struct Case {
    std::string name, details, shown;
  };
  const std::string longName(90, 'n');
  for (const Case& c : {Case{"USB Audio CODEC: USB Audio", "hw:CODEC,0", "USB Audio CODEC: USB Audio (hw:CODEC,0)"},
                        Case{longName, "hw:CODEC,0", std::string(78 - 13, 'n') + " (hw:CODEC,0)"},
                        Case{"Default", std::string(80, 'd'), ("Default (" + std::string(80, 'd')).substr(0, 78)}}) {
    EXPECT_EQ(c.shown, BoardLabel(c.name, c.details));
    EXPECT_LE(BoardLabel(c.name, c.details).size(), kMaxBoardName);
  }
}

}  // namespace
}  // namespace varnel::alsa

#endif  // _WIN32
