#pragma once
// Fixed-size character fields of the plain records: every copy is cut to fit
// and always NUL-terminated.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace varnel {

// Copies at most N-1 characters of text into the field and zero-fills the rest,
// so records compare and serialise byte for byte.
template <std::size_t N>
void CopyCut(char (&field)[N], std::string_view text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, N - n);
}

// The text of a field up to its first NUL (or the whole field when none).
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
  const void* end = std::memchr(field, '\0', N);
  return {field, end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : N};
}

}  // namespace varnel
