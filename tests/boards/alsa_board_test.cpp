// ALSA and the Linux composition of boards: Linux only.
#ifndef _WIN32

#include "boards/alsa/AlsaBoard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/Messages.h"
#include "platform/QueueMessageLoop.h"
#include "platform/Trace.h"
#include "support/AlsaTestConfig.h"
#include "support/PcmFaults.h"

namespace varnel::alsa {
namespace {

using test::AlsaTestConfig;
using test::OverrunOnce;

// Counts what the board posts.
class CountingLoop : public platform::MessageLoop {
 public:
  void Post(const platform::Message& message) override {
    if (message.id == platform::kBufferDoneMessage) ++done;
    if (message.id == platform::kBufferOverrunMessage) ++overruns;
  }
  void SetTimer(uint32_t, uint32_t) override {}
  void KillTimer(uint32_t) override {}
  void SetHandler(platform::MessageHandler*) override {}
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
    EXPECT_EQ(kBoardSuccess, board_.GetSubsystem(board, kSubsystemAnalogInput, 0, &sub));
    return sub;
  }
  // Programs a run at `rate` on the list, with `buffers` buffers of `frames` frames queued.
  void Program(unsigned rate, const std::vector<int32_t>& list, int buffers, int frames) {
    ASSERT_EQ(kBoardSuccess, board_.SetClockFrequency(sub, rate));
    ASSERT_EQ(kBoardSuccess, board_.SetChannelListSize(sub, static_cast<int32_t>(list.size())));
    for (std::size_t e = 0; e < list.size(); ++e)
      ASSERT_EQ(kBoardSuccess, board_.SetChannelListEntry(sub, static_cast<int32_t>(e), list[e]));
    ASSERT_EQ(kBoardSuccess, board_.SetTrigger(sub, kTriggerImmediate));
    ASSERT_EQ(kBoardSuccess, board_.ApplySettings(sub));
    for (int i = 0; i < buffers; ++i) {
      BoardHandle buffer = 0;
      ASSERT_EQ(kBoardSuccess, board_.AllocateBuffer(0, 0, static_cast<uint32_t>(frames * list.size()), 2, &buffer));
      ASSERT_EQ(kBoardSuccess, board_.QueueReadyBuffer(sub, buffer));
    }
    ASSERT_EQ(kBoardSuccess, board_.SetNotificationWindow(sub, &loop_, 0));
  }
  void WaitForBuffers(int count) {
    while (loop_.done < count) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // The next done buffer's samples.
  std::vector<uint16_t> TakeDone() {
    BoardHandle buffer = 0;
    EXPECT_EQ(kBoardSuccess, board_.TakeDoneBuffer(sub, &buffer));
    uint16_t* data = nullptr;
    int32_t valid = 0;
    EXPECT_EQ(kBoardSuccess, board_.GetBufferData(buffer, &data));
    EXPECT_EQ(kBoardSuccess, board_.GetValidSamples(buffer, &valid));
    return {data, data + valid};
  }

  AlsaTestConfig config_{1 << 16};
  AlsaBoard board_;
  CountingLoop loop_;
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
    int32_t code;
    int32_t value;
  };
  for (const Case c : {Case{kCapChannelCount, 2}, Case{kCapGainCount, 1}, Case{kCapSimultaneous, 1}}) {
    int32_t value = -1;
    EXPECT_EQ(kBoardSuccess, board_.GetSubsystemCapability(sub, c.code, &value));
    EXPECT_EQ(c.value, value) << c.code;
  }
  double max = 0, upper = 0, lower = 0;
  int32_t encoding = 0, bits = 0;
  EXPECT_EQ(kBoardSuccess, board_.GetSubsystemCapabilityValue(sub, kCapMaxThroughput, &max));
  EXPECT_EQ(kBoardSuccess, board_.GetRange(sub, &upper, &lower));
  EXPECT_EQ(kBoardSuccess, board_.GetEncoding(sub, &encoding));
  EXPECT_EQ(kBoardSuccess, board_.GetResolution(sub, &bits));
  EXPECT_EQ(48000.0, max);
  EXPECT_EQ(10.0, upper);
  EXPECT_EQ(-10.0, lower);
  EXPECT_NE(kEncodingUnsigned, encoding);
  EXPECT_EQ(16, bits);
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
    EXPECT_EQ(c.status, board_.CheckRun(sub, c.clock, c.trigger, c.channels, &text)) << c.says;
    EXPECT_NE(std::string::npos, text.find(c.says)) << text;
  }
  EXPECT_EQ(kAlsaRateNotNative, board_.SetClockFrequency(sub, 44100));
  EXPECT_EQ(kBoardSuccess, board_.SetChannelListSize(sub, 1));
  EXPECT_EQ(kAlsaNoSuchChannel, board_.SetChannelListEntry(sub, 0, 2));
  EXPECT_EQ(kAlsaBadValue, board_.SetGainListEntry(sub, 0, 2.0));
  EXPECT_EQ(kAlsaNoTrigger, board_.SetTrigger(sub, kTriggerExternalTtl));
}

TEST_F(AlsaBoardTest, FillsBuffersInTheChannelListsOrderAcrossBuffers) {
  Open(AlsaTestConfig::InputName(8));
  const std::vector<int32_t> list = {5, 2, 7};
  const int frames = 1000;  // not a whole number of periods
  Program(48000, list, 3, frames);
  ASSERT_EQ(kBoardSuccess, board_.StartAcquisition(sub));
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
  ASSERT_EQ(kBoardSuccess, board_.StartAcquisition(sub));
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
  ASSERT_EQ(kBoardSuccess, board_.StartAcquisition(sub));
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
  ASSERT_EQ(kBoardSuccess, board_.StartAcquisition(sub));
  WaitForBuffers(1);
  ASSERT_EQ(kBoardSuccess, board_.StopAcquisition(sub));
  BoardHandle buffer = 0;
  ASSERT_EQ(kBoardSuccess, board_.TakeDoneBuffer(sub, &buffer));
  ASSERT_EQ(kBoardSuccess, board_.QueueReadyBuffer(sub, buffer));
  ASSERT_EQ(kBoardSuccess, board_.EndAcquisitionAndFlush(sub));
  EXPECT_EQ(0u, TakeDone().size());
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
  ASSERT_EQ(kBoardSuccess, board_.StartAcquisition(sub));
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
