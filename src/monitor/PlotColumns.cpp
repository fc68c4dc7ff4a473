#include "monitor/PlotColumns.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace varnel::monitor {
namespace {

bool SameReading(const ChannelScale& a, const ChannelScale& b) {
  return a.measure == b.measure && a.codesPerUnit == b.codesPerUnit && a.decibelReference == b.decibelReference &&
         a.integrations == b.integrations && a.integratedFactor == b.integratedFactor;
}

}  // namespace

void ColumnEnvelope::Clear(std::size_t columns) {
  low.assign(columns, std::numeric_limits<float>::infinity());
  high.assign(columns, -std::numeric_limits<float>::infinity());
}

std::size_t ColumnStart(std::size_t column, std::size_t columns, std::size_t points) {
  if (column >= columns) return points;
  // The first i with floor(i * columns / (points - 1)) >= column.
  const uint64_t span = points > 1 ? points - 1 : 1;
  return static_cast<std::size_t>((static_cast<uint64_t>(column) * span + columns - 1) / columns);
}

void SampleColumns(std::span<const int16_t> samples, double unitsPerCode, std::size_t columns, ColumnEnvelope& out) {
  out.Clear(columns);
  if (samples.size() < 2 || columns == 0) return;
  for (std::size_t c = 0; c < columns; ++c) {
    const std::size_t from = ColumnStart(c, columns, samples.size());
    const std::size_t to = ColumnStart(c + 1, columns, samples.size());
    if (from >= to) continue;
    int16_t lo = samples[from];
    int16_t hi = lo;
    for (std::size_t i = from + 1; i < to; ++i) {
      lo = std::min(lo, samples[i]);
      hi = std::max(hi, samples[i]);
    }
    // A negative scale turns the column upside down.
    const float a = static_cast<float>(lo * unitsPerCode);
    const float b = static_cast<float>(hi * unitsPerCode);
    out.low[c] = std::min(a, b);
    out.high[c] = std::max(a, b);
  }
}

void SpectrumColumns::Weigh(const Spectrum& spectrum, double samplingRate, const ChannelScale& scale) {
  length_ = spectrum.Length();
  rate_ = samplingRate;
  scale_ = scale;
  weights_.resize(spectrum.Bins());
  const bool evenLength = length_ % 2 == 0;
  for (std::size_t k = 0; k < weights_.size(); ++k) {
    // Codes() of a unit of power: a peak reading doubles the mirrored bins.
    const bool single = k == 0 || (evenLength && k + 1 == weights_.size());
    const double codes = scale.measure == Measure::Peak && !single ? std::sqrt(2.0) : 1.0;
    const double level = scale.Level(codes, BinFrequency(k, length_, samplingRate)) / scale.decibelReference;
    weights_[k] = level < 0.0 ? 0.0 : level * level;
  }
}

void SpectrumColumns::Reduce(const Spectrum& spectrum, double samplingRate, const ChannelScale& scale,
                             std::size_t columns, ColumnEnvelope& out) {
  out.Clear(columns);
  const std::vector<double>& power = spectrum.Power();
  if (power.size() < 2 || columns == 0 || spectrum.Blocks() == 0) return;
  if (spectrum.Length() != length_ || samplingRate != rate_ || weights_.size() != power.size() ||
      !SameReading(scale, scale_))
    Weigh(spectrum, samplingRate, scale);
  for (std::size_t c = 0; c < columns; ++c) {
    const std::size_t from = ColumnStart(c, columns, power.size());
    const std::size_t to = ColumnStart(c + 1, columns, power.size());
    double lo = std::numeric_limits<double>::infinity();
    double hi = 0.0;
    for (std::size_t k = from; k < to; ++k) {
      const double v = power[k] * weights_[k];
      lo = std::min(lo, v > 0.0 ? v : std::numeric_limits<double>::infinity());
      hi = std::max(hi, v);
    }
    if (!(hi > 0.0)) continue;
    out.low[c] = static_cast<float>(10.0 * std::log10(lo));
    out.high[c] = static_cast<float>(10.0 * std::log10(hi));
  }
}

}  // namespace varnel::monitor
