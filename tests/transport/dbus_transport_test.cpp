// The conversation's wire on the session bus, against the analyser peer.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "AnalyzerPeer.h"
#include "support/TempDir.h"
#include "transport/dbus/DbusNames.h"
#include "transport/dbus/DbusTransport.h"

namespace varnel::test {
namespace {

using peer::AnalyzerPeer;
using peer::Kind;
using transport::dbus::ServiceBusName;
using transport::dbus::TopicObjectPath;

std::string UniqueName(const std::string& tag) {
  static std::atomic<int> next{0};
  return "Wire_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(next++);
}

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(DbusNames, ServiceAndTopicBecomeValidNamesWithoutRegardToCase) {
  EXPECT_EQ(ServiceBusName("Orvantis"), "org.varnel.dde.orvantis");
  EXPECT_EQ(ServiceBusName("ORVANTIS"), "org.varnel.dde.orvantis");
  EXPECT_EQ(ServiceBusName("My Analyser 2"), "org.varnel.dde.my_20analyser_202");
  EXPECT_EQ(ServiceBusName("3D"), "org.varnel.dde._33d");
  EXPECT_EQ(ServiceBusName("a_b.c"), "org.varnel.dde.a_5fb_2ec");
  EXPECT_EQ(ServiceBusName(""), "");
  EXPECT_EQ(TopicObjectPath("Data"), "/org/varnel/dde/data");
  EXPECT_EQ(TopicObjectPath(""), "");

  // Every byte value, and the longest ServerName the settings file can hold.
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  for (const std::string& name :
       {all.substr(0, 79), all.substr(79, 79), all.substr(158, 79), std::string(79, '\xff')}) {
    const std::string bus = ServiceBusName(name);
    ASSERT_FALSE(bus.empty());
    EXPECT_TRUE(sd_bus_service_name_is_valid(bus.c_str())) << bus;
    EXPECT_TRUE(sd_bus_object_path_is_valid(TopicObjectPath(name).c_str()));
  }
  EXPECT_EQ(ServiceBusName(std::string(81, '.')), "") << "longer than a bus name may be";
}

class Wire : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus; run under dbus-run-session";
    name_ = UniqueName("t");
  }
  AnalyzerPeer& Peer(peer::PeerOptions options = {}) {
    options.serverName = name_;
    peer_ = std::make_unique<AnalyzerPeer>(options);
    std::string error;
    EXPECT_TRUE(peer_->Start(&error)) << error;
    return *peer_;
  }
  std::unique_ptr<AnalyzerTransport> Connected() {
    auto t = MakeDbusTransport();
    EXPECT_TRUE(t->Initialize());
    EXPECT_EQ(t->Connect(name_, "Data", 1000), TransportError::None);
    EXPECT_TRUE(t->Connected());
    return t;
  }

  std::string name_;
  std::unique_ptr<AnalyzerPeer> peer_;
};

TEST_F(Wire, CallsNeedAnInitialisedBusAndAConversation) {
  auto t = MakeDbusTransport();
  std::string text;
  EXPECT_EQ(t->Execute(Bytes("x"), 100), TransportError::NotInitialised);
  EXPECT_EQ(t->Connect(name_, "Data", 100), TransportError::NotInitialised);
  ASSERT_TRUE(t->Initialize());
  EXPECT_EQ(t->Request("FFT Size", text, 100), TransportError::NoConversation);
  EXPECT_EQ(t->Connect(name_, "Data", 1000), TransportError::ServiceNotFound) << "nobody owns the name";
  EXPECT_FALSE(t->Connected());
  EXPECT_EQ(t->Connect("", "Data", 1000), TransportError::ServiceNotFound);
  EXPECT_EQ(t->Uninitialize(), 1);
}

TEST_F(Wire, TransactionsArriveAsSent) {
  auto& peer = Peer({.fftAnswer = "4096"});
  auto t = Connected();
  const std::string command("[Stop]\0", 7);
  EXPECT_EQ(t->Execute(Bytes(command), 1000), TransportError::None);
  std::string text;
  EXPECT_EQ(t->Request("fft size", text, 100), TransportError::None);
  EXPECT_EQ(text, std::string("4096\0", 5));
  EXPECT_EQ(t->Request("WaveData", text, 100), TransportError::Refused);
  const std::string payload("\x00\x01\xff\x80", 4);
  EXPECT_EQ(t->Poke("CalibrationData", Bytes(payload), 100), TransportError::None);
  EXPECT_EQ(t->Poke("Empty", {}, 100), TransportError::None);

  const auto all = peer.Transactions();
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0].kind, Kind::Execute);
  EXPECT_EQ(std::string(all[0].bytes.begin(), all[0].bytes.end()), command);
  EXPECT_EQ(all[1].item, "fft size");
  EXPECT_EQ(all[3].item, "CalibrationData");
  EXPECT_EQ(std::string(all[3].bytes.begin(), all[3].bytes.end()), payload);
  EXPECT_TRUE(all[4].bytes.empty());
}

