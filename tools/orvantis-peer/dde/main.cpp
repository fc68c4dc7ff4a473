// orvantis-peer.exe: the analyser's side of the DDE conversation, for tests
// and for a person who wants to watch what the recorder sends. Runs until
// Ctrl+C, Ctrl+Break or the console closes.

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>

#include "DdeServer.h"
#include "TransactionLog.h"

namespace {

using varnel::peer::PeerOptions;
using varnel::peer::Transaction;
using varnel::peer::Kind;

constexpr const char* kUsage =
    "usage: orvantis-peer [options]\n"
    "  --server-name NAME   the DDE service to serve (default Orvantis; topic Data)\n"
    "  --fft-size TEXT      the answer to \"FFT Size\" (default 16384; any text)\n"
    "  --refuse-fft         refuse the \"FFT Size\" request\n"
    "  --refuse-commands    refuse every command\n"
    "  --refuse-pokes       refuse every poke\n"
    "  --delay MS           answer every transaction MS milliseconds late\n"
    "  --record FILE        append one line per transaction to FILE\n"
    "  --dump-dir DIR       write each poke payload to DIR\\<n>-<item>.bin\n"
    "  --quiet              print nothing but the ready line\n";

struct Arguments {
  PeerOptions options;
  std::string record;
  std::string dumpDir;
  bool quiet = false;
};

bool ParseArguments(int argc, char** argv, Arguments& out) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= argc) return false;
      target = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--server-name") {
      if (!value(out.options.serverName)) return false;
    } else if (arg == "--fft-size") {
      if (!value(out.options.fftAnswer)) return false;
    } else if (arg == "--refuse-fft") {
      out.options.refuseFft = true;
    } else if (arg == "--refuse-commands") {
      out.options.refuseCommands = true;
    } else if (arg == "--refuse-pokes") {
      out.options.refusePokes = true;
    } else if (arg == "--delay") {
      if (!value(text)) return false;
      char* end = nullptr;
      const unsigned long ms = std::strtoul(text.c_str(), &end, 10);
      if (end == text.c_str() || *end || ms > 600000) return false;
      out.options.replyDelayMs = static_cast<uint32_t>(ms);
    } else if (arg == "--record") {
      if (!value(out.record)) return false;
    } else if (arg == "--dump-dir") {
      if (!value(out.dumpDir)) return false;
    } else if (arg == "--quiet") {
      out.quiet = true;
    } else {
      return false;
    }
  }
  return true;
}

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
  SetEvent(g_stop);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!ParseArguments(argc, argv, args)) {
    std::cerr << kUsage;
    return 2;
  }
  std::ofstream record;
  if (!args.record.empty()) {
    // Byte for byte the Linux peer's log: lines end in "\n" here too.
    record.open(args.record, std::ios::app | std::ios::binary);
    if (!record) {
      std::cerr << "orvantis-peer: cannot write " << args.record << "\n";
      return 1;
    }
  }

  varnel::peer::DdeServer server(args.options);
  std::mutex outputMutex;
  unsigned pokeNumber = 0;
  server.SetObserver([&](const Transaction& t) {
    std::lock_guard lock(outputMutex);
    const std::string line = varnel::peer::DescribeTransaction(t);
    if (!args.quiet) std::cout << line << std::endl;
    if (record.is_open()) record << line << std::endl;
    if (t.kind == Kind::Poke && !args.dumpDir.empty()) {
      std::ofstream dump(args.dumpDir + "\\" + std::to_string(++pokeNumber) + "-" + t.item + ".bin", std::ios::binary);
      dump.write(reinterpret_cast<const char*>(t.bytes.data()), static_cast<std::streamsize>(t.bytes.size()));
    }
  });

  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  std::string error;
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
