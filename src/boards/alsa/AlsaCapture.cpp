// The capture thread of the ALSA boards: waiting, the one copy of each
// period into the queued buffer, and recovering from an overrun.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "boards/alsa/AlsaBoard.h"
#include "platform/Messages.h"
#include "platform/Trace.h"

namespace varnel::alsa {
namespace {

void PostTo(platform::MessageLoop* window, uint32_t message, BoardHandle subsystem) {
  if (window != nullptr) window->Post({message, subsystem, 0});
}

}  // namespace

void CopyInListOrder(const int16_t* in, unsigned deviceChannels, std::span<const int32_t> list, std::size_t frames,
                     uint16_t* out) {
  const std::size_t n = list.size();
  bool identity = n == deviceChannels;
  for (std::size_t e = 0; identity && e < n; ++e) identity = list[e] == static_cast<int32_t>(e);
  if (identity) {
    std::memcpy(out, in, frames * n * sizeof(int16_t));
    return;
  }
  for (std::size_t f = 0; f < frames; ++f, in += deviceChannels, out += n) {
    for (std::size_t e = 0; e < n; ++e) out[e] = static_cast<uint16_t>(in[list[e]]);
  }
}

void CopyInListOrder(const int32_t* in, unsigned deviceChannels, std::span<const int32_t> list, std::size_t frames,
                     uint16_t* out) {
  const std::size_t n = list.size();
  for (std::size_t f = 0; f < frames; ++f, in += deviceChannels, out += n) {
    for (std::size_t e = 0; e < n; ++e) out[e] = static_cast<uint16_t>(static_cast<uint32_t>(in[list[e]]) >> 16);
  }
}

void AlsaBoard::WaitForWork(Device& device, bool haveBuffer) {
  // Without a ready buffer only the wake-up counts; the timeout is there to
  // notice an overrun of the device's ring in the meantime.
  const int count = haveBuffer ? snd_pcm_poll_descriptors_count(device.pcm) : 0;
  std::vector<pollfd> fds(static_cast<std::size_t>(std::max(count, 0)) + 1);
  if (count > 0) snd_pcm_poll_descriptors(device.pcm, fds.data(), static_cast<unsigned>(count));
  fds.back() = {device.wakeFd, POLLIN, 0};
  const int timeoutMs = haveBuffer ? 1000 : 20;
  int ready;
  do {
    ready = ::poll(fds.data(), fds.size(), timeoutMs);
  } while (ready < 0 && errno == EINTR);
  // Some plugins (a sound server's) must see their events decoded to clear them.
  if (ready > 0 && count > 0) {
    unsigned short events = 0;
    snd_pcm_poll_descriptors_revents(device.pcm, fds.data(), static_cast<unsigned>(count), &events);
  }
  if (fds.back().revents & POLLIN) {
    uint64_t count64 = 0;
    [[maybe_unused]] const ssize_t got = ::read(device.wakeFd, &count64, sizeof count64);
  }
}

bool AlsaBoard::Recover(Device& device, snd_pcm_sframes_t error) {
  platform::MessageLoop* window;
  {
    std::lock_guard lock(mutex_);
    window = device.window;
    ++overruns_;
  }
  const int code = static_cast<int>(error);
  if (code != -EPIPE && code != -ESTRPIPE) {
    // Unplugged or broken: the run cannot go on, and the program must hear of it.
    platform::Trace("ALSA capture of %s ended: %s\n", device.label.c_str(), snd_strerror(code));
    PostTo(window, platform::kBufferOverrunMessage, device.subsystem);
    return false;
  }
  platform::Trace("ALSA overrun on %s: samples lost\n", device.label.c_str());
  PostTo(window, platform::kBufferOverrunMessage, device.subsystem);
  if (code == -ESTRPIPE) {
    while (calls_->Resume(device.pcm) == -EAGAIN) ::usleep(10000);
  }
  // A capture left prepared delivers nothing and reports nothing: start it again.
  int result = calls_->Prepare(device.pcm);
  if (result >= 0) result = calls_->Start(device.pcm);
  if (result < 0) platform::Trace("ALSA restart of %s failed: %s\n", device.label.c_str(), snd_strerror(result));
  return result >= 0;
}

bool AlsaBoard::CopyFrames(std::unique_lock<std::mutex>& lock, Device& device, snd_pcm_uframes_t frames,
                           snd_pcm_uframes_t* copied, int* error) {
  if (device.filling == 0) {
    if (device.ready.empty()) return false;
    device.filling = device.ready.front();
    device.ready.pop_front();
    FindBuffer(device.filling)->valid = 0;
  }
  Buffer* buffer = FindBuffer(device.filling);
  const std::vector<int32_t>& list = device.applied.channels;
  const std::size_t listSize = list.size();
  const std::size_t capacity = buffer->samples.size() / listSize;
  const std::size_t at = static_cast<std::size_t>(buffer->valid) / listSize;
  snd_pcm_uframes_t n = std::min<snd_pcm_uframes_t>(frames, capacity - at);
  lock.unlock();
  const snd_pcm_channel_area_t* areas = nullptr;
  snd_pcm_uframes_t offset = 0;
  int result = calls_->MmapBegin(device.pcm, &areas, &offset, &n);
  // Interleaved frames of the channels opened, or nothing is read as
  // something it is not.
  const unsigned bits = 8 * device.caps.sampleBytes;
  if (result >= 0 && (areas[0].step != bits * device.caps.openChannels || areas[0].first % 8 != 0)) {
    platform::Trace("ALSA %s gives no interleaved frames\n", device.label.c_str());
    calls_->MmapCommit(device.pcm, offset, 0);
    result = -EINVAL;
  }
  if (result >= 0) {
    const auto* base = static_cast<const char*>(areas[0].addr) + (areas[0].first + offset * areas[0].step) / 8;
    uint16_t* out = buffer->samples.data() + at * listSize;
    if (bits == 32) {
      CopyInListOrder(reinterpret_cast<const int32_t*>(base), device.caps.openChannels, list, n, out);
    } else {
      CopyInListOrder(reinterpret_cast<const int16_t*>(base), device.caps.openChannels, list, n, out);
    }
    const snd_pcm_sframes_t committed = calls_->MmapCommit(device.pcm, offset, n);
    if (committed < 0 || static_cast<snd_pcm_uframes_t>(committed) != n) {
      result = committed < 0 ? static_cast<int>(committed) : -EPIPE;
    }
  }
  lock.lock();
  if (result < 0) {
    *error = result;
    return false;
  }
  *copied = n;
  buffer->valid += static_cast<int32_t>(n * listSize);
  if (at + n == capacity) {
    device.done.push_back(device.filling);
    device.filling = 0;
    PostTo(device.window, platform::kBufferDoneMessage, device.subsystem);
  }
  return n > 0;
}

void AlsaBoard::Read(BoardHandle subsystem) {
  std::unique_lock lock(mutex_);
  Device* device = FindSubsystem(subsystem);
  if (device == nullptr) return;
  lock.unlock();
  int started = calls_->Prepare(device->pcm);
  if (started >= 0) started = calls_->Start(device->pcm);
  if (started < 0 && !Recover(*device, started)) return;
  lock.lock();
  while (!device->stopRequested) {
    const bool haveBuffer = device->filling != 0 || !device->ready.empty();
    lock.unlock();
    WaitForWork(*device, haveBuffer);
    snd_pcm_sframes_t avail = calls_->AvailUpdate(device->pcm);
    lock.lock();
    if (device->stopRequested) break;
    int error = 0;
    while (avail > 0 && !device->stopRequested) {
      snd_pcm_uframes_t copied = 0;
      if (!CopyFrames(lock, *device, static_cast<snd_pcm_uframes_t>(avail), &copied, &error)) break;
      avail -= static_cast<snd_pcm_sframes_t>(copied);
    }
    if (avail < 0) error = static_cast<int>(avail);
    if (error < 0) {
      lock.unlock();
      const bool goOn = Recover(*device, error);
      lock.lock();
      if (!goOn) break;
    }
  }
}

}  // namespace varnel::alsa
