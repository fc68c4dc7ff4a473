// Connecting to the analyser, the start-of-run commands, "FFT Size" and the end of the conversation.

#include <cstdlib>
#include <cstring>

#include "analyzer/LinkState.h"
#include "platform/Files.h"
#include "platform/Trace.h"
#include "support/LinkRig.h"

namespace varnel::test {
namespace {

using peer::Kind;
using ui::DialogResult;

constexpr const char* kQuestion =
    "Failure establishing a DDE link to Orvanta for channel monitoring.  Continue anyway?";

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class Conversation : public LinkRig {
 protected:
  void SetUp() override { VARNEL_REQUIRE_SESSION_BUS(); }
};

TEST_F(Conversation, CommandsReachTheAnalyserInOrderWithTheirNul) {
  auto& peer = StartPeer({.fftAnswer = "8192"});
  settings_.SamplingRate = 44100;
  ConnectAndPrepare();

  const auto commands = peer.Of(Kind::Execute);
  const std::vector<std::string> expected = {"[Stop]", "[File Close]", "[Mode Real Time]", "[Set Sampling Rate 44100]",
                                             "[Set Sampling Precision 16]"};
  ASSERT_EQ(commands.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(commands[i].bytes.size(), expected[i].size() + 1) << expected[i];
    EXPECT_EQ(Text(commands[i].bytes), expected[i] + '\0');
  }
  const auto all = peer.Transactions();
  ASSERT_EQ(all.size(), 6u);
  EXPECT_EQ(all.back().kind, Kind::Request);
  EXPECT_EQ(all.back().item, "FFT Size");
  EXPECT_EQ(settings_.FftSize, 8192);
  EXPECT_EQ(RefreshTimerPeriod(settings_.FftSize), 50u);
  EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(Conversation, OnlyAPositiveFftSizeAnswerWithinBoundsIsTaken) {
  auto& peer = StartPeer();
  ASSERT_TRUE(Link().Connect());
  struct Case {
    std::string answer;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {"8192", 8192},
      {"0", 16384},
      {"no digits", 16384},
      {"", 16384},
      {"-4096", 16384},
      {"  +4096 frames", 4096},
      {"65536", 65536},
      {"99999999999999999999", 16384},
      {std::string(300, '9'), 16384},
      {"16777217", 16384},
      {"16777216", 16777216},
      {std::string("2048\0garbage", 12), 2048},
  };
  for (const auto& c : cases) {
    settings_.FftSize = 16384;
    peer.SetFftAnswer(c.answer);
    Link().PrepareAnalyzer();
    EXPECT_EQ(settings_.FftSize, c.expected) << "answer \"" << c.answer << "\"";
  }
  settings_.FftSize = 4096;
  peer.SetRefuseFft(true);
  Link().PrepareAnalyzer();
  EXPECT_EQ(settings_.FftSize, 4096) << "a refused request";
}

TEST_F(Conversation, RequestedTextIsCutToTheCallersBuffer) {
  auto& peer = StartPeer({.fftAnswer = std::string(200, 'x')});
  ASSERT_TRUE(Link().Connect());
  char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  ASSERT_TRUE(Link().RequestItem("FFT Size", buffer, 16));
  EXPECT_EQ(std::string(buffer), std::string(15, 'x'));
  EXPECT_EQ(buffer[16], '#') << "nothing written past the buffer";

  peer.SetFftAnswer("");  // only the terminator comes back
  ASSERT_TRUE(Link().RequestItem("FFT Size", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
  EXPECT_FALSE(Link().RequestItem("", buffer, sizeof buffer));
  EXPECT_FALSE(Link().RequestItem("WaveData", buffer, sizeof buffer)) << "an item the analyser refuses";
}

TEST_F(Conversation, NoAnalyserAsksAndYesRunsWithoutAnyTransaction) {
  ui_.ExpectMessageBox(kQuestion, DialogResult::Yes);
  ASSERT_TRUE(Link().Connect());
  ASSERT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(ui_.Messages()[0].caption, "Tessaline");
  EXPECT_EQ(ui_.Messages()[0].style, ui::mb::kYesNo);
  EXPECT_EQ(TraceCount(ConnectErrorTrace(kLinkErrorCodes.noAnalyser)), 1u);

  // A peer that appears later is not part of this Run.
  auto& peer = StartPeer();
  Link().PrepareAnalyzer();
  running_ = 1;
  monitor_.Produce(20000);
  EXPECT_TRUE(Link().DDEPokeCalibrationData());
  EXPECT_TRUE(Link().DDEPokeTimeSeriesData());
  EXPECT_TRUE(peer.Transactions().empty());
  EXPECT_TRUE(monitor_.targets.empty());
  EXPECT_EQ(settings_.FftSize, 16384);
  EXPECT_EQ(Link().Disconnect(), 1);
  EXPECT_EQ(Link().Disconnect(), 0);
}

TEST_F(Conversation, NoAnalyserAndNoAbandonsTheRun) {
  ui_.ExpectMessageBox(kQuestion, DialogResult::No);
  EXPECT_FALSE(Link().Connect());
  EXPECT_EQ(Link().Disconnect(), 0) << "nothing is left open after No";
}

TEST_F(Conversation, EmptyServerNameRunsWithoutLinkOrQuestion) {
  WriteServerName("");
  {
    // Not even a bus is needed.
    ScopedUnreachableBus noBus(dir_.Path());
    EXPECT_TRUE(Link().Connect());
  }
  EXPECT_TRUE(ui_.Messages().empty());
  running_ = 1;
  EXPECT_TRUE(Link().DDEPokeTimeSeriesData());
  EXPECT_EQ(Link().Disconnect(), 0) << "no bus was opened";
}

TEST_F(Conversation, ServerNameIsReadAtEveryConnectAndMatchedWithoutCase) {
  auto& first = StartPeer();
  const std::string otherName = UniqueServerName("other");
  std::unique_ptr<TestPeer> second = ServeTestPeer({.serverName = otherName});
  ASSERT_NE(nullptr, second);

  WriteServerName(serverName_);
  ASSERT_TRUE(Link().Connect());
  Link().Execute("[Stop]");
  EXPECT_EQ(Link().Disconnect(), 1);
  EXPECT_EQ(Link().Disconnect(), 0);

  std::string shouted = otherName;
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  WriteServerName(shouted);
  ASSERT_TRUE(Link().Connect());
  Link().Execute("[File Close]");
  Link().Disconnect();
  Link().Execute("[Mode Real Time]");  // after the end: goes nowhere

  ASSERT_EQ(first.Of(Kind::Execute).size(), 1u);
  EXPECT_EQ(Text(first.Of(Kind::Execute)[0].bytes), std::string("[Stop]") + '\0');
  ASSERT_EQ(second->Of(Kind::Execute).size(), 1u);
  EXPECT_EQ(Text(second->Of(Kind::Execute)[0].bytes), std::string("[File Close]") + '\0');
}

TEST_F(Conversation, MissingSettingsFileMeansOrvantis) {
  std::string error;
  std::unique_ptr<TestPeer> peer = ServeTestPeer({.serverName = "Orvantis"}, &error);
  if (!peer) GTEST_SKIP() << "another program serves Orvantis here: " << error;
  platform::DeleteFile(dir_.File("orvantis.ini"));
  ASSERT_TRUE(Link().Connect());
  Link().Execute("[Stop]");
  EXPECT_EQ(peer->Of(Kind::Execute).size(), 1u);
}

TEST_F(Conversation, SlowCommandGivesUpAtItsTimeOutAndStillRunsAtThePeer) {
  KeepTheLinksTimeOuts();
  auto& peer = StartPeer({.replyDelayMs = 60000});  // far beyond the time-out, however busy the machine
  ASSERT_TRUE(Link().Connect());
  const auto start = std::chrono::steady_clock::now();
  Link().Execute("[Stop]");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::milliseconds(30000)) << "waited for the peer instead of the time-out";
  EXPECT_EQ(peer.Of(Kind::Execute).size(), 1u);
  settings_.FftSize = 32768;
  char buffer[80];
  EXPECT_FALSE(Link().RequestItem("FFT Size", buffer, sizeof buffer));
  peer.SetReplyDelay(0);
  peer.SetFftAnswer("4096");
  ASSERT_TRUE(Link().RequestItem("FFT Size", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "4096") << "the late answer of the earlier request is not taken for this one";
}

}  // namespace
}  // namespace varnel::test
