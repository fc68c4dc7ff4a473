#include "TransactionLog.h"

#include <cstdio>
#include <sstream>

namespace varnel::peer {
namespace {

// Printable form of received bytes: text as is, everything else escaped.
std::string Quoted(const std::vector<uint8_t>& bytes) {
  std::string out = "\"";
  for (uint8_t b : bytes) {
    if (b == '\\' || b == '"') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b >= 0x20 && b < 0x7F) {
      out += static_cast<char>(b);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", b);
      out += hex;
    }
  }
  return out + "\"";
}

}  // namespace

std::string DescribeTransaction(Kind kind, const std::string& item, const std::vector<uint8_t>& bytes,
                                uint32_t calls, bool accepted) {
  std::ostringstream line;
  const char* outcome = accepted ? "" : " refused";
  switch (kind) {
    case Kind::Execute:
      line << "execute " << bytes.size() << ' ' << Quoted(bytes) << outcome;
      break;
    case Kind::Request:
      line << "request \"" << item << "\"";
      if (accepted)
        line << " -> " << Quoted(bytes);
      else
        line << outcome;
      break;
    case Kind::Poke: {
      char sum[16];
      std::snprintf(sum, sizeof sum, "%08x", Fnv1a(bytes));
      line << "poke \"" << item << "\" " << bytes.size() << " bytes " << calls << " calls fnv1a " << sum << outcome;
      break;
    }
  }
  return line.str();
}

}  // namespace varnel::peer
