#include "monitor/MonitorModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace varnel::monitor {

MonitorModel::MonitorModel() {
  for (int side = 0; side < 2; ++side) {
    channels_[side].scale = ScaleOf(ChannelCalibration{}, kSideNames[side]);
    channels_[side].spectrum.SetAveraging(averaging_);
  }
}

void MonitorModel::Apply(const LinkEvent& event) {
  switch (event.kind) {
    case EventKind::Command:
      switch (event.command.kind) {
        case CommandKind::SamplingRate:
          if (samplingRate_ != static_cast<double>(event.command.value))
            for (auto& c : channels_) c.spectrum.Reset();
          samplingRate_ = static_cast<double>(event.command.value);
          break;
        case CommandKind::SamplingPrecision:
          precision_ = event.command.value;
          break;
        default:
          mode_ = CommandText(event.command);
          break;
      }
      break;
    case EventKind::Calibration:
      for (int side = 0; side < 2; ++side) {
        const ChannelCalibration& half = side == 0 ? event.calibration.Left : event.calibration.Right;
        // Another channel (or calibration) on this side: its average starts afresh.
        if (std::memcmp(&half, &halves_[side], sizeof half) != 0) channels_[side].spectrum.Reset();
        halves_[side] = half;
        channels_[side].scale = ScaleOf(half, kSideNames[side]);
      }
      break;
    case EventKind::FftRequest:
      break;
    case EventKind::Refusal:
      lastRefusal_ = event.text;
      ++refusals_;
      break;
  }
}

void MonitorModel::AddBlock(const std::vector<int16_t>& interleaved) {
  const std::size_t received = interleaved.size() / 2;
  if (received < 2) return;
  blockLength_ = received;
  ++blocks_;
  // A block longer than the largest FFT size is shown and analysed by its
  // newest frames: a transform of any length (a prime one of 16 million
  // frames takes half a minute) would hold the window for nothing it can show.
  const std::size_t frames = std::min<std::size_t>(received, kFftSizes.back());
  const int16_t* newest = interleaved.data() + 2 * (received - frames);
  for (int side = 0; side < 2; ++side) {
    ChannelView& c = channels_[side];
    c.waveform.resize(frames);
    for (std::size_t f = 0; f < frames; ++f) c.waveform[f] = newest[2 * f + side];
    c.spectrum.Add(c.waveform.data(), 1, frames);
    c.peak = FindPeak(c.spectrum, samplingRate_, c.scale);
  }
}

void MonitorModel::SetAveraging(Averaging averaging) {
  averaging_ = averaging;
  for (auto& c : channels_) c.spectrum.SetAveraging(averaging);
}

std::string MonitorModel::StatusLine() const {
  std::string line = " " + mode_;
  line += samplingRate_ > 0.0 ? ", " + std::to_string(static_cast<int64_t>(samplingRate_)) + " Hz" : ", rate unknown";
  if (precision_ > 0) line += ", " + std::to_string(precision_) + " bits";
  if (blockLength_ > 0) line += ", blocks of " + std::to_string(blockLength_);
  line += ", " + std::to_string(blocks_) + " received";
  return line;
}

std::string MonitorModel::PeakText(int side) const {
  const ChannelView& c = channels_[side];
  if (!c.peak.found || !std::isfinite(c.peak.decibels)) return c.scale.name + ": no signal";
  char text[200];
  std::snprintf(text, sizeof text, "%s: peak %.1f %s, %.1f %s", c.scale.name.c_str(), c.peak.frequency, FrequencyUnit(),
                c.peak.decibels, c.scale.logUnits.c_str());
  return text;
}

}  // namespace varnel::monitor
