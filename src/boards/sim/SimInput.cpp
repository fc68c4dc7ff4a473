#include "boards/sim/SimInput.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace varnel::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;

double SignalValue(const ChannelSignal& signal, uint64_t scan, double t, std::mt19937& noise) {
  switch (signal.kind) {
    case SignalKind::Pulse:
      return signal.PulseValue(scan);
    case SignalKind::Sine:
      return signal.amplitude * std::sin(2.0 * std::numbers::pi * signal.frequency * t);
    case SignalKind::Noise:
      return std::normal_distribution<double>(0.0, std::fabs(signal.amplitude))(noise);
    case SignalKind::Dc:
      return signal.amplitude;
    case SignalKind::Silence:
      return 0.0;
  }
  return 0.0;
}

// The input stage and the converter: gain, clipping at the range, then the
// code counted from the lower limit, in the board's encoding.
uint16_t Encode(double volts, double gain, const BoardModel& model) {
  const double input = std::clamp(volts * gain, model.rangeLow, model.rangeHigh);
  const double steps = static_cast<double>(1u << model.resolution);
  const double level = std::floor((input - model.rangeLow) / (model.rangeHigh - model.rangeLow) * steps + 0.5);
  const auto code = static_cast<int32_t>(std::clamp(level, 0.0, steps - 1.0));
  if (model.encoding == kEncodingUnsigned) return static_cast<uint16_t>(code);
  const int32_t half = 1 << (model.resolution - 1);
  return static_cast<uint16_t>(static_cast<int16_t>(code - half));
}

boards::InputCapabilities CapabilitiesOf(const BoardModel& model) {
  boards::InputCapabilities caps;
  caps.channels = model.channels;
  caps.gains = model.gainCount;
  caps.simultaneous = model.simultaneous == 1;
  caps.maxThroughput = model.maxThroughput;
  caps.codes = {model.rangeHigh, model.rangeLow, model.encoding, model.resolution};
  return caps;
}

}  // namespace

SimInput::SimInput(BoardModel model, const bool& stepMode)
    : model_(std::move(model)), stepMode_(stepMode), caps_(CapabilitiesOf(model_)) {}

SimInput::~SimInput() {
  Stop();
}

BoardStatus SimInput::Check(const RunSettings& run, std::string*) const {
  if (!(run.clockHz > 0.0) || run.clockHz > model_.maxThroughput) return kSimBadValue;
  for (std::size_t e = 0; e < run.channels.size(); ++e) {
    if (run.channels[e] < 0 || run.channels[e] >= model_.channels) return kSimBadValue;
    if (!model_.SupportsGain(run.gains[e])) return kSimBadValue;
  }
  if (run.trigger != kTriggerImmediate && run.trigger != kTriggerExternalTtl) return kSimUnsupported;
  return kBoardSuccess;
}

BoardStatus SimInput::Configure(const RunSettings& run) {
  run_ = run;
  configured_ = true;
  return kBoardSuccess;
}

BoardStatus SimInput::Start(boards::BufferFiller filler) {
  std::lock_guard lock(mutex_);
  filler_ = filler;
  overrun_ = false;
  queued_ = false;
  scans_ = 0;
  if (!stepMode_) producer_ = std::thread(&SimInput::Produce, this);
  return kBoardSuccess;
}

void SimInput::Stop() {
  std::unique_lock lock(mutex_);
  if (producer_.joinable()) {
    stopRequested_ = true;
    wake_.notify_all();
    std::thread producer = std::move(producer_);
    lock.unlock();
    producer.join();
    lock.lock();
    stopRequested_ = false;
  }
  filler_.reset();
}

void SimInput::BufferQueued() {
  std::lock_guard lock(mutex_);
  queued_ = true;
  wake_.notify_all();
}

bool SimInput::Producing() const {
  std::lock_guard lock(mutex_);
  return filler_.has_value() && !overrun_;
}

bool SimInput::Overrun() const {
  std::lock_guard lock(mutex_);
  return overrun_;
}

double SimInput::ScanRate() const {
  const double listSize = static_cast<double>(run_.channels.size());
  return model_.simultaneous == 1 ? run_.clockHz : run_.clockHz / listSize;
}

