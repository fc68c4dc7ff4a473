#pragma once
// What both orvantis-peer programs (D-Bus on Linux, DDE on Windows) share: the
// command line, and what they print and keep of every transaction.

#include <fstream>
#include <mutex>
#include <string>

#include "PeerTransaction.h"

namespace varnel::peer {

extern const char* const kPeerUsage;

// A peer that runs beside a recording for hours keeps the payloads of its
// last few transactions only.
inline constexpr std::size_t kProgramKeptPayloads = 8;

struct PeerArguments {
  PeerOptions options{.keptPayloads = kProgramKeptPayloads};
  std::string record;
  std::string dumpDir;
  bool quiet = false;
};

// False on an unknown option, a missing value, a delay beyond 10 minutes or a
// payload count that is not a positive number.
bool ParsePeerArguments(int argc, char** argv, PeerArguments& out);

// The server's observer: one log line per transaction on stdout (unless
// quiet) and in the record file, and each poke's payload in the dump folder.
// Thread-safe.
class TransactionOutput {
 public:
  // False with the reason when the record file cannot be written.
  bool Open(const PeerArguments& args, std::string* error);
  void operator()(const Transaction& t);

 private:
  std::mutex mutex_;
  std::ofstream record_;
  std::string dumpDir_;
  bool quiet_ = false;
  unsigned pokeNumber_ = 0;
};

}  // namespace varnel::peer
