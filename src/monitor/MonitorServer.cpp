#include "monitor/MonitorServer.h"

#include <cstring>

#include "platform/Profile.h"

namespace varnel::monitor {
namespace {

peer::PeerOptions OptionsFor(const std::string& serverName, uint32_t fftSize) {
  peer::PeerOptions options;
  options.serverName = serverName;
  options.fftAnswer = std::to_string(fftSize);
  options.keepTransactions = false;
  return options;
}

}  // namespace

std::string ServerNameFromSettings(const std::string& iniPath) {
  return platform::ReadProfileString(iniPath, "DDE", "ServerName", "Orvantis", 80);
}

MonitorServer::MonitorServer(std::string serverName, uint32_t fftSize)
    : serverName_(std::move(serverName)), peer_(OptionsFor(serverName_, fftSize)) {
  peer_.SetScreen([](const peer::Transaction& t) { return Screen(t); });
  peer_.SetPokeStartScreen([](const std::string& item, uint32_t total) { return ScreenPokeStart(item, total); });
  peer_.SetObserver([this](const peer::Transaction& t) { Arrived(t); });
}

MonitorServer::~MonitorServer() {
  peer_.Vanish();
}

bool MonitorServer::Start(std::string* error) {
  return peer_.Start(error);
}

void MonitorServer::Stop() {
  peer_.Vanish();
}

void MonitorServer::SetFftSize(uint32_t size) {
  peer_.SetFftAnswer(std::to_string(size));
}

void MonitorServer::SetWake(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

void MonitorServer::Arrived(const peer::Transaction& t) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    LinkEvent event;
    if (!t.accepted) {
      event.kind = EventKind::Refusal;
      // An item name too long to be one is not repeated (the peer left it out).
      const char* what = t.kind == peer::Kind::Execute ? "command" : "item";
      event.text = (t.item.empty() ? std::string(what) : t.item) + " refused: " + t.refusal;
      events_.push_back(std::move(event));
    } else if (t.kind == peer::Kind::Execute) {
      event.command = *ParseCommand(t.bytes);
      events_.push_back(std::move(event));
    } else if (t.kind == peer::Kind::Request) {
      event.kind = EventKind::FftRequest;
      event.text.assign(t.bytes.begin(), t.bytes.end());
      event.text = event.text.substr(0, event.text.find('\0'));
      events_.push_back(std::move(event));
    } else if (peer::SameItem(t.item, kCalibrationItem)) {
      event.kind = EventKind::Calibration;
      std::memcpy(&event.calibration, t.bytes.data(), sizeof event.calibration);
      events_.push_back(std::move(event));
    } else {
      if (hasBlock_) ++skipped_;
      block_.resize(t.bytes.size() / 2);
      std::memcpy(block_.data(), t.bytes.data(), block_.size() * 2);
      hasBlock_ = true;
    }
    if (!woken_.exchange(true)) wake = wake_;
  }
  if (wake) wake();
}

void MonitorServer::Take(Mail& mail) {
  std::lock_guard lock(mutex_);
  woken_ = false;
  mail.events.clear();
  mail.events.swap(events_);
  mail.hasBlock = hasBlock_;
  if (hasBlock_) std::swap(mail.block, block_);
  hasBlock_ = false;
  mail.skippedBlocks = skipped_;
  skipped_ = 0;
}

}  // namespace varnel::monitor
