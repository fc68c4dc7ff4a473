// The analyser's side over DDE: the project's DDE server.

#include "DdeServer.h"
#include "support/LinkRig.h"

namespace varnel::test {

// Its windows go with its thread: every conversation ends unanswered.
template <>
void PeerServing<peer::DdeServer>::Vanish() {
  peer_.Stop();
}

// DDEML's own: DMLERR_NO_CONV_ESTABLISHED, DMLERR_NOTPROCESSED, DMLERR_POKEACKTIMEOUT, DMLERR_POSTMSG_FAILED.
const LinkErrorCodes kLinkErrorCodes = {16394, 16393, 16395, 16396};

std::unique_ptr<TestPeer> ServeTestPeer(peer::PeerOptions options, std::string* error) {
  auto peer = std::make_unique<PeerServing<peer::DdeServer>>(std::move(options));
  if (!peer->Start(error)) return nullptr;
  return peer;
}

// No bus to lose over DDE.
ScopedUnreachableBus::ScopedUnreachableBus(const std::string&) {}
ScopedUnreachableBus::~ScopedUnreachableBus() = default;

}  // namespace varnel::test
