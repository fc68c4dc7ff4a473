// What an ALSA board refuses, and the hardware and software set-up of a run.

#include <algorithm>
#include <cmath>

#include "boards/alsa/AlsaBoard.h"
#include "boards/alsa/AlsaInput.h"
#include "platform/Trace.h"

namespace varnel::alsa {
namespace {

// The rate of a clock, or 0 when it is no whole number of Hz a card could run.
unsigned NativeRate(double hz) {
  return hz >= 1.0 && hz <= 4.0e6 && hz == std::floor(hz) ? static_cast<unsigned>(hz) : 0;
}

}  // namespace

BoardStatus AlsaInput::Check(const RunSettings& run, std::string* refusal) const {
  auto say = [&](BoardStatus status, std::string text) {
    if (refusal) *refusal = std::move(text);
    return status;
  };
  if (run.channels.size() > kMaxUsedChannels) return kAlsaBadValue;
  if (run.trigger == kTriggerExternalTtl) {
    return say(kAlsaNoTrigger, "\"" + label_ +
                                   "\" is a sound device and has no external TTL trigger input.  Switch off the "
                                   "trigger in the Recording Options to record from it.");
  }
  if (run.trigger != kTriggerImmediate) return kAlsaUnsupported;
  for (int32_t channel : run.channels) {
    if (channel < 0 || channel >= static_cast<int32_t>(device_.channels)) {
      return say(kAlsaNoSuchChannel, "Channel " + std::to_string(channel) + " is not an input of \"" + label_ +
                                         "\": it has " + std::to_string(device_.channels) + " input channels (0 to " +
                                         std::to_string(device_.channels - 1) + ").");
    }
  }
  const unsigned rate = NativeRate(run.clockHz);
  if (std::find(device_.rates.begin(), device_.rates.end(), rate) == device_.rates.end()) {
    return say(kAlsaRateNotNative, "\"" + label_ + "\" cannot sample at " + std::to_string(rate) +
                                       " Hz without resampling, and a resampled measurement is not the signal.  "
                                       "Rates it runs: " +
                                       RateList(device_.rates) + ".");
  }
  // One gain, and no sentence: the recorder's own check of the gains speaks.
  for (double gain : run.gains) {
    if (gain != 1.0) return kAlsaBadValue;
  }
  return kBoardSuccess;
}

BoardStatus AlsaInput::Configure(const RunSettings& run) {
  const Setup setup{NativeRate(run.clockHz), run.channels};
  if (configured_ && applied_ == setup) return kBoardSuccess;
  configured_ = false;

  snd_pcm_t* pcm = pcm_;
  snd_pcm_hw_params_t* hw = nullptr;
  snd_pcm_hw_params_alloca(&hw);
  int error = snd_pcm_hw_params_any(pcm, hw);
  if (error >= 0) error = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_MMAP_INTERLEAVED);
  if (error >= 0) error = snd_pcm_hw_params_set_format(pcm, hw, static_cast<snd_pcm_format_t>(SampleFormat(device_)));
  if (error >= 0) error = snd_pcm_hw_params_set_channels(pcm, hw, device_.openChannels);
  if (error >= 0) error = snd_pcm_hw_params_set_rate(pcm, hw, setup.rate, 0);
  // Periods of about 20 ms, and a ring of half a second to ride out a busy main thread.
  snd_pcm_uframes_t period = std::max<snd_pcm_uframes_t>(32, setup.rate / 50);
  int dir = 0;
  if (error >= 0) error = snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir);
  snd_pcm_uframes_t ring = std::max<snd_pcm_uframes_t>(period * 4, setup.rate / 2);
  if (error >= 0) error = snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &ring);
  if (error >= 0) error = snd_pcm_hw_params(pcm, hw);
  unsigned rate = 0;
  if (error >= 0) error = snd_pcm_hw_params_get_rate(hw, &rate, &dir);
  if (error >= 0 && (rate != setup.rate || dir != 0)) {
    platform::Trace("ALSA %s runs %u Hz, not %u Hz\n", snd_pcm_name(pcm), rate, setup.rate);
    return kAlsaRateNotNative;
  }
  if (error >= 0) error = snd_pcm_hw_params_get_period_size(hw, &period, &dir);
  if (error >= 0) error = snd_pcm_hw_params_get_buffer_size(hw, &ring);
  snd_pcm_sw_params_t* sw = nullptr;
  snd_pcm_sw_params_alloca(&sw);
  snd_pcm_uframes_t boundary = 0;
  if (error >= 0) error = snd_pcm_sw_params_current(pcm, sw);
  if (error >= 0) error = snd_pcm_sw_params_get_boundary(sw, &boundary);
  if (error >= 0) error = snd_pcm_sw_params_set_avail_min(pcm, sw, period);
  // Started by the capture thread, and stopped by ALSA exactly when the ring is full.
  if (error >= 0) error = snd_pcm_sw_params_set_start_threshold(pcm, sw, boundary);
  if (error >= 0) error = snd_pcm_sw_params_set_stop_threshold(pcm, sw, ring);
  if (error >= 0) error = snd_pcm_sw_params(pcm, sw);
  if (error < 0) {
    platform::Trace("ALSA setup of %s failed: %s\n", snd_pcm_name(pcm), snd_strerror(error));
    return FromAlsa(error);
  }
  applied_ = setup;
  ring_ = ring;
  configured_ = true;
  return kBoardSuccess;
}

}  // namespace varnel::alsa
