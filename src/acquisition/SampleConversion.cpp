#include "acquisition/SampleConversion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <immintrin.h>
#define VARNEL_HAVE_SSE2 1
#endif

namespace varnel {
namespace {

constexpr uint16_t kSignFlip = 0x8000;
// How far ahead of the codes in hand the source is fetched: 4 KiB. Without it
// the sixteen output streams leave the board buffer's lines arriving too late.
constexpr std::ptrdiff_t kPrefetchCodes = 2048;
constexpr std::ptrdiff_t kLineCodes = 32;  // codes of one 64-byte cache line

// Running extremes of each list entry's samples; a zero start makes the peak
// of nothing 0, as for a block of zeros.
struct Extremes {
  static constexpr int32_t kEntries = 16;
  int16_t high[kEntries] = {};
  int16_t low[kEntries] = {};
};

template <bool kPeaks>
void DemultiplexOffsetScalar(const uint16_t* in, int32_t listSize, int32_t fromFrame, int32_t frames,
                             int16_t* const* dest, Extremes& extremes) {
  for (int32_t f = fromFrame; f < frames; ++f) {
    const uint16_t* scan = in + static_cast<std::ptrdiff_t>(f) * listSize;
    for (int32_t e = 0; e < listSize; ++e) {
      const auto v = static_cast<int16_t>(scan[e] ^ kSignFlip);
      dest[e][f] = v;
      if constexpr (kPeaks) {
        extremes.high[e] = std::max(extremes.high[e], v);
        extremes.low[e] = std::min(extremes.low[e], v);
      }
    }
  }
}

#ifdef VARNEL_HAVE_SSE2

// Rows r[k] = 8 samples of scan k; afterwards r[e] = sample e of scans 0..7.
inline void Transpose8x8(__m128i r[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

// Groups of eight list entries, eight scans at a time. A group with fewer than
// eight entries loads into the next scan and keeps only its own outputs, so the
// loop stops where such a load would leave the buffer. Returns the first frame
// not done.
template <bool kPeaks>
int32_t DemultiplexOffsetSse2(const uint16_t* in, int32_t listSize, int32_t frames, int16_t* const* dest,
                              Extremes& extremes) {
  const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(kSignFlip));
  const std::ptrdiff_t total = static_cast<std::ptrdiff_t>(frames) * listSize;
  const int32_t lastGroup = (listSize - 1) / 8 * 8;
  __m128i highs[Extremes::kEntries];
  __m128i lows[Extremes::kEntries];
  for (int32_t e = 0; e < Extremes::kEntries; ++e) highs[e] = lows[e] = _mm_setzero_si128();
  int32_t f = 0;
  for (; static_cast<std::ptrdiff_t>(f + 7) * listSize + lastGroup + 8 <= total; f += 8) {
    const uint16_t* tile = in + static_cast<std::ptrdiff_t>(f) * listSize;
    for (int32_t e0 = 0; e0 < listSize; e0 += 8) {
      __m128i r[8];
      for (int k = 0; k < 8; ++k) {
        r[k] = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(tile + k * listSize + e0)), flip);
      }
      Transpose8x8(r);
      const int32_t n = listSize - e0 < 8 ? listSize - e0 : 8;
      for (int32_t e = 0; e < n; ++e) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest[e0 + e] + f), r[e]);
        if constexpr (kPeaks) {
          highs[e0 + e] = _mm_max_epi16(highs[e0 + e], r[e]);
          lows[e0 + e] = _mm_min_epi16(lows[e0 + e], r[e]);
        }
      }
    }
  }
  if constexpr (kPeaks) {
    for (int32_t e = 0; e < listSize; ++e) {
      alignas(16) int16_t high[8];
      alignas(16) int16_t low[8];
      _mm_store_si128(reinterpret_cast<__m128i*>(high), highs[e]);
      _mm_store_si128(reinterpret_cast<__m128i*>(low), lows[e]);
      for (int k = 0; k < 8; ++k) {
        extremes.high[e] = std::max(extremes.high[e], high[k]);
        extremes.low[e] = std::min(extremes.low[e], low[k]);
      }
    }
  }
  return f;
}

#if defined(__GNUC__) && defined(__x86_64__)
#define VARNEL_HAVE_AVX2_KERNEL 1

