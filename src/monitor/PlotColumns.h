#pragma once
// What a plot draws of a series: for every pixel column the lowest and the
// highest value that falls in it, so a block of 65536 samples costs one pass
// and a few hundred line segments whatever its length. Point i of n lies at
// i / (n - 1) of the width; a column no point falls in stays empty.
//
// Plain values; safe from any thread. A SpectrumColumns is owned by one plot.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "calibration/ChannelScale.h"
#include "monitor/Fourier.h"

namespace varnel::monitor {

struct ColumnEnvelope {
  std::vector<float> low;  // per column; low > high for an empty column
  std::vector<float> high;

  std::size_t Columns() const { return low.size(); }
  bool Empty(std::size_t column) const { return !(low[column] <= high[column]); }
  void Clear(std::size_t columns);
};

// The first point of `column`: points [ColumnStart(c), ColumnStart(c + 1))
// fall in column c; the last point belongs to the last column.
std::size_t ColumnStart(std::size_t column, std::size_t columns, std::size_t points);

// Samples in units: each code times `unitsPerCode`.
void SampleColumns(std::span<const int16_t> samples, double unitsPerCode, std::size_t columns, ColumnEnvelope& out);

// A spectrum in decibels of its scale, one column at a time: a bin's level is
// its power times a weight that depends only on the bin's frequency and the
// scale, so the weights are kept until the length, rate or scale change and
// only two logarithms are taken per column. Bins without a level (no power,
// or the DC of an integrated channel) are left out, as minus infinity would be.
class SpectrumColumns {
 public:
  void Reduce(const Spectrum& spectrum, double samplingRate, const ChannelScale& scale, std::size_t columns,
              ColumnEnvelope& out);

 private:
  void Weigh(const Spectrum& spectrum, double samplingRate, const ChannelScale& scale);

  std::vector<double> weights_;  // level^2 / reference^2 per unit of power
  std::size_t length_ = 0;
  double rate_ = 0.0;
  ChannelScale scale_;
};

}  // namespace varnel::monitor
