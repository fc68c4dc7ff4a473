#pragma once
// Everything an AnalyzerLink over DDEML needs around it in a test: the main
// window's records, a monitor store, scripted answers, an orvantis.ini naming
// a service unique to this test, and the analyser's side, either in-process
// (DdeServer on a thread of its own) or as orvantis-peer.exe.

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "DdeServer.h"
#include "analyzer/AnalyzerLink.h"
#include "platform/QueueMessageLoop.h"
#include "platform/Trace.h"
#include "support/ScriptedUiServices.h"
#include "support/TempDir.h"

namespace varnel::test {

// A service name no other test uses.
std::string UniqueServiceName(const std::string& tag);

// orvantis-peer.exe from beside the test program, serving until the object goes.
class PeerProcess {
 public:
  PeerProcess() = default;
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Returns once the peer says "ready"; false when it ended before that.
  bool Start(const std::vector<std::string>& arguments);
  // Ends the peer at once, as a crash would: no conversation is closed.
  void Kill();

 private:
  PROCESS_INFORMATION process_{};
  HANDLE output_ = nullptr;
};

// The board side of the monitor store: frames produced so far, newest last.
class TestMonitor : public MonitorSource {
 public:
  void Produce(int32_t frames) { produced_ += frames; }
  static int16_t LeftSample(int64_t frame) { return static_cast<int16_t>((frame * 7919) % 65536 - 32768); }
  static int16_t RightSample(int64_t frame) { return static_cast<int16_t>(32767 - (frame * 104729) % 65536); }
  // The newest `frames` frames as they must arrive: L, R, oldest first, little-endian.
  std::vector<uint8_t> ExpectedPayload(int32_t frames) const;
  int ReadMonitorFrames(int32_t count, int32_t wantLeft, int32_t wantRight, int16_t* out, int32_t noOffset) override;

 private:
  int64_t produced_ = 0;
};

class DdeRig : public ::testing::Test {
 protected:
  DdeRig();
  ~DdeRig() override;

  AnalyzerLink& Link();
  // Serves this test's service name in-process.
  peer::DdeServer& StartServer(peer::PeerOptions options = {});
  void WriteServerName(const std::string& name);
  std::vector<std::string> Traces() const { return traces_.Sink().Lines(); }
  bool Traced(const std::string& text) const { return traces_.Sink().Count(text) > 0; }

  TempDir dir_;
  RecorderSettings settings_;
  ChannelSettingsArray channels_;
  std::array<CalibrationRecord, kChannelCount> records_{};
  TestMonitor monitor_;
  platform::QueueMessageLoop loop_;
  ScriptedUiServices ui_;
  int32_t running_ = 0;
  std::string service_;
  std::unique_ptr<peer::DdeServer> server_;
  std::unique_ptr<AnalyzerLink> link_;
  mutable platform::ScopedTraceCapture traces_;
};

}  // namespace varnel::test
