#include "boards/alsa/AlsaBoard.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/Messages.h"
#include "platform/Trace.h"

namespace varnel::alsa {
namespace {

constexpr uint32_t kMaxBufferSamples = 1u << 26;
constexpr double kRangeVolts = 10.0;
constexpr int32_t kTwosComplement = 0;

}  // namespace

std::shared_ptr<PcmCalls> RealPcmCalls() {
  return std::make_shared<PcmCalls>();
}

AlsaBoard::AlsaBoard(std::shared_ptr<PcmCalls> calls) : calls_(std::move(calls)) {
  RouteAlsaErrorsToTraces();
}

AlsaBoard::~AlsaBoard() {
  std::unique_lock lock(mutex_);
  std::vector<BoardHandle> boards;
  for (const auto& [handle, device] : devices_) boards.push_back(handle);
  for (BoardHandle board : boards) CloseDevice(lock, board);
}

uint64_t AlsaBoard::OverrunCount() const {
  std::lock_guard lock(mutex_);
  return overruns_;
}

// ---- helpers ----

AlsaBoard::Device* AlsaBoard::FindBoard(BoardHandle board) {
  const auto it = devices_.find(board);
  return it == devices_.end() ? nullptr : it->second.get();
}

AlsaBoard::Device* AlsaBoard::FindSubsystem(BoardHandle subsystem) {
  if (subsystem == 0) return nullptr;
  for (auto& [handle, device] : devices_) {
    if (device->subsystem == subsystem) return device.get();
  }
  return nullptr;
}

AlsaBoard::Buffer* AlsaBoard::FindBuffer(BoardHandle buffer) {
  const auto it = buffers_.find(buffer);
  return it == buffers_.end() ? nullptr : it->second.get();
}

void AlsaBoard::Wake(const Device& device) const {
  if (device.wakeFd < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(device.wakeFd, &one, sizeof one);
}

void AlsaBoard::StopReader(std::unique_lock<std::mutex>& lock, Device& device) {
  if (device.reader.joinable()) {
    device.stopRequested = true;
    Wake(device);
    std::thread reader = std::move(device.reader);
    lock.unlock();
    reader.join();
    lock.lock();
    device.stopRequested = false;
    // Never drain a capture: what is still in the ring is not wanted.
    calls_->Drop(device.pcm);
  }
  if (device.filling != 0) {
    device.ready.push_front(device.filling);
    device.filling = 0;
  }
  device.running = false;
}

void AlsaBoard::CloseDevice(std::unique_lock<std::mutex>& lock, BoardHandle board) {
  Device* device = FindBoard(board);
  if (device == nullptr) return;
  StopReader(lock, *device);
  for (BoardHandle b : device->ready) buffers_.erase(b);
  for (BoardHandle b : device->done) buffers_.erase(b);
  if (device->wakeFd >= 0) ::close(device->wakeFd);
  if (device->pcm != nullptr) snd_pcm_close(device->pcm);
  devices_.erase(board);
}

// ---- BoardApi ----

BoardStatus AlsaBoard::EnumerateBoards(const BoardEnumCallback& callback) {
  std::vector<CaptureDevice> devices = ListCaptureDevices();
  {
    std::lock_guard lock(mutex_);
    listed_ = devices;
  }
  for (const CaptureDevice& device : devices) {
    if (callback(device.label) != 1) break;
  }
  return kBoardSuccess;
}

BoardStatus AlsaBoard::InitializeBoard(std::string_view name, BoardHandle* board) {
  if (board == nullptr) return kAlsaBadValue;
  *board = 0;
  std::unique_lock lock(mutex_);
  if (listed_.empty()) {
    lock.unlock();
    std::vector<CaptureDevice> devices = ListCaptureDevices();
    lock.lock();
    listed_ = std::move(devices);
  }
  const auto it = std::find_if(listed_.begin(), listed_.end(), [&](const CaptureDevice& d) { return d.label == name; });
  if (it == listed_.end()) return kAlsaNoSuchBoard;
  auto device = std::make_unique<Device>();
  device->label = it->label;
  const int opened = snd_pcm_open(&device->pcm, it->pcm.c_str(), SND_PCM_STREAM_CAPTURE, CaptureOpenFlags());
  if (opened < 0) {
    platform::Trace("ALSA cannot open %s: %s\n", it->pcm.c_str(), snd_strerror(opened));
    return FromAlsa(opened);
  }
  device->caps = ProbeOpenPcm(device->pcm);
  if (device->caps.error < 0 || device->caps.channels == 0) {
    const int error = device->caps.error;
    snd_pcm_close(device->pcm);
    return FromAlsa(error);
  }
  *board = nextBoard_++;
  devices_[*board] = std::move(device);
  return kBoardSuccess;
}

BoardStatus AlsaBoard::TerminateBoard(BoardHandle board) {
  std::unique_lock lock(mutex_);
  if (FindBoard(board) == nullptr) return kAlsaBadHandle;
  CloseDevice(lock, board);
  return kBoardSuccess;
}

BoardStatus AlsaBoard::GetSubsystem(BoardHandle board, int32_t type, int32_t element, BoardHandle* subsystem) {
  if (subsystem == nullptr) return kAlsaBadValue;
  *subsystem = 0;
  std::lock_guard lock(mutex_);
  Device* device = FindBoard(board);
  if (device == nullptr) return kAlsaBadHandle;
  if (type != kSubsystemAnalogInput || element != 0) return kAlsaUnsupported;
  if (device->subsystem != 0) return kAlsaBusy;
  device->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (device->wakeFd < 0) return FromAlsa(-errno);
  device->subsystem = nextSubsystem_++;
  device->pending = {};
  device->configured = false;
  *subsystem = device->subsystem;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::ReleaseSubsystem(BoardHandle subsystem) {
  std::unique_lock lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  StopReader(lock, *device);
  for (BoardHandle b : device->ready) buffers_.erase(b);
  for (BoardHandle b : device->done) buffers_.erase(b);
  device->ready.clear();
  device->done.clear();
  ::close(device->wakeFd);
  device->wakeFd = -1;
  device->subsystem = 0;
  device->configured = false;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::GetSubsystemCapability(BoardHandle subsystem, int32_t code, int32_t* value) {
  std::lock_guard lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  if (value == nullptr) return kAlsaBadValue;
  switch (code) {
    case kCapChannelCount:
      *value = static_cast<int32_t>(device->caps.channels);
      return kBoardSuccess;
    case kCapGainCount:
      *value = 1;
      return kBoardSuccess;
    case kCapSimultaneous:
      *value = 1;
      return kBoardSuccess;
    default:
      return kAlsaUnsupported;
  }
}

BoardStatus AlsaBoard::GetSubsystemCapabilityValue(BoardHandle subsystem, int32_t code, double* value) {
  std::lock_guard lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  if (value == nullptr) return kAlsaBadValue;
  if (code != kCapMaxThroughput) return kAlsaUnsupported;
  *value = device->caps.rates.empty() ? 0.0 : static_cast<double>(device->caps.rates.back());
  return kBoardSuccess;
}

// Settings are refused while the device captures.
#define VARNEL_ALSA_SETTING                     \
  std::lock_guard lock(mutex_);                 \
  Device* device = FindSubsystem(subsystem);    \
  if (device == nullptr) return kAlsaBadHandle; \
  if (device->running) return kAlsaBusy

BoardStatus AlsaBoard::SetDataFlow(BoardHandle subsystem, int32_t flow) {
  VARNEL_ALSA_SETTING;
  return flow == kDataFlowContinuous ? kBoardSuccess : kAlsaUnsupported;
}

BoardStatus AlsaBoard::SetWrapMode(BoardHandle subsystem, int32_t) {
  VARNEL_ALSA_SETTING;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::SetClockFrequency(BoardHandle subsystem, double hz) {
  VARNEL_ALSA_SETTING;
  if (!(hz >= 1.0 && hz <= 4.0e6) || hz != std::floor(hz)) return kAlsaRateNotNative;
  const auto rate = static_cast<unsigned>(hz);
  if (std::find(device->caps.rates.begin(), device->caps.rates.end(), rate) == device->caps.rates.end()) {
    return kAlsaRateNotNative;
  }
  device->pending.rate = rate;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::SetClockSource(BoardHandle subsystem, int32_t source) {
  VARNEL_ALSA_SETTING;
  return source == kClockSourceInternal ? kBoardSuccess : kAlsaUnsupported;
}

BoardStatus AlsaBoard::SetChannelListSize(BoardHandle subsystem, int32_t size) {
  VARNEL_ALSA_SETTING;
  if (size < 1 || size > static_cast<int32_t>(kMaxUsedChannels)) return kAlsaBadValue;
  device->pending.channels.assign(static_cast<std::size_t>(size), -1);
  return kBoardSuccess;
}

BoardStatus AlsaBoard::SetChannelListEntry(BoardHandle subsystem, int32_t index, int32_t channel) {
  VARNEL_ALSA_SETTING;
  if (index < 0 || static_cast<std::size_t>(index) >= device->pending.channels.size()) return kAlsaBadValue;
  if (channel < 0 || channel >= static_cast<int32_t>(device->caps.channels)) return kAlsaNoSuchChannel;
  device->pending.channels[static_cast<std::size_t>(index)] = channel;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::SetGainListEntry(BoardHandle subsystem, int32_t index, double gain) {
  VARNEL_ALSA_SETTING;
  if (index < 0 || static_cast<std::size_t>(index) >= device->pending.channels.size()) return kAlsaBadValue;
  return gain == 1.0 ? kBoardSuccess : kAlsaBadValue;
}

BoardStatus AlsaBoard::SetTrigger(BoardHandle subsystem, int32_t trigger) {
  VARNEL_ALSA_SETTING;
  if (trigger == kTriggerExternalTtl) return kAlsaNoTrigger;
  if (trigger != kTriggerImmediate) return kAlsaUnsupported;
  device->pending.trigger = trigger;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::ApplySettings(BoardHandle subsystem) {
  VARNEL_ALSA_SETTING;
  return Configure(*device);
}

#undef VARNEL_ALSA_SETTING

BoardStatus AlsaBoard::CheckRun(BoardHandle subsystem, double clockHz, int32_t trigger,
                                std::span<const int32_t> channels, std::string* refusal) {
  std::lock_guard lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  Setup setup;
  setup.rate =
      clockHz >= 1.0 && clockHz <= 4.0e6 && clockHz == std::floor(clockHz) ? static_cast<unsigned>(clockHz) : 0;
  setup.channels.assign(channels.begin(), channels.end());
  setup.trigger = trigger;
  return Refuse(*device, setup, refusal);
}

BoardStatus AlsaBoard::GetNativeRates(BoardHandle subsystem, std::vector<int32_t>* rates) {
  std::lock_guard lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  if (rates == nullptr) return kAlsaBadValue;
  rates->assign(device->caps.rates.begin(), device->caps.rates.end());
  return kBoardSuccess;
}

BoardStatus AlsaBoard::SetNotificationWindow(BoardHandle subsystem, platform::MessageLoop* window, intptr_t) {
  std::lock_guard lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  device->window = window;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::StartAcquisition(BoardHandle subsystem) {
  std::unique_lock lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  if (device->running) return kAlsaBusy;
  if (!device->configured) return kAlsaNotConfigured;
  StopReader(lock, *device);  // a reader that ended on a lost device
  device->running = true;
  device->reader = std::thread(&AlsaBoard::Read, this, subsystem);
  return kBoardSuccess;
}

BoardStatus AlsaBoard::StopAcquisition(BoardHandle subsystem) {
  std::unique_lock lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  StopReader(lock, *device);
  return kBoardSuccess;
}

BoardStatus AlsaBoard::EndAcquisitionAndFlush(BoardHandle subsystem) {
  std::unique_lock lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  StopReader(lock, *device);
  while (!device->ready.empty()) {
    device->done.push_back(device->ready.front());
    device->ready.pop_front();
  }
  return kBoardSuccess;
}

BoardStatus AlsaBoard::TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) {
  if (buffer == nullptr) return kAlsaBadValue;
  *buffer = 0;
  std::lock_guard lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return kAlsaBadHandle;
  if (!device->done.empty()) {
    *buffer = device->done.front();
    device->done.pop_front();
  }
  return kBoardSuccess;
}

BoardStatus AlsaBoard::QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) {
  std::lock_guard lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  Buffer* found = FindBuffer(buffer);
  if (device == nullptr || found == nullptr) return kAlsaBadHandle;
  if (!device->pending.channels.empty() && found->samples.size() % device->pending.channels.size() != 0) {
    return kAlsaBadValue;
  }
  found->valid = 0;  // handed back for filling: nothing in it counts any more
  device->ready.push_back(buffer);
  Wake(*device);
  return kBoardSuccess;
}

BoardStatus AlsaBoard::GetRange(BoardHandle subsystem, double* upper, double* lower) {
  std::lock_guard lock(mutex_);
  if (FindSubsystem(subsystem) == nullptr) return kAlsaBadHandle;
  if (upper == nullptr || lower == nullptr) return kAlsaBadValue;
  *upper = kRangeVolts;
  *lower = -kRangeVolts;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::GetEncoding(BoardHandle subsystem, int32_t* encoding) {
  std::lock_guard lock(mutex_);
  if (FindSubsystem(subsystem) == nullptr) return kAlsaBadHandle;
  if (encoding == nullptr) return kAlsaBadValue;
  *encoding = kTwosComplement;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::GetResolution(BoardHandle subsystem, int32_t* bits) {
  std::lock_guard lock(mutex_);
  if (FindSubsystem(subsystem) == nullptr) return kAlsaBadHandle;
  if (bits == nullptr) return kAlsaBadValue;
  *bits = 16;
  return kBoardSuccess;
}

BoardStatus AlsaBoard::AllocateBuffer(uint32_t, uint32_t, uint32_t samples, uint32_t sampleBytes, BoardHandle* buffer) {
  if (buffer == nullptr) return kAlsaBadValue;
  *buffer = 0;
  if (sampleBytes != 2 || samples == 0 || samples > kMaxBufferSamples) return kAlsaBadValue;
  std::lock_guard lock(mutex_);
  auto created = std::make_unique<Buffer>();
  created->samples.assign(samples, 0);
  *buffer = nextBuffer_++;
  buffers_[*buffer] = std::move(created);
  return kBoardSuccess;
}

BoardStatus AlsaBoard::FreeBuffer(BoardHandle buffer) {
  std::lock_guard lock(mutex_);
  if (FindBuffer(buffer) == nullptr) return kAlsaBadHandle;
  for (auto& [handle, device] : devices_) {
    if (device->filling == buffer) return kAlsaBusy;  // the capture thread is writing into it
    std::erase(device->ready, buffer);
    std::erase(device->done, buffer);
  }
  buffers_.erase(buffer);
  return kBoardSuccess;
}

BoardStatus AlsaBoard::GetBufferData(BoardHandle buffer, uint16_t** data) {
  std::lock_guard lock(mutex_);
  Buffer* found = FindBuffer(buffer);
  if (found == nullptr) return kAlsaBadHandle;
  if (data == nullptr) return kAlsaBadValue;
  *data = found->samples.data();
  return kBoardSuccess;
}

BoardStatus AlsaBoard::GetValidSamples(BoardHandle buffer, int32_t* samples) {
  std::lock_guard lock(mutex_);
  Buffer* found = FindBuffer(buffer);
  if (found == nullptr) return kAlsaBadHandle;
  if (samples == nullptr) return kAlsaBadValue;
  *samples = found->valid;
  return kBoardSuccess;
}

}  // namespace varnel::alsa
