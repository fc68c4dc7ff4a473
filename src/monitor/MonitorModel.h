#pragma once
// What the monitor shows, toolkit-free: the state of the conversation (mode,
// sampling rate, the last refusal) and, for Left and Right, the latest
// block's waveform, its averaged spectrum in the channel's units and the peak.
//
// Owned and called by the window's thread only.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "calibration/ChannelScale.h"
#include "monitor/Fourier.h"
#include "monitor/MonitorServer.h"

namespace varnel::monitor {

// The FFT sizes offered in the window.
inline constexpr std::array<uint32_t, 7> kFftSizes = {1024, 2048, 4096, 8192, 16384, 32768, 65536};
inline constexpr uint32_t kDefaultFftSize = 8192;

struct ChannelView {
  ChannelScale scale;
  Spectrum spectrum;
  std::vector<int16_t> waveform;  // the latest block of this channel
  SpectrumPeak peak;
};

class MonitorModel {
 public:
  MonitorModel();

  void Apply(const LinkEvent& event);
  // One interleaved Left/Right block: waveforms, spectra, peaks (of its
  // newest frames, as many as the largest FFT size).
  void AddBlock(const std::vector<int16_t>& interleaved);
  void SetAveraging(Averaging averaging);
  Averaging GetAveraging() const { return averaging_; }

  double SamplingRate() const { return samplingRate_; }
  uint64_t Blocks() const { return blocks_; }
  uint64_t Refusals() const { return refusals_; }
  const ChannelView& Channel(int side) const { return channels_[side]; }
  // Mode, rate, precision and block length, as one line.
  std::string StatusLine() const;
  // The last refusal (empty when none came).
  const std::string& LastRefusal() const { return lastRefusal_; }
  // "Left 1000.0 Hz 94.0 SPL (dB re 20uPA)": the peak of one side as text.
  std::string PeakText(int side) const;
  // The frequency axis's unit: "Hz", or "bin" until a rate is known.
  const char* FrequencyUnit() const { return samplingRate_ > 0.0 ? "Hz" : "bin"; }

 private:
  std::array<ChannelView, 2> channels_;
  std::array<ChannelCalibration, 2> halves_{};
  Averaging averaging_ = Averaging::Linear;
  double samplingRate_ = 0.0;
  int64_t precision_ = 0;
  std::string mode_ = "waiting";
  std::string lastRefusal_;
  std::size_t blockLength_ = 0;
  uint64_t blocks_ = 0;
  uint64_t refusals_ = 0;
};

inline constexpr const char* kSideNames[2] = {"Left", "Right"};

}  // namespace varnel::monitor
