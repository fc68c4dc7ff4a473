#include "boards/sim/SimulatedBoard.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

#include "platform/Messages.h"

namespace varnel::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr uint32_t kMaxBufferSamples = 1u << 26;

double SignalValue(const ChannelSignal& signal, double t, std::mt19937& noise) {
  switch (signal.kind) {
    case SignalKind::Sine: return signal.amplitude * std::sin(2.0 * std::numbers::pi * signal.frequency * t);
    case SignalKind::Noise: return std::normal_distribution<double>(0.0, std::fabs(signal.amplitude))(noise);
    case SignalKind::Dc: return signal.amplitude;
    case SignalKind::Silence: return 0.0;
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

}  // namespace

SimulatedBoard::SimulatedBoard(std::string iniPath) : iniPath_(std::move(iniPath)) {}

SimulatedBoard::~SimulatedBoard() {
  std::unique_lock lock(mutex_);
  for (auto& [handle, sub] : subsystems_) StopProducer(lock, *sub);
}

std::unique_ptr<BoardApi> MakeSimulatedBoard(std::string iniPath) {
  if (iniPath.empty()) iniPath = DefaultSimSettingsPath();
  return std::make_unique<SimulatedBoard>(std::move(iniPath));
}

// ---- test controls ----

void SimulatedBoard::SetStepMode(bool on) {
  std::lock_guard lock(mutex_);
  stepMode_ = on;
}

void SimulatedBoard::SetDriverAvailable(bool available) {
  std::lock_guard lock(mutex_);
  driverAvailable_ = available;
}

void SimulatedBoard::FailCall(SimCall call, BoardStatus status, int32_t times) {
  std::lock_guard lock(mutex_);
  failures_[call] = {status, times};
}

std::vector<std::string> SimulatedBoard::CallLog() const {
  std::lock_guard lock(mutex_);
  return callLog_;
}

void SimulatedBoard::SetCallLogging(bool on) {
  std::lock_guard lock(mutex_);
  logging_ = on;
}

void SimulatedBoard::ClearCallLog() {
  std::lock_guard lock(mutex_);
  callLog_.clear();
}

SubsystemView SimulatedBoard::View() const {
  std::lock_guard lock(mutex_);
  SubsystemView view;
  auto it = subsystems_.find(lastSubsystem_);
  if (it == subsystems_.end()) return view;
  const Subsystem& sub = *it->second;
  view.exists = true;
  view.dataFlow = sub.dataFlow;
  view.wrapMode = sub.wrapMode;
  view.clockFrequency = sub.pending.clock;
  view.clockSource = sub.clockSource;
  view.trigger = sub.pending.trigger;
  view.channels = sub.pending.channels;
  view.gains = sub.pending.gains;
  view.running = sub.running;
  view.overrun = sub.overrun;
  view.ready = sub.ready.size();
  view.done = sub.done.size();
  return view;
}

std::size_t SimulatedBoard::AllocatedBuffers() const {
  std::lock_guard lock(mutex_);
  return buffers_.size();
}

bool SimulatedBoard::StepBuffer() { return Step(Fill::Signals, {}); }
bool SimulatedBoard::StepBuffer(std::span<const uint16_t> codes) { return Step(Fill::Codes, codes); }
bool SimulatedBoard::StepBufferUnchanged() { return Step(Fill::Unchanged, {}); }

bool SimulatedBoard::StepPartialBuffer(std::size_t scans) {
  std::lock_guard lock(mutex_);
  Subsystem* sub = FindSubsystem(lastSubsystem_);
  if (sub == nullptr || !sub->running || sub->ready.empty() || sub->filling != 0) return false;
  sub->filling = sub->ready.front();
  sub->ready.pop_front();
  Buffer& buffer = *FindBuffer(sub->filling);
  const std::size_t n = std::min(scans, BufferScans(*sub, buffer));
  FillWithSignals(*sub, buffer, sub->scans, n);
  sub->scans += n;
  return true;
}

std::size_t SimulatedBoard::BufferScans(const Subsystem& sub, const Buffer& buffer) {
  return sub.applied.channels.empty() ? 0 : buffer.samples.size() / sub.applied.channels.size();
}

bool SimulatedBoard::Step(Fill fill, std::span<const uint16_t> codes) {
  std::unique_lock lock(mutex_);
  Subsystem* sub = FindSubsystem(lastSubsystem_);
  if (sub == nullptr || !sub->running) return false;
  if (sub->ready.empty()) {
    sub->overrun = true;
    sub->running = false;
    platform::MessageLoop* window = sub->window;
    lock.unlock();
    PostTo(window, platform::kBufferOverrunMessage, lastSubsystem_);
    return false;
  }
  const BoardHandle handle = sub->ready.front();
  sub->ready.pop_front();
  Buffer& buffer = *FindBuffer(handle);
  const std::size_t scans = buffer.samples.size() / sub->applied.channels.size();
  if (fill == Fill::Signals) {
    FillWithSignals(*sub, buffer, sub->scans, scans);
  } else if (fill == Fill::Codes && !codes.empty()) {
    for (std::size_t i = 0; i < buffer.samples.size(); ++i) buffer.samples[i] = codes[i % codes.size()];
  }
  buffer.valid = static_cast<int32_t>(scans * sub->applied.channels.size());
  sub->scans += scans;
  sub->done.push_back(handle);
  platform::MessageLoop* window = sub->window;
  const BoardHandle subHandle = lastSubsystem_;
  lock.unlock();
  PostTo(window, platform::kBufferDoneMessage, subHandle);
  return true;
}

// ---- helpers ----

bool SimulatedBoard::Failing(SimCall call, BoardStatus* status) {
  auto it = failures_.find(call);
  if (it == failures_.end() || it->second.second <= 0) return false;
  *status = it->second.first;
  if (--it->second.second == 0) failures_.erase(it);
  return true;
}

void SimulatedBoard::Log(const char* call) {
  if (logging_) callLog_.emplace_back(call);
}

SimulatedBoard::Subsystem* SimulatedBoard::FindSubsystem(BoardHandle handle) {
  auto it = subsystems_.find(handle);
  return it == subsystems_.end() ? nullptr : it->second.get();
}

SimulatedBoard::Buffer* SimulatedBoard::FindBuffer(BoardHandle handle) {
  auto it = buffers_.find(handle);
  return it == buffers_.end() ? nullptr : it->second.get();
}

void SimulatedBoard::PostTo(platform::MessageLoop* window, uint32_t message, BoardHandle subsystem) {
  if (window != nullptr) window->Post({message, subsystem, 0});
}

void SimulatedBoard::StopProducer(std::unique_lock<std::mutex>& lock, Subsystem& sub) {
  if (sub.producer.joinable()) {
    sub.stopRequested = true;
    sub.wake.notify_all();
    std::thread producer = std::move(sub.producer);
    lock.unlock();
    producer.join();
    lock.lock();
    sub.stopRequested = false;
  }
  // A buffer part way through is handed over with the scans it holds.
  if (sub.filling != 0) {
    sub.done.push_back(sub.filling);
    sub.filling = 0;
  }
  sub.running = false;
}

void SimulatedBoard::DropSubsystem(std::unique_lock<std::mutex>& lock, BoardHandle handle) {
  Subsystem* sub = FindSubsystem(handle);
  if (sub == nullptr) return;
  StopProducer(lock, *sub);
  // Buffers still queued cannot be reached any more; the driver takes them back.
  for (BoardHandle b : sub->ready) buffers_.erase(b);
  for (BoardHandle b : sub->done) buffers_.erase(b);
  subsystems_.erase(handle);
  if (lastSubsystem_ == handle) lastSubsystem_ = 0;
}

void SimulatedBoard::FillWithSignals(Subsystem& sub, Buffer& buffer, uint64_t firstScan, std::size_t scans) {
  const Setup& setup = sub.applied;
  const std::size_t listSize = setup.channels.size();
  const bool simultaneous = sub.model.simultaneous == 1;
  const double scanRate = simultaneous ? setup.clock : setup.clock / static_cast<double>(listSize);
  for (std::size_t k = 0; k < scans; ++k) {
    const uint64_t scan = firstScan + k;
    for (std::size_t e = 0; e < listSize; ++e) {
      // Without simultaneous sampling each entry is converted one clock tick after the previous.
      const double t = simultaneous ? static_cast<double>(scan) / scanRate
                                    : static_cast<double>(scan * listSize + e) / setup.clock;
      const ChannelSignal& signal = sub.model.signals[static_cast<std::size_t>(setup.channels[e])];
      buffer.samples[k * listSize + e] = Encode(SignalValue(signal, t, sub.noise), setup.gains[e], sub.model);
    }
  }
  buffer.valid = static_cast<int32_t>(scans * listSize);
}

void SimulatedBoard::RunProducer(BoardHandle handle) {
  std::unique_lock lock(mutex_);
  Subsystem* sub = FindSubsystem(handle);
  if (sub == nullptr) return;
  const std::size_t listSize = sub->applied.channels.size();
  const double scanRate = sub->model.simultaneous == 1 ? sub->applied.clock
                                                       : sub->applied.clock / static_cast<double>(listSize);
  auto start = SteadyClock::now();
  if (sub->applied.trigger == kTriggerExternalTtl) start += std::chrono::milliseconds(sub->model.triggerDelayMs);
  auto stopping = [sub] { return sub->stopRequested; };
  if (sub->wake.wait_until(lock, start, stopping)) return;

  while (!sub->stopRequested) {
    if (sub->ready.empty()) {
      sub->overrun = true;
      sub->running = false;
      platform::MessageLoop* window = sub->window;
      lock.unlock();
      PostTo(window, platform::kBufferOverrunMessage, handle);
      return;
    }
    // The buffer is being filled from now until its last scan is converted.
    sub->filling = sub->ready.front();
    sub->ready.pop_front();
    Buffer* buffer = FindBuffer(sub->filling);
    const uint64_t scans = buffer->samples.size() / listSize;
    const auto due = start + std::chrono::duration_cast<SteadyClock::duration>(
                                 std::chrono::duration<double>(static_cast<double>(sub->scans + scans) / scanRate));
    if (sub->wake.wait_until(lock, due, stopping)) {
      // Stopped part way: the scans converted so far are valid (the stop hands the buffer over).
      const double ran = std::chrono::duration<double>(SteadyClock::now() - start).count() * scanRate;
      const auto reached = static_cast<uint64_t>(std::max(0.0, ran));
      const uint64_t partial = reached > sub->scans ? std::min<uint64_t>(reached - sub->scans, scans - 1) : 0;
      FillWithSignals(*sub, *buffer, sub->scans, static_cast<std::size_t>(partial));
      sub->scans += partial;
      return;
    }
    const uint64_t firstScan = sub->scans;
    lock.unlock();
    FillWithSignals(*sub, *buffer, firstScan, static_cast<std::size_t>(scans));
    lock.lock();
    sub->scans += scans;
    sub->done.push_back(sub->filling);
    sub->filling = 0;
    platform::MessageLoop* window = sub->window;
    lock.unlock();
    PostTo(window, platform::kBufferDoneMessage, handle);
    lock.lock();
  }
}

// ---- BoardApi ----

bool SimulatedBoard::LoadDriver() {
  std::lock_guard lock(mutex_);
  return driverAvailable_;
}

BoardStatus SimulatedBoard::EnumerateBoards(const BoardEnumCallback& callback) {
  std::vector<BoardModel> models = ReadBoardModels(iniPath_);
  BoardStatus failure = kBoardSuccess;
  {
    std::lock_guard lock(mutex_);
    Log("EnumerateBoards");
    models_ = models;
    Failing(SimCall::EnumerateBoards, &failure);
  }
  // The callback runs without the lock: it may call back into the driver.
  for (const BoardModel& model : models) {
    if (callback(model.name) != 1) break;
  }
  return failure;
}

BoardStatus SimulatedBoard::InitializeBoard(std::string_view name, BoardHandle* board) {
  std::lock_guard lock(mutex_);
  Log("InitializeBoard");
  BoardStatus status;
  if (board == nullptr) return kSimBadValue;
  *board = 0;
  if (Failing(SimCall::InitializeBoard, &status)) return status;
  if (models_.empty()) models_ = ReadBoardModels(iniPath_);
  auto it = std::find_if(models_.begin(), models_.end(), [&](const BoardModel& m) { return m.name == name; });
  if (it == models_.end()) return kSimNoSuchBoard;
  *board = nextBoard_++;
  boards_[*board] = it->name;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::TerminateBoard(BoardHandle board) {
  std::unique_lock lock(mutex_);
  Log("TerminateBoard");
  if (boards_.find(board) == boards_.end()) return kSimBadHandle;
  std::vector<BoardHandle> owned;
  for (const auto& [handle, sub] : subsystems_) {
    if (sub->board == board) owned.push_back(handle);
  }
  for (BoardHandle handle : owned) DropSubsystem(lock, handle);
  boards_.erase(board);
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::GetSubsystem(BoardHandle board, int32_t type, int32_t element, BoardHandle* subsystem) {
  std::lock_guard lock(mutex_);
  Log("GetSubsystem");
  BoardStatus status;
  if (subsystem == nullptr) return kSimBadValue;
  *subsystem = 0;
  if (Failing(SimCall::GetSubsystem, &status)) return status;
  auto it = boards_.find(board);
  if (it == boards_.end()) return kSimBadHandle;
  if (type != kSubsystemAnalogInput || element != 0) return kSimUnsupported;
  for (const auto& [handle, sub] : subsystems_) {
    if (sub->board == board) return kSimBusy;
  }
  auto model = std::find_if(models_.begin(), models_.end(), [&](const BoardModel& m) { return m.name == it->second; });
  if (model == models_.end()) return kSimNoSuchBoard;
  auto sub = std::make_unique<Subsystem>();
  sub->board = board;
  sub->model = *model;
  *subsystem = nextSubsystem_++;
  subsystems_[*subsystem] = std::move(sub);
  lastSubsystem_ = *subsystem;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::ReleaseSubsystem(BoardHandle subsystem) {
  std::unique_lock lock(mutex_);
  Log("ReleaseSubsystem");
  if (FindSubsystem(subsystem) == nullptr) return kSimBadHandle;
  DropSubsystem(lock, subsystem);
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::GetSubsystemCapability(BoardHandle subsystem, int32_t code, int32_t* value) {
  std::lock_guard lock(mutex_);
  Log("GetSubsystemCapability");
  BoardStatus status;
  if (Failing(SimCall::GetSubsystemCapability, &status)) return status;
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  if (value == nullptr) return kSimBadValue;
  switch (code) {
    case kCapChannelCount: *value = sub->model.channels; return kBoardSuccess;
    case kCapGainCount: *value = sub->model.gainCount; return kBoardSuccess;
    case kCapSimultaneous: *value = sub->model.simultaneous; return kBoardSuccess;
    default: return kSimUnsupported;
  }
}

BoardStatus SimulatedBoard::GetSubsystemCapabilityValue(BoardHandle subsystem, int32_t code, double* value) {
  std::lock_guard lock(mutex_);
  Log("GetSubsystemCapabilityValue");
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  if (value == nullptr) return kSimBadValue;
  if (code != kCapMaxThroughput) return kSimUnsupported;
  *value = sub->model.maxThroughput;
  return kBoardSuccess;
}

// Settings are refused while the sub-system runs.
#define VARNEL_SIM_SETTING(call)                          \
  std::lock_guard lock(mutex_);                           \
  Log(call);                                              \
  Subsystem* sub = FindSubsystem(subsystem);              \
  if (sub == nullptr) return kSimBadHandle;               \
  if (sub->running) return kSimBusy

BoardStatus SimulatedBoard::SetDataFlow(BoardHandle subsystem, int32_t flow) {
  VARNEL_SIM_SETTING("SetDataFlow");
  if (flow != kDataFlowContinuous) return kSimUnsupported;
  sub->dataFlow = flow;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::SetWrapMode(BoardHandle subsystem, int32_t mode) {
  VARNEL_SIM_SETTING("SetWrapMode");
  sub->wrapMode = mode;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::SetClockFrequency(BoardHandle subsystem, double hz) {
  VARNEL_SIM_SETTING("SetClockFrequency");
  BoardStatus status;
  if (Failing(SimCall::SetClockFrequency, &status)) return status;
  if (!(hz > 0.0) || hz > sub->model.maxThroughput) return kSimBadValue;
  sub->pending.clock = hz;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::SetClockSource(BoardHandle subsystem, int32_t source) {
  VARNEL_SIM_SETTING("SetClockSource");
  if (source != kClockSourceInternal) return kSimUnsupported;
  sub->clockSource = source;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::SetChannelListSize(BoardHandle subsystem, int32_t size) {
  VARNEL_SIM_SETTING("SetChannelListSize");
  if (size < 1 || size > 256) return kSimBadValue;
  sub->pending.channels.assign(static_cast<std::size_t>(size), -1);
  sub->pending.gains.assign(static_cast<std::size_t>(size), 1.0);
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::SetChannelListEntry(BoardHandle subsystem, int32_t index, int32_t channel) {
  VARNEL_SIM_SETTING("SetChannelListEntry");
  if (index < 0 || static_cast<std::size_t>(index) >= sub->pending.channels.size()) return kSimBadValue;
  if (channel < 0 || channel >= sub->model.channels) return kSimBadValue;
  sub->pending.channels[static_cast<std::size_t>(index)] = channel;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::SetGainListEntry(BoardHandle subsystem, int32_t index, double gain) {
  VARNEL_SIM_SETTING("SetGainListEntry");
  if (index < 0 || static_cast<std::size_t>(index) >= sub->pending.gains.size()) return kSimBadValue;
  if (!sub->model.SupportsGain(gain)) return kSimBadValue;
  sub->pending.gains[static_cast<std::size_t>(index)] = gain;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::SetTrigger(BoardHandle subsystem, int32_t trigger) {
  VARNEL_SIM_SETTING("SetTrigger");
  if (trigger != kTriggerImmediate && trigger != kTriggerExternalTtl) return kSimUnsupported;
  sub->pending.trigger = trigger;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::ApplySettings(BoardHandle subsystem) {
  VARNEL_SIM_SETTING("ApplySettings");
  BoardStatus status;
  if (Failing(SimCall::ApplySettings, &status)) return status;
  const Setup& setup = sub->pending;
  if (!(setup.clock > 0.0) || setup.channels.empty()) return kSimNotConfigured;
  if (std::find(setup.channels.begin(), setup.channels.end(), -1) != setup.channels.end()) return kSimNotConfigured;
  sub->applied = setup;
  sub->configured = true;
  return kBoardSuccess;
}

#undef VARNEL_SIM_SETTING

BoardStatus SimulatedBoard::SetNotificationWindow(BoardHandle subsystem, platform::MessageLoop* window,
                                                  intptr_t lParam) {
  std::lock_guard lock(mutex_);
  Log("SetNotificationWindow");
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  sub->window = window;
  sub->lParam = lParam;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::StartAcquisition(BoardHandle subsystem) {
  std::unique_lock lock(mutex_);
  Log("StartAcquisition");
  BoardStatus status;
  if (Failing(SimCall::StartAcquisition, &status)) return status;
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  if (sub->running) return kSimBusy;
  if (!sub->configured) return kSimNotConfigured;
  StopProducer(lock, *sub);  // a producer that ended on an overrun
  sub->running = true;
  sub->overrun = false;
  sub->scans = 0;
  if (!stepMode_) sub->producer = std::thread(&SimulatedBoard::RunProducer, this, subsystem);
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::StopAcquisition(BoardHandle subsystem) {
  std::unique_lock lock(mutex_);
  Log("StopAcquisition");
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  StopProducer(lock, *sub);
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::EndAcquisitionAndFlush(BoardHandle subsystem) {
  std::unique_lock lock(mutex_);
  Log("EndAcquisitionAndFlush");
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  StopProducer(lock, *sub);
  while (!sub->ready.empty()) {
    // Flushed unfilled: no sample of it is valid.
    if (Buffer* b = FindBuffer(sub->ready.front())) b->valid = 0;
    sub->done.push_back(sub->ready.front());
    sub->ready.pop_front();
  }
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) {
  std::lock_guard lock(mutex_);
  Log("TakeDoneBuffer");
  if (buffer == nullptr) return kSimBadValue;
  *buffer = 0;
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  if (!sub->done.empty()) {
    *buffer = sub->done.front();
    sub->done.pop_front();
  }
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) {
  std::lock_guard lock(mutex_);
  Log("QueueReadyBuffer");
  BoardStatus status;
  if (Failing(SimCall::QueueReadyBuffer, &status)) return status;
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr || FindBuffer(buffer) == nullptr) return kSimBadHandle;
  if (!sub->applied.channels.empty() && FindBuffer(buffer)->samples.size() < sub->applied.channels.size()) {
    return kSimBadValue;
  }
  sub->ready.push_back(buffer);
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::GetRange(BoardHandle subsystem, double* upper, double* lower) {
  std::lock_guard lock(mutex_);
  Log("GetRange");
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  if (upper == nullptr || lower == nullptr) return kSimBadValue;
  *upper = sub->model.rangeHigh;
  *lower = sub->model.rangeLow;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::GetEncoding(BoardHandle subsystem, int32_t* encoding) {
  std::lock_guard lock(mutex_);
  Log("GetEncoding");
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  if (encoding == nullptr) return kSimBadValue;
  *encoding = sub->model.encoding;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::GetResolution(BoardHandle subsystem, int32_t* bits) {
  std::lock_guard lock(mutex_);
  Log("GetResolution");
  Subsystem* sub = FindSubsystem(subsystem);
  if (sub == nullptr) return kSimBadHandle;
  if (bits == nullptr) return kSimBadValue;
  *bits = sub->model.resolution;
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::AllocateBuffer(uint32_t, uint32_t, uint32_t samples, uint32_t sampleBytes,
                                           BoardHandle* buffer) {
  std::lock_guard lock(mutex_);
  Log("AllocateBuffer");
  BoardStatus status;
  if (buffer == nullptr) return kSimBadValue;
  *buffer = 0;
  if (Failing(SimCall::AllocateBuffer, &status)) return status;
  if (sampleBytes != 2 || samples == 0 || samples > kMaxBufferSamples) return kSimBadValue;
  auto created = std::make_unique<Buffer>();
  created->samples.assign(samples, 0);
  *buffer = nextBuffer_++;
  buffers_[*buffer] = std::move(created);
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::FreeBuffer(BoardHandle buffer) {
  std::lock_guard lock(mutex_);
  Log("FreeBuffer");
  if (FindBuffer(buffer) == nullptr) return kSimBadHandle;
  for (auto& [handle, sub] : subsystems_) {
    // The producer is writing into it.
    if (sub->filling == buffer) return kSimBusy;
    std::erase(sub->ready, buffer);
    std::erase(sub->done, buffer);
  }
  buffers_.erase(buffer);
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::GetBufferData(BoardHandle buffer, uint16_t** data) {
  std::lock_guard lock(mutex_);
  Log("GetBufferData");
  Buffer* found = FindBuffer(buffer);
  if (found == nullptr) return kSimBadHandle;
  if (data == nullptr) return kSimBadValue;
  *data = found->samples.data();
  return kBoardSuccess;
}

BoardStatus SimulatedBoard::GetValidSamples(BoardHandle buffer, int32_t* samples) {
  std::lock_guard lock(mutex_);
  Log("GetValidSamples");
  Buffer* found = FindBuffer(buffer);
  if (found == nullptr) return kSimBadHandle;
  if (samples == nullptr) return kSimBadValue;
  *samples = found->valid;
  return kBoardSuccess;
}

}  // namespace varnel::sim
