#include "support/LinkRig.h"

#include <algorithm>
#include <atomic>
#include <random>

#include "platform/Messages.h"
#include "transport/PlatformTransport.h"

namespace varnel::test {

namespace {

// Items compare without regard to ASCII case, as the analyser matches them.
bool SameItem(const std::string& a, const std::string& b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::vector<peer::Transaction> TestPeer::Of(peer::Kind kind, const std::string& item) const {
  std::vector<peer::Transaction> out;
  for (const peer::Transaction& t : Transactions()) {
    if (t.kind == kind && (item.empty() || SameItem(t.item, item))) out.push_back(t);
  }
  return out;
}

std::string UniqueServerName(const std::string& tag) {
  static const unsigned long long process = std::random_device{}() & 0xFFFFFF;
  static std::atomic<int> next{0};
  return "VarnelTest_" + tag + "_" + std::to_string(process) + "_" + std::to_string(next++);
}

std::vector<uint8_t> FakeMonitor::ExpectedPayload(int32_t frames) const {
  std::vector<uint8_t> bytes;
  for (int64_t f = produced_ - frames; f < produced_; ++f) {
    for (int16_t v : {LeftSample(f), RightSample(f)}) {
      const auto u = static_cast<uint16_t>(v);
      bytes.push_back(static_cast<uint8_t>(u & 0xFF));
      bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
  }
  return bytes;
}

int FakeMonitor::ReadMonitorFrames(int32_t count, int32_t wantLeft, int32_t wantRight, int16_t* out, int32_t noOffset) {
  EXPECT_EQ(wantLeft, 1);
  EXPECT_EQ(wantRight, 1);
  EXPECT_EQ(noOffset, 0);
  targets.push_back(out);
  if (duringRead) {
    auto once = std::move(duringRead);
    duringRead = nullptr;
    once();
  }
  const int64_t frames = count / 2;
  if (produced_ == 0 || produced_ < frames) return 0;
  for (int64_t i = 0; i < frames; ++i) {
    const int64_t f = produced_ - frames + i;
    out[2 * i] = LeftSample(f);
    out[2 * i + 1] = RightSample(f);
  }
  return 1;
}

std::string ConnectErrorTrace(int code) {
  return "DDEML Error code = " + std::to_string(code) + "\r";
}

namespace {

// The platform's transport with every time-out raised to at least 20 s: the
// answers of an in-process peer are prompt, but not on a machine whose cores
// are busy with other work.
class PatientTransport : public AnalyzerTransport {
 public:
  explicit PatientTransport(std::unique_ptr<AnalyzerTransport> inner) : inner_(std::move(inner)) {}
  bool Initialize() override { return inner_->Initialize(); }
  TransportError Connect(std::string_view service, std::string_view topic, uint32_t timeoutMs) override {
    return inner_->Connect(service, topic, Patient(timeoutMs));
  }
  bool Connected() const override { return inner_->Connected(); }
  TransportError Execute(std::span<const uint8_t> command, uint32_t timeoutMs) override {
    return inner_->Execute(command, Patient(timeoutMs));
  }
  TransportError Request(std::string_view item, std::string& text, uint32_t timeoutMs) override {
    return inner_->Request(item, text, Patient(timeoutMs));
  }
  TransportError Poke(std::string_view item, std::span<const uint8_t> payload, uint32_t timeoutMs) override {
    return inner_->Poke(item, payload, Patient(timeoutMs));
  }
  void DisconnectConversation() override { inner_->DisconnectConversation(); }
  int Uninitialize() override { return inner_->Uninitialize(); }

 private:
  static uint32_t Patient(uint32_t timeoutMs) { return std::max<uint32_t>(timeoutMs, 20000); }
  std::unique_ptr<AnalyzerTransport> inner_;
};

}  // namespace

LinkRig::LinkRig()
    : settings_(DefaultRecorderSettings()), channels_(DefaultChannels()), serverName_(UniqueServerName("rig")) {
  WriteServerName(serverName_);
  loop_.SetHandler(this);
}

LinkRig::~LinkRig() {
  link_.reset();
  peer_.reset();
}

void LinkRig::WriteServerName(const std::string& name) {
  WriteFile(dir_.File("orvantis.ini"), "[DDE]\r\nServerName=" + name + "\r\n");
}

TestPeer& LinkRig::StartPeer(peer::PeerOptions options) {
  options.serverName = serverName_;
  std::string error;
  peer_ = ServeTestPeer(options, &error);
  EXPECT_NE(nullptr, peer_) << error;
  if (!peer_) std::abort();
  return *peer_;
}

AnalyzerLink& LinkRig::Link() {
  if (!link_) {
    AnalyzerLinkContext context;
    context.settings = &settings_;
    context.channels = &channels_;
    context.calibrationRecords = &records_;
    context.monitor = &monitor_;
    context.loop = &loop_;
    context.ui = &ui_;
    context.bIsRunning = &running_;
    context.analyzerSettingsPath = dir_.File("orvantis.ini");
    std::unique_ptr<AnalyzerTransport> transport = MakePlatformTransport();
    if (!linksTimeOuts_) transport = std::make_unique<PatientTransport>(std::move(transport));
    link_ = std::make_unique<AnalyzerLink>(context, std::move(transport));
  }
  return *link_;
}

void LinkRig::ConnectAndPrepare() {
  ASSERT_TRUE(Link().Connect());
  Link().PrepareAnalyzer();
}

std::size_t LinkRig::Drain(int rounds) {
  std::size_t total = 0;
  for (int i = 0; i < rounds && loop_.PendingCount() > 0; ++i) total += loop_.DispatchPending();
  return total;
}

intptr_t LinkRig::HandleMessage(const platform::Message& message) {
  if (message.id == platform::WM_POKE_CALIBRATION) return Link().OnPokeCalibration();
  if (message.id == platform::WM_TIMER) Link().DDEPokeTimeSeriesData();
  return 0;
}

}  // namespace varnel::test
