#pragma once
// The averaged power spectrum of one channel's blocks: periodic Hann window,
// FFTW real transform of any block length, power averaged before any decibel
// is taken. Power is held per bin as the mean square (rms squared) of the
// component in codes, so a calibration can be applied afterwards.
//
// Owned and called by one thread (FFTW's planner is not thread-safe: every
// Spectrum of a program must be used on the same thread).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "calibration/ChannelScale.h"

namespace varnel::monitor {

enum class Averaging { None, Linear, Exponential };

// The weight of the newest block in exponential averaging.
inline constexpr double kExponentialWeight = 0.25;
// The Hann window's equivalent noise bandwidth, in bins.
inline constexpr double kHannNoiseBandwidth = 1.5;

class Spectrum {
 public:
  Spectrum();
  ~Spectrum();
  Spectrum(const Spectrum&) = delete;
  Spectrum& operator=(const Spectrum&) = delete;

  // Adds one block: `count` samples, `stride` apart. A new length starts the
  // average afresh and plans the transform once.
  void Add(const int16_t* samples, std::size_t stride, std::size_t count);
  void SetAveraging(Averaging averaging);
  void Reset();

  std::size_t Length() const { return length_; }
  std::size_t Bins() const { return power_.size(); }
  uint64_t Blocks() const { return blocks_; }
  const std::vector<double>& Power() const { return power_; }
  // A bin's component in codes, in the measure asked for.
  double Codes(std::size_t bin, Measure measure) const;

 private:
  void Plan(std::size_t length);

  struct Fft;
  std::unique_ptr<Fft> fft_;
  Averaging averaging_ = Averaging::Linear;
  std::size_t length_ = 0;
  std::vector<double> window_;
  std::vector<double> power_;
  uint64_t blocks_ = 0;
};

struct SpectrumPeak {
  bool found = false;
  double frequency = 0.0;  // Hz (bins when the rate is unknown)
  double decibels = 0.0;
  double level = 0.0;  // in the linear units
};

// The strongest component as the scale shows it; its level sums the power of
// the window's main lobe, so a sine reads right wherever it falls between bins.
SpectrumPeak FindPeak(const Spectrum& spectrum, double samplingRate, const ChannelScale& scale);

// The frequency of a bin; with no known rate the bin number itself.
inline double BinFrequency(std::size_t bin, std::size_t length, double samplingRate) {
  return samplingRate > 0.0 ? static_cast<double>(bin) * samplingRate / static_cast<double>(length)
                            : static_cast<double>(bin);
}

}  // namespace varnel::monitor