TEST_F(Wire, LargePokesTravelInSlicesAndArriveWhole) {
  auto& peer = Peer();
  auto t = Connected();
  for (std::size_t size :
       {std::size_t{1} << 20, transport::dbus::kMaxPokeChunkBytes, 2 * transport::dbus::kMaxPokeChunkBytes + 3}) {
    std::vector<uint8_t> payload(size);
    for (std::size_t i = 0; i < size; ++i) payload[i] = static_cast<uint8_t>(i * 31 + i / 4096);
    peer.Clear();
    ASSERT_EQ(t->Poke("TimeSeriesData", payload, 2000), TransportError::None) << size;
    const auto pokes = peer.Of(Kind::Poke);
    ASSERT_EQ(pokes.size(), 1u);
    EXPECT_EQ(pokes[0].calls, (size + transport::dbus::kMaxPokeChunkBytes - 1) / transport::dbus::kMaxPokeChunkBytes);
    EXPECT_TRUE(pokes[0].bytes == payload) << size;
  }
}

TEST_F(Wire, RefusalsAndTimeOutsAreTheirOwnCodes) {
  auto& peer = Peer({.refusePokes = true});
  auto t = Connected();
  EXPECT_EQ(t->Poke("CalibrationData", Bytes("abc"), 100), TransportError::Refused);
  // A time-out only when the call gave up before the reply came, however busy the machine.
  peer.SetReplyDelay(1500);
  std::string text;
  EXPECT_EQ(t->Request("FFT Size", text, 100), TransportError::Timeout);
  // The late reply arrives while nobody waits for it; the next call gets its own.
  ::usleep(2000 * 1000);
  peer.SetReplyDelay(0);
  peer.SetFftAnswer("512");
  EXPECT_EQ(t->Request("FFT Size", text, 1000), TransportError::None);
  EXPECT_EQ(text, std::string("512\0", 4));
}

TEST_F(Wire, AConversationEndsWithThePeerThatOwnedTheName) {
  auto& first = Peer();
  auto t = Connected();
  first.Vanish();
  EXPECT_EQ(t->Execute(Bytes("a"), 1000), TransportError::ServiceNotFound);

  AnalyzerPeer second({.serverName = name_});
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(t->Execute(Bytes("b"), 1000), TransportError::ServiceNotFound) << "a new owner is a new conversation";
  EXPECT_TRUE(second.Transactions().empty());
  ASSERT_EQ(t->Connect(name_, "Data", 1000), TransportError::None);
  EXPECT_EQ(t->Execute(Bytes("c"), 1000), TransportError::None);
  EXPECT_EQ(second.Transactions().size(), 1u);
  t->DisconnectConversation();
  EXPECT_FALSE(t->Connected());
  EXPECT_EQ(t->Execute(Bytes("d"), 1000), TransportError::NoConversation);
}

TEST_F(Wire, PeerOwnsANameOnlyOnce) {
  Peer();
  AnalyzerPeer twin({.serverName = name_});
  std::string error;
  EXPECT_FALSE(twin.Start(&error));
  EXPECT_NE(error.find("cannot own"), std::string::npos) << error;
}

// The program a person runs beside the recorder, run the same way here.
TEST_F(Wire, PeerProgramServesAndRecords) {
  const char* buildDir = std::getenv("VARNEL_BUILD_DIR");
  ASSERT_NE(buildDir, nullptr);
  TempDir dir;
  const std::string record = dir.File("record.txt");
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    const std::string program = std::string(buildDir) + "/bin/orvantis-peer";
    ::execl(program.c_str(), program.c_str(), "--server-name", name_.c_str(), "--fft-size", "4096", "--record",
            record.c_str(), "--quiet", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  FILE* childOut = ::fdopen(out[0], "r");
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, childOut), nullptr) << "the peer did not start";
  EXPECT_STREQ(line, "ready\n");

  auto t = Connected();
  EXPECT_EQ(t->Execute(Bytes(std::string("[Stop]\0", 7)), 1000), TransportError::None);
  std::string text;
  EXPECT_EQ(t->Request("FFT Size", text, 1000), TransportError::None);
  EXPECT_EQ(t->Poke("CalibrationData", Bytes("abcd"), 1000), TransportError::None);
  ::kill(child, SIGTERM);
  int status = 0;
  ::waitpid(child, &status, 0);
  std::fclose(childOut);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(text, std::string("4096\0", 5));
  EXPECT_EQ(ReadFile(record),
            "execute 7 \"[Stop]\\x00\"\n"
            "request \"FFT Size\" -> \"4096\\x00\"\n"
            "poke \"CalibrationData\" 4 bytes 1 calls fnv1a ce3479bd\n");
}

}  // namespace
}  // namespace varnel::test
