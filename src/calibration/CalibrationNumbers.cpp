#include "calibration/CalibrationNumbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace varnel {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The unsigned decimal real at the start of text and, for a result that does
// not fit a double, whether it overflows (decimal magnitude above zero).
struct RealPrefix {
  std::size_t length = 0;
  bool overflows = false;
};

RealPrefix ScanReal(std::string_view text) {
  std::size_t i = 0;
  int64_t significantIntDigits = 0;  // integer digits after leading zeros
  int64_t fractionZeros = 0;         // zeros after the point before the first other digit
  bool nonZero = false;
  bool anyDigit = false;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    anyDigit = true;
    if (text[i] != '0') nonZero = true;
    if (nonZero) ++significantIntDigits;
  }
  if (i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    for (; j < text.size() && IsDigit(text[j]); ++j) {
      anyDigit = true;
      if (!nonZero && text[j] == '0') ++fractionZeros;
      if (text[j] != '0') nonZero = true;
    }
    if (anyDigit) i = j;  // "5." keeps its point; a lone "." is no number
  }
  if (!anyDigit) return {};
  int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool negative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) negative = text[j++] == '-';
    if (j < text.size() && IsDigit(text[j])) {
      for (; j < text.size() && IsDigit(text[j]); ++j)
        exponent = std::min<int64_t>(exponent * 10 + (text[j] - '0'), 1'000'000'000);
      if (negative) exponent = -exponent;
      i = j;
    }
  }
  const int64_t magnitude =
      significantIntDigits > 0 ? significantIntDigits - 1 + exponent : exponent - fractionZeros - 1;
  return {i, nonZero && magnitude > 0};
}

}  // namespace

double ParseCalibrationReal(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && IsSpace(text[start])) ++start;
  bool negative = false;
  if (start < text.size() && (text[start] == '+' || text[start] == '-')) negative = text[start++] == '-';
  text.remove_prefix(start);
  const RealPrefix prefix = ScanReal(text);
  if (prefix.length == 0) return 0.0;
  double value = 0.0;
  auto [end, error] = std::from_chars(text.data(), text.data() + prefix.length, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    value = prefix.overflows ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc() || end != text.data() + prefix.length) {
    value = 0.0;  // cannot happen for a scanned prefix; stay on the safe side
  }
  return negative ? -value : value;
}

float ToCalibrationFloat(long double value) {
  if (std::isnan(value)) return 0.0f;
  constexpr long double kLargest = std::numeric_limits<float>::max();
  return static_cast<float>(std::clamp(value, -kLargest, kLargest));
}

std::string FormatCalibrationReal(float value) {
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, static_cast<double>(ToCalibrationFloat(value)),
                                    std::chars_format::fixed, 6);
  if (error != std::errc()) return "0.000000";
  return std::string(text, end);
}

}  // namespace varnel
