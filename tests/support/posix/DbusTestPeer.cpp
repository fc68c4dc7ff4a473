// The analyser's side over the session bus: the project's D-Bus peer.

#include <cstdlib>

#include "AnalyzerPeer.h"
#include "support/LinkRig.h"

namespace varnel::test {
namespace {

class DbusTestPeer : public TestPeer {
 public:
  explicit DbusTestPeer(peer::PeerOptions options) : peer_(std::move(options)) {}
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
  void Vanish() override { peer_.Vanish(); }

 private:
  peer::AnalyzerPeer peer_;
};

}  // namespace

// DDEML's numbers as the D-Bus transport reports them (see the README).
const LinkErrorCodes kLinkErrorCodes = {16387, 16389, 16388, 16387};

ScopedUnreachableBus::ScopedUnreachableBus(const std::string& folder) {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  saved_ = address ? address : "";
  ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + folder + "/no-bus").c_str(), 1);
}

ScopedUnreachableBus::~ScopedUnreachableBus() {
  if (saved_.empty()) {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  } else {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", saved_.c_str(), 1);
  }
}

std::unique_ptr<TestPeer> ServeTestPeer(peer::PeerOptions options, std::string* error) {
  auto peer = std::make_unique<DbusTestPeer>(std::move(options));
  if (!peer->Start(error)) return nullptr;
  return peer;
}

}  // namespace varnel::test
