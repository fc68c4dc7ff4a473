#include "monitor/Fourier.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace varnel::monitor {

struct Spectrum::Fft {
  std::size_t length = 0;
  double* in = nullptr;
  fftw_complex* out = nullptr;
  fftw_plan plan = nullptr;

  explicit Fft(std::size_t n) : length(n) {
    in = fftw_alloc_real(n);
    out = fftw_alloc_complex(n / 2 + 1);
    if (in && out) plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), in, out, FFTW_ESTIMATE);
  }
  ~Fft() {
    if (plan) fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
  }
};

Spectrum::Spectrum() = default;
Spectrum::~Spectrum() = default;

void Spectrum::Plan(std::size_t length) {
  fft_.reset();
  fft_ = std::make_unique<Fft>(length);
  length_ = length;
  // Periodic Hann: the window of a block that repeats, coherent gain 0.5.
  window_.resize(length);
  for (std::size_t n = 0; n < length; ++n)
    window_[n] = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(n) / static_cast<double>(length));
  power_.assign(length / 2 + 1, 0.0);
  blocks_ = 0;
}

void Spectrum::SetAveraging(Averaging averaging) {
  if (averaging == averaging_) return;
  averaging_ = averaging;
  Reset();
}

void Spectrum::Reset() {
  std::fill(power_.begin(), power_.end(), 0.0);
  blocks_ = 0;
}

void Spectrum::Add(const int16_t* samples, std::size_t stride, std::size_t count) {
  if (count < 2) return;
  if (count != length_ || !fft_ || !fft_->plan) Plan(count);
  if (!fft_->plan) return;
  double* in = fft_->in;
  if (stride == 1) {
    for (std::size_t n = 0; n < count; ++n) in[n] = samples[n] * window_[n];
  } else {
    for (std::size_t n = 0; n < count; ++n) in[n] = samples[n * stride] * window_[n];
  }
  fftw_execute(fft_->plan);

  // Sum of the window: N/2 for the periodic Hann.
  const double gain = 0.5 * static_cast<double>(count);
  const std::size_t bins = power_.size();
  const bool nyquist = count % 2 == 0;
  ++blocks_;
  const double weight = averaging_ == Averaging::None     ? 1.0
                        : averaging_ == Averaging::Linear ? 1.0 / static_cast<double>(blocks_)
                        : blocks_ == 1                    ? 1.0
                                                          : kExponentialWeight;
  // rms^2 of a component: |X|^2 / S^2, doubled for the bins that have a mirror.
  const double single = 1.0 / (gain * gain);
  const double mirrored = 2.0 * single;
  const fftw_complex* out = fft_->out;
  double* power = power_.data();
  // DC and (for an even length) Nyquist have no mirror: kept aside, done apart.
  const std::size_t last = nyquist ? bins - 1 : 0;
  const double before[2] = {power[0], power[last]};
  for (std::size_t k = 0; k < bins; ++k) {
    const double p = (out[k][0] * out[k][0] + out[k][1] * out[k][1]) * mirrored;
    power[k] += weight * (p - power[k]);
  }
  const std::size_t edges[2] = {0, last};
  for (int e = 0; e < 2; ++e) {
    const std::size_t k = edges[e];
    const double p = (out[k][0] * out[k][0] + out[k][1] * out[k][1]) * single;
    power[k] = before[e] + weight * (p - before[e]);
  }
}

double Spectrum::Codes(std::size_t bin, Measure measure) const {
  if (bin >= power_.size()) return 0.0;
  const double rms = std::sqrt(power_[bin]);
  const bool single = bin == 0 || (length_ % 2 == 0 && bin == power_.size() - 1);
  return measure == Measure::Peak && !single ? rms * std::sqrt(2.0) : rms;
}

SpectrumPeak FindPeak(const Spectrum& spectrum, double samplingRate, const ChannelScale& scale) {
  SpectrumPeak peak;
  const std::size_t bins = spectrum.Bins();
  const std::size_t n = spectrum.Length();
  if (bins == 0 || spectrum.Blocks() == 0) return peak;
  // The strongest component of the signal itself: integration lifts the
  // noise at low frequencies above any tone, and has no level at DC.
  std::size_t best = bins;
  double bestPower = -1.0;
  for (std::size_t k = scale.integrations > 0 ? 1 : 0; k < bins; ++k) {
    // |X|^2 as transformed: a DC or Nyquist tone leaks into mirrored neighbours.
    const bool mirrored = k != 0 && !(n % 2 == 0 && k == bins - 1);
    const double p = spectrum.Power()[k] / (mirrored ? 2.0 : 1.0);
    if (p > bestPower) {
      bestPower = p;
      best = k;
    }
  }
  if (best == bins) return peak;
  const auto& power = spectrum.Power();
  const bool single = best == 0 || (n % 2 == 0 && best == bins - 1);
  double binOffset = 0.0;
  double codes = spectrum.Codes(best, scale.measure);
  if (!single) {
    // The main lobe holds the sine's power times the noise bandwidth.
    const std::size_t from = best > 2 ? best - 2 : 1;
    const std::size_t to = std::min(best + 2, n % 2 == 0 ? bins - 2 : bins - 1);
    double sum = 0.0;
    for (std::size_t k = from; k <= to; ++k) sum += power[k];
    const double rms = std::sqrt(sum / kHannNoiseBandwidth);
    codes = scale.measure == Measure::Peak ? rms * std::sqrt(2.0) : rms;
    // Hann's two-bin ratio places a sine between bins exactly.
    const double here = std::sqrt(power[best]);
    const double left = best > 1 ? std::sqrt(power[best - 1]) : 0.0;
    const double right = best + 1 < bins ? std::sqrt(power[best + 1]) : 0.0;
    if (here > 0.0) {
      if (right >= left)
        binOffset = (2.0 * right - here) / (here + right);
      else
        binOffset = -(2.0 * left - here) / (here + left);
      binOffset = std::clamp(binOffset, -0.5, 0.5);
    }
  }
  const double bin = static_cast<double>(best) + binOffset;
  peak.found = true;
  peak.frequency = samplingRate > 0.0 ? bin * samplingRate / static_cast<double>(n) : bin;
  peak.decibels = scale.Decibels(codes, peak.frequency);
  peak.level = scale.Level(codes, peak.frequency);
  return peak;
}

}  // namespace varnel::monitor
