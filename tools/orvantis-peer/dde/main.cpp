// orvantis-peer.exe: the analyser's side of the DDE conversation, for tests
// and for a person who wants to watch what the recorder sends. Runs until
// Ctrl+C, Ctrl+Break or the console closes.

#include <windows.h>

#include <iostream>
#include <string>

#include "DdeServer.h"
#include "PeerProgram.h"

namespace {

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
  SetEvent(g_stop);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  varnel::peer::PeerArguments args;
  if (!varnel::peer::ParsePeerArguments(argc, argv, args)) {
    std::cerr << varnel::peer::kPeerUsage;
    return 2;
  }
  varnel::peer::TransactionOutput output;
  std::string error;
  if (!output.Open(args, &error)) {
    std::cerr << "orvantis-peer: " << error << "\n";
    return 1;
  }
  varnel::peer::DdeServer server(args.options);
  server.SetObserver([&](const varnel::peer::Transaction& t) { output(t); });

  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  if (!g_stop || !server.Start(&error)) {
    std::cerr << "orvantis-peer: " << (g_stop ? error : std::string("cannot create an event")) << "\n";
    return 1;
  }
  if (!args.quiet) std::cout << "serving " << args.options.serverName << " " << args.options.topic << "\n";
  std::cout << "ready" << std::endl;

  WaitForSingleObject(g_stop, INFINITE);
  server.Stop();
  return 0;
}
