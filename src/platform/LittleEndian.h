#pragma once
// Integers of 1 to 8 bytes as files store them: little-endian, whatever the machine.

#include <cstdint>

namespace varnel::platform {

inline void PutLittle(unsigned char* p, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline uint64_t GetLittle(const unsigned char* p, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(p[i]) << (8 * i);
  return value;
}

}  // namespace varnel::platform
