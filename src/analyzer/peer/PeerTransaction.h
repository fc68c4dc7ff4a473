#pragma once
// What every server of the analyser's side takes and records, whatever carries
// the conversation (D-Bus on Linux, DDE on Windows).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnel::peer {

struct PeerOptions {
  std::string serverName = "Orvantis";
  std::string topic = "Data";
  // The text answered to "FFT Size" (a NUL is appended on the wire).
  std::string fftAnswer = "16384";
  bool refuseFft = false;
  bool refuseCommands = false;
  bool refusePokes = false;
  // Every answer to a command, request or poke waits this long.
  uint32_t replyDelayMs = 0;
  // Off for a long-running server that only observes: nothing piles up.
  bool keepTransactions = true;
  // How many of the newest kept transactions keep their payload; the older
  // ones keep its size and checksum only. 0: every one keeps it.
  std::size_t keptPayloads = 0;
};

enum class Kind { Execute, Request, Poke };

struct Transaction {
  Kind kind = Kind::Execute;
  std::string item;            // empty for commands
  std::vector<uint8_t> bytes;  // command bytes as sent, the answer to a request, or the whole poke payload
  uint32_t calls = 1;          // method calls that carried it (pokes come in slices)
  bool accepted = true;
  std::string refusal;  // why it was refused, as the error message says
  // Of the payload as it arrived: kept when `bytes` is let go (set when kept).
  std::size_t size = 0;
  uint32_t checksum = 0;  // Fnv1a
};

// The 32-bit FNV-1a hash of a payload, as the peer's log shows it.
inline uint32_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint32_t h = 2166136261u;
  for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

}  // namespace varnel::peer
