#include "acquisition/LevelMeter.h"

#include <algorithm>
#include <cmath>

namespace varnel {
namespace {

double FullScaleVolts(int32_t gain) {
  switch (gain) {
    case 1: return 10.0;
    case 2: return 5.0;
    case 4: return 2.5;
    case 8: return 1.25;
    default: return 1.0;
  }
}

// Lane-wise maxima and minima over chunks of one vector register, so that the
// compiler keeps the accumulators in registers and needs no scalar epilogue
// inside the loop.
template <int32_t kLanes>
inline __attribute__((always_inline)) int32_t PeakOfLanes(const int16_t* p, std::size_t n) {
  int16_t highs[kLanes] = {};
  int16_t lows[kLanes] = {};
  const std::size_t whole = n / kLanes * kLanes;
  for (std::size_t i = 0; i < whole; i += kLanes) {
    const int16_t* chunk = p + i;
    for (int32_t j = 0; j < kLanes; ++j) {
      const int16_t v = chunk[j];
      highs[j] = v > highs[j] ? v : highs[j];
      lows[j] = v < lows[j] ? v : lows[j];
    }
  }
  int32_t high = 0;
  int32_t low = 0;
  for (int32_t j = 0; j < kLanes; ++j) {
    high = std::max<int32_t>(high, highs[j]);
    low = std::min<int32_t>(low, lows[j]);
  }
  for (std::size_t i = whole; i < n; ++i) {
    high = std::max<int32_t>(high, p[i]);
    low = std::min<int32_t>(low, p[i]);
  }
  return std::max(high, -low);
}

#if defined(__GNUC__) && defined(__x86_64__)
#define VARNEL_PEAK_AVX2 1
// The same loop compiled for 256-bit registers, chosen at run time.
__attribute__((target("avx2"))) int32_t PeakAvx2(const int16_t* p, std::size_t n) { return PeakOfLanes<16>(p, n); }
// And for 512-bit registers, twice the lanes per instruction.
__attribute__((target("avx512f,avx512bw"))) int32_t PeakAvx512(const int16_t* p, std::size_t n) {
  return PeakOfLanes<32>(p, n);
}
#endif

}  // namespace

int32_t BlockPeak(std::span<const int16_t> block) {
#ifdef VARNEL_PEAK_AVX2
  static const bool haveAvx512 = __builtin_cpu_supports("avx512bw");
  static const bool haveAvx2 = __builtin_cpu_supports("avx2");
  if (haveAvx512) return PeakAvx512(block.data(), block.size());
  if (haveAvx2) return PeakAvx2(block.data(), block.size());
#endif
  return PeakOfLanes<8>(block.data(), block.size());
}

int32_t LevelOfPeak(int32_t peak, int32_t gain) {
  const double peak_volts = peak * 0.00030517578125 / gain;
  const float log_sig_range = static_cast<float>(20.0 * std::log10(FullScaleVolts(gain)));
  const double log_peak = 20.0 * std::log10(peak_volts);
  const double meter = 100.0 - (log_sig_range - log_peak);
  // A zero peak has no logarithm; a gain of 0 or below has no finite level.
  if (!std::isfinite(meter)) return 0;
  const auto level = static_cast<int32_t>(meter);
  return level >= 98 ? 100 : level;
}

}  // namespace varnel