// Sixteen entries, one 256-bit row per scan: two in-lane 8x8 transposes per
// sixteen scans, then the lanes are paired.
__attribute__((target("avx2"))) inline void Transpose8x8Lanes(__m256i r[8]) {
  const __m256i a0 = _mm256_unpacklo_epi16(r[0], r[1]), a1 = _mm256_unpackhi_epi16(r[0], r[1]);
  const __m256i a2 = _mm256_unpacklo_epi16(r[2], r[3]), a3 = _mm256_unpackhi_epi16(r[2], r[3]);
  const __m256i a4 = _mm256_unpacklo_epi16(r[4], r[5]), a5 = _mm256_unpackhi_epi16(r[4], r[5]);
  const __m256i a6 = _mm256_unpacklo_epi16(r[6], r[7]), a7 = _mm256_unpackhi_epi16(r[6], r[7]);
  const __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
  const __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
  const __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
  const __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
  r[0] = _mm256_unpacklo_epi64(b0, b4);
  r[1] = _mm256_unpackhi_epi64(b0, b4);
  r[2] = _mm256_unpacklo_epi64(b1, b5);
  r[3] = _mm256_unpackhi_epi64(b1, b5);
  r[4] = _mm256_unpacklo_epi64(b2, b6);
  r[5] = _mm256_unpackhi_epi64(b2, b6);
  r[6] = _mm256_unpacklo_epi64(b3, b7);
  r[7] = _mm256_unpackhi_epi64(b3, b7);
}

// Lane e of every source row is entry e, so the extremes are kept on the rows
// as loaded, before the transpose: a few accumulators for all sixteen entries.
// The source is a board buffer long out of the cache; it is fetched ahead.
template <bool kPeaks>
__attribute__((target("avx2"))) int32_t DemultiplexOffset16Avx2(const uint16_t* in, int32_t frames,
                                                                int16_t* const* dest, Extremes& extremes) {
  const __m256i flip = _mm256_set1_epi16(static_cast<int16_t>(kSignFlip));
  __m256i high = _mm256_setzero_si256();
  __m256i low = _mm256_setzero_si256();
  int32_t f = 0;
  for (; f + 16 <= frames; f += 16) {
    const uint16_t* tileCodes = in + static_cast<std::ptrdiff_t>(f) * 16;
    const __m256i* tile = reinterpret_cast<const __m256i*>(tileCodes);
    if (static_cast<std::ptrdiff_t>(f + 16) * 16 + kPrefetchCodes <= static_cast<std::ptrdiff_t>(frames) * 16) {
#pragma GCC unroll 8
      for (int line = 0; line < 8; ++line) {
        _mm_prefetch(reinterpret_cast<const char*>(tileCodes + kPrefetchCodes + line * kLineCodes), _MM_HINT_T0);
      }
    }
    __m256i lo[8], hi[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) {
      lo[k] = _mm256_xor_si256(_mm256_loadu_si256(tile + k), flip);
      hi[k] = _mm256_xor_si256(_mm256_loadu_si256(tile + 8 + k), flip);
    }
    if constexpr (kPeaks) {
      const __m256i h01 = _mm256_max_epi16(_mm256_max_epi16(lo[0], hi[0]), _mm256_max_epi16(lo[1], hi[1]));
      const __m256i h23 = _mm256_max_epi16(_mm256_max_epi16(lo[2], hi[2]), _mm256_max_epi16(lo[3], hi[3]));
      const __m256i h45 = _mm256_max_epi16(_mm256_max_epi16(lo[4], hi[4]), _mm256_max_epi16(lo[5], hi[5]));
      const __m256i h67 = _mm256_max_epi16(_mm256_max_epi16(lo[6], hi[6]), _mm256_max_epi16(lo[7], hi[7]));
      high = _mm256_max_epi16(high, _mm256_max_epi16(_mm256_max_epi16(h01, h23), _mm256_max_epi16(h45, h67)));
      const __m256i l01 = _mm256_min_epi16(_mm256_min_epi16(lo[0], hi[0]), _mm256_min_epi16(lo[1], hi[1]));
      const __m256i l23 = _mm256_min_epi16(_mm256_min_epi16(lo[2], hi[2]), _mm256_min_epi16(lo[3], hi[3]));
      const __m256i l45 = _mm256_min_epi16(_mm256_min_epi16(lo[4], hi[4]), _mm256_min_epi16(lo[5], hi[5]));
      const __m256i l67 = _mm256_min_epi16(_mm256_min_epi16(lo[6], hi[6]), _mm256_min_epi16(lo[7], hi[7]));
      low = _mm256_min_epi16(low, _mm256_min_epi16(_mm256_min_epi16(l01, l23), _mm256_min_epi16(l45, l67)));
    }
    Transpose8x8Lanes(lo);
    Transpose8x8Lanes(hi);
    // In entry order, so that of two entries of one channel the later one's
    // samples stay, as in the scan-by-scan order.
#pragma GCC unroll 8
    for (int e = 0; e < 8; ++e) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest[e] + f), _mm256_permute2x128_si256(lo[e], hi[e], 0x20));
    }
