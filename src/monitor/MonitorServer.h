#pragma once
// The monitor's end of the conversation: serves the bus name through the
// analyser peer, screens every transaction before it is answered, and hands
// what it accepted to the window's thread. The newest time-series block wins:
// a slow window skips blocks, the serving thread never waits for it.
//
// Start, SetFftSize and Take are called on the window's thread; the wake-up
// function runs on the serving thread and must return at once.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AnalyzerPeer.h"
#include "monitor/LinkScreen.h"
#include "wave/CalibrationRecord.h"

namespace varnel::monitor {

enum class EventKind { Command, Calibration, FftRequest, Refusal };

struct LinkEvent {
  EventKind kind = EventKind::Command;
  Command command;
  CalibrationRecord calibration{};
  std::string text;  // the answer to a request or the reason of a refusal
};

struct Mail {
  std::vector<LinkEvent> events;
  bool hasBlock = false;
  std::vector<int16_t> block;  // interleaved Left, Right
  uint64_t skippedBlocks = 0;  // arrived since the last Take but never taken
};

// ServerName from [DDE] of the analyser settings file, "Orvantis" without one.
std::string ServerNameFromSettings(const std::string& iniPath);

class MonitorServer {
 public:
  MonitorServer(std::string serverName, uint32_t fftSize);
  ~MonitorServer();

  bool Start(std::string* error);
  // Leaves the bus; nothing arrives or wakes anyone afterwards.
  void Stop();
  const std::string& BusName() const { return peer_.BusName(); }
  // False once the bus has gone away (or after Stop).
  bool Serving() const { return peer_.Serving(); }
  const std::string& ServerName() const { return serverName_; }
  // The answer to "FFT Size" from now on.
  void SetFftSize(uint32_t size);
  // Called once after something arrives, until the next Take.
  void SetWake(std::function<void()> wake);
  // Moves what arrived into `mail`; its block buffer is kept for reuse.
  void Take(Mail& mail);
  // What pokes begun and not finished hold: at most one per item it knows.
  std::size_t UnfinishedPokeBytes() const { return peer_.UnfinishedPokeBytes(); }
  std::size_t UnfinishedPokes() const { return peer_.UnfinishedPokes(); }

 private:
  void Arrived(const peer::Transaction& transaction);

  std::string serverName_;
  peer::AnalyzerPeer peer_;
  std::mutex mutex_;
  std::vector<LinkEvent> events_;
  std::vector<int16_t> block_;
  bool hasBlock_ = false;
  uint64_t skipped_ = 0;
  std::function<void()> wake_;
  std::atomic<bool> woken_{false};
};

}  // namespace varnel::monitor
