// The DDEML transport against the DDE server in-process: refusals and
// time-outs as DDEML's codes, payloads whole, names without regard to case.

#include <algorithm>

#include "PeerProcess.h"
#include "analyzer/LinkState.h"
#include "support/LinkRig.h"
#include "transport/ddeml/DdemlTransport.h"

namespace varnel::test {
namespace {

using peer::Kind;

// DDEML's codes, as DdeGetLastError reports them.
constexpr int kDataAckTimeout = 0x4002;
constexpr int kExecAckTimeout = 0x4005;
constexpr int kNotProcessed = 0x4009;
constexpr int kNoConversation = 0x400a;
constexpr int kPokeAckTimeout = 0x400b;

class Transport : public LinkRig {
 protected:
  // A transport connected to the in-process server.
  std::unique_ptr<AnalyzerTransport> Connected(peer::PeerOptions options = {}) {
    StartPeer(options);
    auto transport = MakeDdemlTransport();
    EXPECT_TRUE(transport->Initialize());
    EXPECT_EQ(transport->Connect(serverName_, "Data", kConnectTimeoutMs), TransportError::None);
    return transport;
  }
};

const std::vector<uint8_t> kCommand = {'[', 'S', 't', 'o', 'p', ']', 0};

TEST_F(Transport, RefusalsComeBackAsNotProcessed) {
  auto transport = Connected({.refuseFft = true, .refuseCommands = true, .refusePokes = true});
  std::string text = "stale";
  EXPECT_EQ(static_cast<int>(transport->Execute(kCommand, kExecuteTimeoutMs)), kNotProcessed);
  EXPECT_EQ(static_cast<int>(transport->Request("FFT Size", text, kRequestTimeoutMs)), kNotProcessed);
  EXPECT_EQ(text, "");
  EXPECT_EQ(static_cast<int>(transport->Poke("CalibrationData", kCommand, kPokeTimeoutMs)), kNotProcessed);
  // The conversation survives every refusal.
  EXPECT_EQ(static_cast<int>(transport->Poke("TimeSeriesData", kCommand, kPokeTimeoutMs)), kNotProcessed);
  EXPECT_EQ(peer_->Transactions().size(), 4u);
}

TEST_F(Transport, LateAnswersTimeOutWithTheirTransactionsCode) {
  struct Case {
    const char* what;
    uint32_t delayMs;
    uint32_t timeoutMs;
    int code;
  };
  const Case cases[] = {
      // Answers held far beyond the time-outs, however busy the machine.
      {"execute", 5000, kExecuteTimeoutMs, kExecAckTimeout},
      {"request", 3000, kRequestTimeoutMs, kDataAckTimeout},
      {"poke", 3000, kPokeTimeoutMs, kPokeAckTimeout},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto transport = Connected({.replyDelayMs = c.delayMs});
    std::string text;
    TransportError result = TransportError::None;
    if (c.what == std::string("execute")) result = transport->Execute(kCommand, c.timeoutMs);
    if (c.what == std::string("request")) result = transport->Request("FFT Size", text, c.timeoutMs);
    if (c.what == std::string("poke")) result = transport->Poke("TimeSeriesData", kCommand, c.timeoutMs);
    EXPECT_EQ(static_cast<int>(result), c.code);
    // Delivered all the same: the analyser carries it out.
    EXPECT_EQ(peer_->Transactions().size(), 1u);
    transport.reset();
    peer_.reset();
  }
}

TEST_F(Transport, PokedPayloadsArriveWhole) {
  auto transport = Connected();
  for (std::size_t size : {std::size_t{1}, std::size_t{2048}, std::size_t{262144}, std::size_t{1048576}}) {
    std::vector<uint8_t> payload(size);
    for (std::size_t i = 0; i < size; ++i) payload[i] = static_cast<uint8_t>(i * 31 + size);
    ASSERT_EQ(transport->Poke("TimeSeriesData", payload, 1000), TransportError::None) << size;
    const auto received = peer_->Transactions().back();
    EXPECT_EQ(received.item, "TimeSeriesData");
    EXPECT_TRUE(received.bytes == payload) << size << " bytes sent, " << received.bytes.size() << " received";
  }
}

TEST_F(Transport, ServiceAndTopicMatchWithoutRegardToCase) {
  StartPeer();
  struct Case {
    std::string service;
    std::string topic;
    int code;
  };
  std::string upper = serverName_;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char ch) { return static_cast<char>(std::toupper(ch)); });
  const Case cases[] = {{serverName_, "Data", 0},
                        {upper, "DATA", 0},
                        {serverName_, "Other", kNoConversation},
                        {serverName_ + "x", "Data", kNoConversation}};
  for (const Case& c : cases) {
    auto transport = MakeDdemlTransport();
    ASSERT_TRUE(transport->Initialize());
    EXPECT_EQ(static_cast<int>(transport->Connect(c.service, c.topic, kConnectTimeoutMs)), c.code)
        << c.service << " / " << c.topic;
    EXPECT_EQ(transport->Connected(), c.code == 0);
    EXPECT_EQ(transport->Uninitialize(), 1);
  }
}

