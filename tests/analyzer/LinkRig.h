#pragma once
// Everything an AnalyzerLink needs around it in a test: the main window's
// records, a stand-in for the board's monitor store, a message loop, scripted
// answers, an orvantis.ini naming a server unique to this test, and the peer.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AnalyzerPeer.h"
#include "analyzer/AnalyzerLink.h"
#include "platform/Clock.h"
#include "platform/QueueMessageLoop.h"
#include "platform/Trace.h"
#include "support/ScriptedUiServices.h"
#include "support/TempDir.h"

namespace varnel::test {

// A server name no other test process uses.
std::string UniqueServerName(const std::string& tag);
// Skips the test unless a session bus is there (./test.sh provides one).
#define VARNEL_REQUIRE_SESSION_BUS()                                          \
  do {                                                                        \
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS"))                             \
      GTEST_SKIP() << "no session bus; run the tests under dbus-run-session"; \
  } while (0)

// The board side of the monitor store: frames it produced, newest last.
class FakeMonitor : public MonitorSource {
 public:
  // Appends frames whose samples follow from their position.
  void Produce(int32_t frames);
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
  peer::AnalyzerPeer& StartPeer(peer::PeerOptions options = {});
  AnalyzerLink& Link();
  void WriteServerName(const std::string& name);
  // Connects to the running peer and sends the start-of-run commands.
  void ConnectAndPrepare();
  // Runs the loop until nothing is left to dispatch (at most `rounds` rounds).
  std::size_t Drain(int rounds = 50);
  intptr_t HandleMessage(const platform::Message& message) override;
  std::vector<std::string> Traces() const { return traces_.Sink().Lines(); }
  std::size_t TraceCount(const std::string& text) const { return traces_.Sink().Count(text); }

  TempDir dir_;
  RecorderSettings settings_;
  ChannelSettingsArray channels_;
  std::array<CalibrationRecord, kChannelCount> records_{};
  FakeMonitor monitor_;
  platform::QueueMessageLoop loop_;
  ScriptedUiServices ui_;
  int32_t running_ = 0;
  std::string serverName_;
  std::unique_ptr<peer::AnalyzerPeer> peer_;
  std::unique_ptr<AnalyzerLink> link_;
  mutable platform::ScopedTraceCapture traces_;
  // Timers fire only when a test says so.
  platform::FakeClock clock_;
  platform::ScopedClock scopedClock_{clock_};
};

}  // namespace varnel::test
