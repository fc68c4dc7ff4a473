// orvantis-peer: the analyser's side of the conversation, for tests and for a
// person who wants to watch what the recorder sends. Runs until interrupted.

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

#include "AnalyzerPeer.h"
#include "TransactionLog.h"

namespace {

using varnel::peer::Kind;
using varnel::peer::Transaction;

constexpr const char* kUsage =
    "usage: orvantis-peer [options]\n"
    "  --server-name NAME   the ServerName to serve (default Orvantis)\n"
    "  --fft-size TEXT      the answer to \"FFT Size\" (default 16384; any text)\n"
    "  --refuse-fft         refuse the \"FFT Size\" request\n"
    "  --refuse-commands    refuse every command\n"
    "  --refuse-pokes       refuse every poke\n"
    "  --delay MS           answer every transaction MS milliseconds late\n"
    "  --record FILE        append one line per transaction to FILE\n"
    "  --dump-dir DIR       write each poke payload to DIR/<n>-<item>.bin\n"
    "  --quiet              print nothing but the ready line\n";

bool ParseArguments(int argc, char** argv, varnel::peer::PeerOptions& options, std::string& record,
                    std::string& dumpDir, bool& quiet) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--server-name") {
      if (!value(options.serverName)) return false;
    } else if (arg == "--fft-size") {
      if (!value(options.fftAnswer)) return false;
    } else if (arg == "--refuse-fft") {
      options.refuseFft = true;
    } else if (arg == "--refuse-commands") {
      options.refuseCommands = true;
    } else if (arg == "--refuse-pokes") {
      options.refusePokes = true;
    } else if (arg == "--delay") {
      if (!value(text)) return false;
      char* end = nullptr;
      unsigned long ms = std::strtoul(text.c_str(), &end, 10);
      if (end == text.c_str() || *end || ms > 600000) return false;
      options.replyDelayMs = static_cast<uint32_t>(ms);
    } else if (arg == "--record") {
      if (!value(record)) return false;
    } else if (arg == "--dump-dir") {
      if (!value(dumpDir)) return false;
    } else if (arg == "--quiet") {
      quiet = true;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  varnel::peer::PeerOptions options;
  std::string recordPath;
  std::string dumpDir;
  bool quiet = false;
  if (!ParseArguments(argc, argv, options, recordPath, dumpDir, quiet)) {
    std::cerr << kUsage;
    return 2;
  }

  // Signals are taken by sigwait below, so the serving thread must not get them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  std::ofstream record;
  if (!recordPath.empty()) {
    record.open(recordPath, std::ios::app);
    if (!record) {
      std::cerr << "orvantis-peer: cannot write " << recordPath << "\n";
      return 1;
    }
  }

  varnel::peer::AnalyzerPeer peer(options);
  std::mutex outputMutex;
  unsigned pokeNumber = 0;
  peer.SetObserver([&](const Transaction& t) {
    std::lock_guard lock(outputMutex);
    const std::string line = varnel::peer::DescribeTransaction(t);
    if (!quiet) std::cout << line << std::endl;
    if (record.is_open()) record << line << std::endl;
    if (t.kind == Kind::Poke && !dumpDir.empty()) {
      std::ofstream dump(dumpDir + "/" + std::to_string(++pokeNumber) + "-" + t.item + ".bin", std::ios::binary);
      dump.write(reinterpret_cast<const char*>(t.bytes.data()), static_cast<std::streamsize>(t.bytes.size()));
    }
  });

  std::string error;
  if (!peer.Start(&error)) {
    std::cerr << "orvantis-peer: " << error << "\n";
    return 1;
  }
  if (!quiet) std::cout << "serving " << peer.BusName() << " " << peer.ObjectPath() << "\n";
  std::cout << "ready" << std::endl;

  int received = 0;
  sigwait(&signals, &received);
  peer.Vanish();
  return 0;
}
