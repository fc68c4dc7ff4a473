#pragma once
// The peer's transaction log: one line per transaction, the same whatever
// carried it (D-Bus on Linux, DDE on Windows), so tests and people read both
// the same way.

#include <cstdint>
#include <string>
#include <vector>

#include "PeerTransaction.h"

namespace varnel::peer {

// "execute 7 \"[Stop]\\x00\"", "request \"FFT Size\" -> \"16384\\x00\"",
// "poke \"CalibrationData\" 2048 bytes 1 calls fnv1a 1234abcd"; refused ones end in " refused".
std::string DescribeTransaction(Kind kind, const std::string& item, const std::vector<uint8_t>& bytes, uint32_t calls,
                                bool accepted);

inline std::string DescribeTransaction(const Transaction& t) {
  return DescribeTransaction(t.kind, t.item, t.bytes, t.calls, t.accepted);
}

}  // namespace varnel::peer