void SimInput::FillSignals(uint16_t* out, uint64_t first, std::size_t scans) {
  const std::size_t listSize = run_.channels.size();
  const bool simultaneous = model_.simultaneous == 1;
  const double scanRate = ScanRate();
  for (std::size_t k = 0; k < scans; ++k) {
    const uint64_t scan = first + k;
    for (std::size_t e = 0; e < listSize; ++e) {
      // Without simultaneous sampling each entry is converted one clock tick after the previous.
      const double t =
          simultaneous ? static_cast<double>(scan) / scanRate : static_cast<double>(scan * listSize + e) / run_.clockHz;
      const ChannelSignal& signal = model_.signals[static_cast<std::size_t>(run_.channels[e])];
      out[k * listSize + e] = Encode(SignalValue(signal, scan, t, noise_), run_.gains[e], model_);
    }
  }
}

bool SimInput::Step(SimFill fill, std::span<const uint16_t> codes) {
  std::unique_lock lock(mutex_);
  if (!filler_) return false;
  boards::BufferFiller filler = *filler_;
  const boards::BufferFiller::Target target = filler.Current();
  if (!target) {
    overrun_ = true;
    lock.unlock();
    filler.Overrun();
    return false;
  }
  overrun_ = false;
  const std::size_t listSize = run_.channels.size();
  const uint32_t scans = target.capacity - target.filled;
  if (fill == SimFill::Signals) {
    FillSignals(target.samples + target.filled * listSize, scans_, scans);
  } else if (fill == SimFill::Codes && !codes.empty()) {
    for (std::size_t i = target.filled * listSize; i < target.capacity * listSize; ++i) {
      target.samples[i] = codes[i % codes.size()];
    }
  }
  scans_ += scans;
  lock.unlock();
  filler.Filled(scans);
  return true;
}

bool SimInput::StepPart(std::size_t scans) {
  std::lock_guard lock(mutex_);
  if (!filler_) return false;
  const boards::BufferFiller::Target target = filler_->Current();
  if (!target) return false;
  const auto n = static_cast<uint32_t>(std::min<std::size_t>(scans, target.capacity - target.filled));
  FillSignals(target.samples + target.filled * run_.channels.size(), scans_, n);
  scans_ += n;
  filler_->Filled(n);
  return true;
}

void SimInput::Produce() {
  std::unique_lock lock(mutex_);
  boards::BufferFiller filler = *filler_;
  const double scanRate = ScanRate();
  const std::size_t listSize = run_.channels.size();
  auto start = SteadyClock::now();
  if (run_.trigger == kTriggerExternalTtl) start += std::chrono::milliseconds(model_.triggerDelayMs);
  auto stopping = [this] { return stopRequested_; };
  auto scansAt = [&](SteadyClock::time_point t) {
    return static_cast<uint64_t>(std::max(0.0, std::chrono::duration<double>(t - start).count() * scanRate));
  };
  if (wake_.wait_until(lock, start, stopping)) return;

  while (!stopRequested_) {
    const boards::BufferFiller::Target target = filler.Current();
    if (!target) {
      overrun_ = true;
      lock.unlock();
      filler.Overrun();
      lock.lock();
      wake_.wait(lock, [this] { return stopRequested_ || queued_; });
      queued_ = false;
      overrun_ = false;
      // What was converted while no buffer was ready is lost.
      scans_ = std::max(scans_, scansAt(SteadyClock::now()));
      continue;
    }
    // The buffer is being filled from now until its last scan is converted.
    const uint32_t scans = target.capacity - target.filled;
    uint16_t* out = target.samples + target.filled * listSize;
    const auto due = start + std::chrono::duration_cast<SteadyClock::duration>(
                                 std::chrono::duration<double>(static_cast<double>(scans_ + scans) / scanRate));
    if (wake_.wait_until(lock, due, stopping)) {
      // Stopped part way: the scans converted so far are valid (the stop hands the buffer over).
      const uint64_t reached = scansAt(SteadyClock::now());
      const auto part = static_cast<uint32_t>(reached > scans_ ? std::min<uint64_t>(reached - scans_, scans - 1) : 0);
      FillSignals(out, scans_, part);
      scans_ += part;
      filler.Filled(part);
      return;
    }
    const uint64_t first = scans_;
    lock.unlock();
    FillSignals(out, first, scans);
    lock.lock();
    scans_ += scans;
    lock.unlock();
    filler.Filled(scans);
    lock.lock();
  }
}

}  // namespace varnel::sim
