#pragma once
// Everything an AnalyzerLink needs around it in a test, over this platform's
// transport (the session bus on Linux, DDE on Windows): the main window's
// records, a stand-in for the board's monitor store, a message loop, scripted
// answers, an orvantis.ini naming a server unique to the test, and the
// analyser's side served in-process by the platform's peer.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PeerTransaction.h"
#include "analyzer/AnalyzerLink.h"
#include "platform/Clock.h"
#include "platform/QueueMessageLoop.h"
#include "platform/Trace.h"
#include "support/ScriptedUiServices.h"
#include "support/TempDir.h"

namespace varnel::test {

// The analyser's side of the conversation as a test drives it.
class TestPeer {
 public:
  virtual ~TestPeer() = default;
  virtual std::vector<peer::Transaction> Transactions() const = 0;
  std::vector<peer::Transaction> Of(peer::Kind kind, const std::string& item = {}) const;
  // Waits (real time) until at least `count` transactions have arrived.
  virtual bool WaitForCount(std::size_t count, uint32_t timeoutMs) const = 0;
  virtual void Clear() = 0;
  virtual void SetFftAnswer(std::string text) = 0;
  virtual void SetRefuseFft(bool refuse) = 0;
  virtual void SetRefusePokes(bool refuse) = 0;
  virtual void SetReplyDelay(uint32_t milliseconds) = 0;
  // Leaves at once, as a crash would: nothing pending is answered.
  virtual void Vanish() = 0;
};

// A TestPeer over one of the project's peers (the D-Bus peer, the DDE server),
// which take and keep the same options and transactions.
template <typename Peer>
class PeerServing : public TestPeer {
 public:
  explicit PeerServing(peer::PeerOptions options) : peer_(std::move(options)) {}
  bool Start(std::string* error) { return peer_.Start(error); }

  std::vector<peer::Transaction> Transactions() const override { return peer_.Transactions(); }
  bool WaitForCount(std::size_t count, uint32_t timeoutMs) const override {
    return peer_.WaitForCount(count, timeoutMs);
  }
  void Clear() override { peer_.Clear(); }
  void SetFftAnswer(std::string text) override { peer_.SetFftAnswer(std::move(text)); }
  void SetRefuseFft(bool refuse) override { peer_.SetRefuseFft(refuse); }
  void SetRefusePokes(bool refuse) override { peer_.SetRefusePokes(refuse); }
  void SetReplyDelay(uint32_t milliseconds) override { peer_.SetReplyDelay(milliseconds); }
  void Vanish() override;  // each platform's file says how its peer leaves

 private:
  Peer peer_;
};

// Serves options.serverName over this platform's transport; nullptr, with the
// reason in `error`, when it cannot.
std::unique_ptr<TestPeer> ServeTestPeer(peer::PeerOptions options, std::string* error = nullptr);
// The transport's codes in the link's traces ("DDEML Error code = %d").
struct LinkErrorCodes {
  int noAnalyser;  // nobody serves the name
  int refused;     // the analyser refused the transaction
  int pokeTimeOut;
  int gone;  // the analyser left during the conversation
};
extern const LinkErrorCodes kLinkErrorCodes;
// "DDEML Error code = <code>" ended as the connect trace ends it.
std::string ConnectErrorTrace(int code);

// While it lives, the link's transport cannot reach its bus (there is no such
// thing over DDE: then it changes nothing).
class ScopedUnreachableBus {
 public:
  explicit ScopedUnreachableBus(const std::string& folder);
  ~ScopedUnreachableBus();
  ScopedUnreachableBus(const ScopedUnreachableBus&) = delete;
  ScopedUnreachableBus& operator=(const ScopedUnreachableBus&) = delete;

 private:
  std::string saved_;
};

// A server name no other test process uses.
std::string UniqueServerName(const std::string& tag);
// Skips the test where the link needs a session bus and none is there
// (./test.sh provides one); DDE needs none.
#ifdef _WIN32
#define VARNEL_REQUIRE_SESSION_BUS() \
  do {                               \
  } while (0)
#else
#define VARNEL_REQUIRE_SESSION_BUS()                                          \
  do {                                                                        \
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS"))                             \
      GTEST_SKIP() << "no session bus; run the tests under dbus-run-session"; \
  } while (0)
#endif

// The board side of the monitor store: frames it produced, newest last.
class FakeMonitor : public MonitorSource {
 public:
  // Appends frames whose samples follow from their position.
  void Produce(int32_t frames) { produced_ += frames; }
  static int16_t LeftSample(int64_t frame) { return static_cast<int16_t>((frame * 7919) % 65536 - 32768); }
  static int16_t RightSample(int64_t frame) { return static_cast<int16_t>(32767 - (frame * 104729) % 65536); }
  // The newest `frames` frames as the link must send them: L, R, oldest first, little-endian.
  std::vector<uint8_t> ExpectedPayload(int32_t frames) const;

  int ReadMonitorFrames(int32_t count, int32_t wantLeft, int32_t wantRight, int16_t* out, int32_t noOffset) override;

  std::vector<const int16_t*> targets;  // where each read wrote
  std::function<void()> duringRead;     // runs once inside the next read, as a dispatched message would

 private:
  int64_t produced_ = 0;
};

class LinkRig : public ::testing::Test, public platform::MessageHandler {
 protected:
  LinkRig();
  ~LinkRig() override;

  // Owns the server name of this test's orvantis.ini.
  TestPeer& StartPeer(peer::PeerOptions options = {});
  AnalyzerLink& Link();
  // Before the first Link(): the link keeps its own short time-outs, for the
  // tests of what it does when they run out. Without this every call may wait
  // long (PatientTransport), so a busy machine cannot fail a test that did not
  // ask for a time-out.
  void KeepTheLinksTimeOuts() { linksTimeOuts_ = true; }
  void WriteServerName(const std::string& name);
  // Connects to the running peer and sends the start-of-run commands.
  void ConnectAndPrepare();
  // Runs the loop until nothing is left to dispatch (at most `rounds` rounds).
  std::size_t Drain(int rounds = 50);
  intptr_t HandleMessage(const platform::Message& message) override;
  std::vector<std::string> Traces() const { return traces_.Sink().Lines(); }
  std::size_t TraceCount(const std::string& text) const { return traces_.Sink().Count(text); }
  bool Traced(const std::string& text) const { return TraceCount(text) > 0; }

  TempDir dir_;
  RecorderSettings settings_;
  ChannelSettingsArray channels_;
  std::array<CalibrationRecord, kChannelCount> records_{};
  FakeMonitor monitor_;
  platform::QueueMessageLoop loop_;
  ScriptedUiServices ui_;
  int32_t running_ = 0;
  std::string serverName_;
  std::unique_ptr<TestPeer> peer_;
  std::unique_ptr<AnalyzerLink> link_;
  bool linksTimeOuts_ = false;
  mutable platform::ScopedTraceCapture traces_;
  // Timers fire only when a test says so.
  platform::FakeClock clock_;
  platform::ScopedClock scopedClock_{clock_};
};

}  // namespace varnel::test
