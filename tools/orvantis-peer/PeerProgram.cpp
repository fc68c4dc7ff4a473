#include "PeerProgram.h"

#include <cstdlib>
#include <iostream>

#include "TransactionLog.h"

namespace varnel::peer {

// "/" separates folders on Windows too.
const char* const kPeerUsage =
    "usage: orvantis-peer [options]\n"
    "  --server-name NAME   the ServerName to serve (default Orvantis; topic Data)\n"
    "  --fft-size TEXT      the answer to \"FFT Size\" (default 16384; any text)\n"
    "  --refuse-fft         refuse the \"FFT Size\" request\n"
    "  --refuse-commands    refuse every command\n"
    "  --refuse-pokes       refuse every poke\n"
    "  --delay MS           answer every transaction MS milliseconds late\n"
    "  --record FILE        append one line per transaction to FILE\n"
    "  --dump-dir DIR       write each poke payload to DIR/<n>-<item>.bin\n"
    "  --keep-payloads N    keep the payloads of the last N transactions (default 8;\n"
    "                       sizes and checksums of all)\n"
    "  --quiet              print nothing but the ready line\n";

bool ParsePeerArguments(int argc, char** argv, PeerArguments& out) {
  PeerOptions& options = out.options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= argc) return false;
      target = argv[++i];
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
      const unsigned long ms = std::strtoul(text.c_str(), &end, 10);
      if (end == text.c_str() || *end || ms > 600000) return false;
      options.replyDelayMs = static_cast<uint32_t>(ms);
    } else if (arg == "--keep-payloads") {
      if (!value(text)) return false;
      char* end = nullptr;
      const unsigned long n = std::strtoul(text.c_str(), &end, 10);
      if (end == text.c_str() || *end || n == 0 || n > 100000) return false;
      options.keptPayloads = n;
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

bool TransactionOutput::Open(const PeerArguments& args, std::string* error) {
  dumpDir_ = args.dumpDir;
  quiet_ = args.quiet;
  if (args.record.empty()) return true;
  // Binary, so that the record is byte for byte the same on every system.
  record_.open(args.record, std::ios::app | std::ios::binary);
  if (record_) return true;
  if (error) *error = "cannot write " + args.record;
  return false;
}

void TransactionOutput::operator()(const Transaction& t) {
  std::lock_guard lock(mutex_);
  const std::string line = DescribeTransaction(t);
  if (!quiet_) std::cout << line << std::endl;
  if (record_.is_open()) record_ << line << std::endl;
  if (t.kind == Kind::Poke && !dumpDir_.empty()) {
    std::ofstream dump(dumpDir_ + "/" + std::to_string(++pokeNumber_) + "-" + t.item + ".bin", std::ios::binary);
    dump.write(reinterpret_cast<const char*>(t.bytes.data()), static_cast<std::streamsize>(t.bytes.size()));
  }
}

}  // namespace varnel::peer
