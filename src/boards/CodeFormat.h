#pragma once
// What a board reports about its codes.

#include <cstdint>

namespace varnel {

// Codes counted from the lower range limit; any other encoding is two's complement.
inline constexpr int32_t kEncodingUnsigned = 200;

struct CodeFormat {
  double upper = 10.0;
  double lower = -10.0;
  int32_t encoding = kEncodingUnsigned;
  int32_t resolution = 16;
  bool operator==(const CodeFormat&) const = default;
};

}  // namespace varnel
