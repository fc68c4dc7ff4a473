// The recorder's side of the link over DDEML against orvantis-peer.exe in a
// process of its own: the whole start of a Run and the pokes, and no peer.

#include <cstring>

#include "PeerProcess.h"
#include "TransactionLog.h"
#include "analyzer/LinkState.h"
#include "support/LinkRig.h"
#include "transport/ddeml/DdemlTransport.h"

namespace varnel::test {
namespace {

using peer::Kind;

constexpr const char* kQuestion =
    "Failure establishing a DDE link to Orvanta for channel monitoring.  Continue anyway?";

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

class PeerProgram : public LinkRig {};

TEST_F(PeerProgram, RunStartCommandsRequestAndPokesArriveInOrder) {
  const std::string log = dir_.File("peer.log");
  PeerProcess peer;
  ASSERT_TRUE(peer.Start({"--server-name", serverName_, "--fft-size", "8192", "--record", log, "--quiet"}));
  settings_.SamplingRate = 44100;
  channels_[3].bIsMonitoringLeft = 1;
  std::strcpy(records_[3].Left.ChannelName, "left channel");
  std::strcpy(records_[1].Left.ChannelName, "right channel");
  monitor_.Produce(20000);

  ASSERT_TRUE(Link().Connect());
  Link().PrepareAnalyzer();
  ASSERT_EQ(settings_.FftSize, 8192);
  ASSERT_TRUE(Link().DDEPokeCalibrationData());
  running_ = 1;
  const bool asksAgain = PokeCounter() % kFftRequestInterval == 0;
  ASSERT_TRUE(Link().DDEPokeTimeSeriesData());
  EXPECT_EQ(Link().Disconnect(), 1);

  CalibrationRecord calibration = ZeroCalibrationRecord();
  calibration.Left = records_[3].Left;
  calibration.Right = records_[1].Left;
  std::vector<uint8_t> calibrationBytes(sizeof calibration);
  std::memcpy(calibrationBytes.data(), &calibration, sizeof calibration);
  const std::string fft =
      peer::DescribeTransaction(Kind::Request, "FFT Size", Bytes(std::string("8192", 5)), 1, true);
  std::vector<std::string> expected = {
      peer::DescribeTransaction(Kind::Execute, {}, Bytes(std::string("[Stop]", 7)), 1, true),
      peer::DescribeTransaction(Kind::Execute, {}, Bytes(std::string("[File Close]", 13)), 1, true),
      peer::DescribeTransaction(Kind::Execute, {}, Bytes(std::string("[Mode Real Time]", 17)), 1, true),
      peer::DescribeTransaction(Kind::Execute, {}, Bytes(std::string("[Set Sampling Rate 44100]", 26)), 1, true),
      peer::DescribeTransaction(Kind::Execute, {}, Bytes(std::string("[Set Sampling Precision 16]", 28)), 1, true),
      fft,
      peer::DescribeTransaction(Kind::Poke, "CalibrationData", calibrationBytes, 1, true),
  };
  if (asksAgain) expected.push_back(fft);
  expected.push_back(
      peer::DescribeTransaction(Kind::Poke, "TimeSeriesData", monitor_.ExpectedPayload(8192), 1, true));
  EXPECT_EQ(Lines(ReadFile(log)), expected);
  EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(PeerProgram, TheLogIsTheLinuxPeersByteForByte) {
  const std::string log = dir_.File("peer.log");
  PeerProcess peer;
  ASSERT_TRUE(peer.Start({"--server-name", serverName_, "--fft-size", "4096", "--record", log, "--quiet"}));
  auto transport = MakeDdemlTransport();
  ASSERT_TRUE(transport->Initialize());
  ASSERT_EQ(transport->Connect(serverName_, "Data", 1000), TransportError::None);
  EXPECT_EQ(transport->Execute(Bytes(std::string("[Stop]\0", 7)), 1000), TransportError::None);
  std::string text;
  EXPECT_EQ(transport->Request("FFT Size", text, 1000), TransportError::None);
  EXPECT_EQ(transport->Poke("CalibrationData", Bytes("abcd"), 1000), TransportError::None);
  EXPECT_EQ(transport->Uninitialize(), 1);
  EXPECT_EQ(text, std::string("4096\0", 5));
  EXPECT_EQ(ReadFile(log),
            "execute 7 \"[Stop]\\x00\"\n"
            "request \"FFT Size\" -> \"4096\\x00\"\n"
            "poke \"CalibrationData\" 4 bytes 1 calls fnv1a ce3479bd\n");
}

TEST_F(PeerProgram, AnAnalyserThatLeavesOnlyMakesLaterPokesFail) {
  PeerProcess peer;
  ASSERT_TRUE(peer.Start({"--server-name", serverName_, "--quiet"}));
  monitor_.Produce(20000);
  ASSERT_TRUE(Link().Connect());
  running_ = 1;
  ASSERT_TRUE(Link().DDEPokeCalibrationData());
  peer.Kill();
  EXPECT_FALSE(Link().DDEPokeCalibrationData());
  EXPECT_TRUE(Traced("DDEPokeCalibrationData Failed - DDEML Error code = 16396\n"))  // DMLERR_POSTMSG_FAILED
      << ::testing::PrintToString(Traces());
  EXPECT_FALSE(Link().DDEPokeTimeSeriesData());
  EXPECT_EQ(Link().Disconnect(), 1);
  EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(PeerProgram, NoPeerTracesTheDdemlCodeAndAsks) {
  struct Case {
    ui::DialogResult answer;
    bool goesOn;
  };
  for (const Case& c : {Case{ui::DialogResult::No, false}, Case{ui::DialogResult::Yes, true}}) {
    traces_.Sink().Clear();
    ui_.ExpectMessageBox(kQuestion, c.answer);
    EXPECT_EQ(Link().Connect(), c.goesOn);
    EXPECT_TRUE(Traced("DDEML Error code = 16394\r"))
        << ::testing::PrintToString(Traces());  // DMLERR_NO_CONV_ESTABLISHED
    // Without a conversation the link sends nothing and reports nothing.
    running_ = 1;
    EXPECT_TRUE(Link().DDEPokeCalibrationData());
    EXPECT_TRUE(Link().DDEPokeTimeSeriesData());
    running_ = 0;
    Link().Disconnect();
  }
  EXPECT_TRUE(ui_.AllAnswersUsed());
}

}  // namespace
}  // namespace varnel::test
