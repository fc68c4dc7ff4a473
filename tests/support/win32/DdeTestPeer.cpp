// The analyser's side over DDE: the project's DDE server.

#include "DdeServer.h"
#include "support/LinkRig.h"

namespace varnel::test {
namespace {

class DdeTestPeer : public TestPeer {
 public:
  explicit DdeTestPeer(peer::PeerOptions options) : server_(std::move(options)) {}
  bool Start(std::string* error) { return server_.Start(error); }

  std::vector<peer::Transaction> Transactions() const override { return server_.Transactions(); }
  bool WaitForCount(std::size_t count, uint32_t timeoutMs) const override {
    return server_.WaitForCount(count, timeoutMs);
  }
  void Clear() override { server_.Clear(); }
  void SetFftAnswer(std::string text) override { server_.SetFftAnswer(std::move(text)); }
  void SetRefuseFft(bool refuse) override { server_.SetRefuseFft(refuse); }
  void SetRefusePokes(bool refuse) override { server_.SetRefusePokes(refuse); }
  void SetReplyDelay(uint32_t milliseconds) override { server_.SetReplyDelay(milliseconds); }
  void Vanish() override { server_.Stop(); }

 private:
  peer::DdeServer server_;
};

}  // namespace

// DDEML's own: DMLERR_NO_CONV_ESTABLISHED, DMLERR_NOTPROCESSED, DMLERR_POKEACKTIMEOUT, DMLERR_POSTMSG_FAILED.
const LinkErrorCodes kLinkErrorCodes = {16394, 16393, 16395, 16396};

ScopedUnreachableBus::ScopedUnreachableBus(const std::string&) {}
ScopedUnreachableBus::~ScopedUnreachableBus() = default;

std::unique_ptr<TestPeer> ServeTestPeer(peer::PeerOptions options, std::string* error) {
  auto peer = std::make_unique<DdeTestPeer>(std::move(options));
  if (!peer->Start(error)) return nullptr;
  return peer;
}

}  // namespace varnel::test
