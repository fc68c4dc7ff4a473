#pragma once
// Turning the board's multiplexed raw codes into per-channel samples in which
// 32768 stands for 10 V at the converter. The double-precision formula is the
// definition; lookup tables and the offset-only de-multiplex reproduce it bit
// for bit and are only used where they have been proven equal to it.
//
// Pure functions; safe from any thread.

#include <cstdint>
#include <span>

#include "boards/CodeFormat.h"

namespace varnel {

// A resolution outside 1..16 cannot describe a 16-bit code; such a report is
// read as 16 bits so that the shifts stay defined.
int32_t UsableResolution(int32_t resolution);

// The sample of one raw code at one gain, by the formula, in its order of operations:
// ((u/g - l/g) / 2^res * code + l/g) * g * 3276.8, truncated toward zero, low 16 bits.
int16_t ConvertCode(uint16_t raw, const CodeFormat& format, double gain);

// The low 16 bits of v truncated toward zero; 0 for values no integer can hold.
int16_t LowSixteenBits(double v);

inline constexpr int32_t kCodeCount = 65536;

// table[raw] = ConvertCode(raw, format, gain) for all 65536 raw codes.
void BuildConversionTable(const CodeFormat& format, double gain, std::span<int16_t, kCodeCount> table);

// True when the table is exactly raw - 32768 for every code (a +-10 V range
// with unsigned 16-bit codes gives this at every gain).
bool IsOffsetTable(std::span<const int16_t, kCodeCount> table);

// De-multiplexes `frames` scans of `listSize` codes: dest[e][f] = f(in[f * listSize + e]).
// Every dest[e] must hold `frames` samples. The offset form can also give, in
// peaks[e], the largest absolute sample written to dest[e] (0..32768, -32768
// counting as 32768), found on the way so that the blocks need not be read again.
void DemultiplexOffset(const uint16_t* in, int32_t listSize, int32_t frames, int16_t* const* dest,
                       int32_t* peaks = nullptr);
void DemultiplexTable(const uint16_t* in, int32_t listSize, int32_t frames, int16_t* const* dest,
                      const int16_t* const* tables);

}  // namespace varnel
