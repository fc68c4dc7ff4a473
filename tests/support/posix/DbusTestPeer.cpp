// The analyser's side over the session bus: the project's D-Bus peer.

#include <cstdlib>

#include "AnalyzerPeer.h"
#include "support/LinkRig.h"

namespace varnel::test {

template <>
void PeerServing<peer::AnalyzerPeer>::Vanish() {
  peer_.Vanish();
}

// DDEML's numbers as the D-Bus transport reports them (see the README).
const LinkErrorCodes kLinkErrorCodes = {16387, 16389, 16388, 16387};

std::unique_ptr<TestPeer> ServeTestPeer(peer::PeerOptions options, std::string* error) {
  auto peer = std::make_unique<PeerServing<peer::AnalyzerPeer>>(std::move(options));
  if (!peer->Start(error)) return nullptr;
  return peer;
}

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

}  // namespace varnel::test