TEST_F(Transport, WithoutAConversationNothingIsSent) {
  auto transport = MakeDdemlTransport();
  std::string text;
  EXPECT_NE(transport->Execute(kCommand, kExecuteTimeoutMs), TransportError::None);
  ASSERT_TRUE(transport->Initialize());
  EXPECT_EQ(static_cast<int>(transport->Execute(kCommand, kExecuteTimeoutMs)), kNoConversation);
  EXPECT_EQ(static_cast<int>(transport->Request("FFT Size", text, kRequestTimeoutMs)), kNoConversation);
  EXPECT_EQ(static_cast<int>(transport->Poke("TimeSeriesData", kCommand, kPokeTimeoutMs)), kNoConversation);
}

class LinkOverDdeml : public LinkRig {};

TEST_F(LinkOverDdeml, FftSizeAnswersAreParsedOrIgnored) {
  struct Case {
    std::string answer;
    int32_t expected;
  };
  const Case cases[] = {{"8192", 8192}, {"0", 16384}, {"no digits", 16384}, {"  +4096 frames", 4096}, {"", 16384}};
  for (const Case& c : cases) {
    StartPeer({.fftAnswer = c.answer});
    settings_.FftSize = 16384;
    ASSERT_TRUE(Link().Connect());
    Link().PrepareAnalyzer();
    EXPECT_EQ(settings_.FftSize, c.expected) << "'" << c.answer << "'";
    Link().Disconnect();
    peer_.reset();
  }
}

TEST_F(LinkOverDdeml, FailedPokesTraceTheDdemlCode) {
  KeepTheLinksTimeOuts();  // the second poke must time out
  StartPeer({.refusePokes = true});
  ASSERT_TRUE(Link().Connect());
  monitor_.Produce(20000);
  running_ = 1;
  EXPECT_FALSE(Link().DDEPokeCalibrationData());
  EXPECT_TRUE(Traced("DDEPokeCalibrationData Failed - DDEML Error code = 16393\n"));
  peer_->SetReplyDelay(3000);
  EXPECT_FALSE(Link().DDEPokeTimeSeriesData());
  EXPECT_TRUE(Traced("DDEPokeTimeSeriesData Failed - DDEML Error code = 16395\n"))
      << ::testing::PrintToString(Traces());
}

TEST_F(LinkOverDdeml, DisconnectEndsTheInstanceOnce) {
  StartPeer();
  ASSERT_TRUE(Link().Connect());
  EXPECT_EQ(Link().Disconnect(), 1);
  EXPECT_EQ(Link().Disconnect(), 0);
  // A new Run starts afresh.
  ASSERT_TRUE(Link().Connect());
  Link().Execute("[Stop]");
  ASSERT_TRUE(peer_->WaitForCount(1, 30000));
  EXPECT_EQ(peer_->Transactions().back().kind, Kind::Execute);
}

}  // namespace
}  // namespace varnel::test
