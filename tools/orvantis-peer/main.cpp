// orvantis-peer: the analyser's side of the conversation, for tests and for a
// person who wants to watch what the recorder sends. Runs until interrupted.

#include <signal.h>

#include <iostream>
#include <string>

#include "AnalyzerPeer.h"
#include "PeerProgram.h"

int main(int argc, char** argv) {
  varnel::peer::PeerArguments args;
  if (!varnel::peer::ParsePeerArguments(argc, argv, args)) {
    std::cerr << varnel::peer::kPeerUsage;
    return 2;
  }

  // Signals are taken by sigwait below, so the serving thread must not get them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  varnel::peer::TransactionOutput output;
  std::string error;
  if (!output.Open(args, &error)) {
    std::cerr << "orvantis-peer: " << error << "\n";
    return 1;
  }
  varnel::peer::AnalyzerPeer peer(args.options);
  peer.SetObserver([&](const varnel::peer::Transaction& t) { output(t); });
  if (!peer.Start(&error)) {
    std::cerr << "orvantis-peer: " << error << "\n";
    return 1;
  }
  if (!args.quiet) std::cout << "serving " << peer.BusName() << " " << peer.ObjectPath() << "\n";
  std::cout << "ready" << std::endl;

  int received = 0;
  sigwait(&signals, &received);
  peer.Vanish();
  return 0;
}