#pragma GCC unroll 8
    for (int e = 0; e < 8; ++e) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest[e + 8] + f), _mm256_permute2x128_si256(lo[e], hi[e], 0x31));
    }
  }
  if constexpr (kPeaks) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(extremes.high), high);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(extremes.low), low);
  }
  return f;
}

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif  // __GNUC__ && __x86_64__

#endif  // VARNEL_HAVE_SSE2

}  // namespace

int32_t UsableResolution(int32_t resolution) {
  return (resolution >= 1 && resolution <= 16) ? resolution : 16;
}

int16_t LowSixteenBits(double v) {
  // Beyond +-2^63 (or NaN) the truncation has no integer to land on.
  if (!(std::fabs(v) < 9.2e18)) return 0;
  const auto whole = static_cast<int64_t>(v);
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(whole) & 0xFFFFu));
}

int16_t ConvertCode(uint16_t raw, const CodeFormat& format, double gain) {
  const int32_t res = UsableResolution(format.resolution);
  uint32_t code = raw;
  if (format.encoding != kEncodingUnsigned) code = (code ^ (1u << (res - 1))) & ((1u << res) - 1u);
  const double u = format.upper;
  const double l = format.lower;
  const double g = gain;
  const double steps = static_cast<double>(1u << res);
  const double v = ((u / g - l / g) / steps * static_cast<double>(code) + l / g) * g * 3276.8;
  return LowSixteenBits(v);
}

void BuildConversionTable(const CodeFormat& format, double gain, std::span<int16_t, kCodeCount> table) {
  for (int32_t raw = 0; raw < kCodeCount; ++raw) table[raw] = ConvertCode(static_cast<uint16_t>(raw), format, gain);
}

bool IsOffsetTable(std::span<const int16_t, kCodeCount> table) {
  for (int32_t raw = 0; raw < kCodeCount; ++raw) {
    if (table[raw] != static_cast<int16_t>(raw ^ kSignFlip)) return false;
  }
  return true;
}

namespace {

template <bool kPeaks>
void DemultiplexOffsetWith(const uint16_t* in, int32_t listSize, int32_t frames, int16_t* const* dest,
                           Extremes& extremes) {
  if (listSize == 1) {
    int16_t* out = dest[0];
    int16_t high = 0;
    int16_t low = 0;
    for (int32_t f = 0; f < frames; ++f) {
      const auto v = static_cast<int16_t>(in[f] ^ kSignFlip);
      out[f] = v;
      if constexpr (kPeaks) {
        high = v > high ? v : high;
        low = v < low ? v : low;
      }
    }
    extremes.high[0] = high;
    extremes.low[0] = low;
    return;
  }
  int32_t done = 0;
#ifdef VARNEL_HAVE_SSE2
#ifdef VARNEL_HAVE_AVX2_KERNEL
  if (listSize == 16 && HaveAvx2()) done = DemultiplexOffset16Avx2<kPeaks>(in, frames, dest, extremes);
#endif
  if (done == 0) done = DemultiplexOffsetSse2<kPeaks>(in, listSize, frames, dest, extremes);
#endif
  DemultiplexOffsetScalar<kPeaks>(in, listSize, done, frames, dest, extremes);
}

}  // namespace

void DemultiplexOffset(const uint16_t* in, int32_t listSize, int32_t frames, int16_t* const* dest, int32_t* peaks) {
  if (listSize <= 0 || frames <= 0) {
    if (peaks != nullptr) std::fill_n(peaks, std::max(listSize, 0), 0);
    return;
  }
  Extremes extremes;
  if (peaks == nullptr || listSize > Extremes::kEntries) {
    // Longer lists than any board's channel count have room for no extremes;
    // their peaks are read back from the blocks.
    DemultiplexOffsetWith<false>(in, listSize, frames, dest, extremes);
    if (peaks != nullptr) {
      for (int32_t e = 0; e < listSize; ++e) {
        int32_t peak = 0;
        for (int32_t f = 0; f < frames; ++f) peak = std::max(peak, std::abs(int32_t{dest[e][f]}));
        peaks[e] = peak;
      }
    }
    return;
  }
  DemultiplexOffsetWith<true>(in, listSize, frames, dest, extremes);
  for (int32_t e = 0; e < listSize; ++e) {
    peaks[e] = std::max(int32_t{extremes.high[e]}, -int32_t{extremes.low[e]});
  }
}

void DemultiplexTable(const uint16_t* in, int32_t listSize, int32_t frames, int16_t* const* dest,
                      const int16_t* const* tables) {
  if (listSize <= 0 || frames <= 0) return;
  for (int32_t f = 0; f < frames; ++f) {
    const uint16_t* scan = in + static_cast<std::ptrdiff_t>(f) * listSize;
    for (int32_t e = 0; e < listSize; ++e) dest[e][f] = tables[e][scan[e]];
  }
}

}  // namespace varnel
