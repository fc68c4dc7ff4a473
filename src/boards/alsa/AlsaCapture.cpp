// The capture thread of the ALSA boards: waiting, the one copy of each
// period into the queued buffer, and recovering from an overrun.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "boards/alsa/AlsaBoard.h"
#include "boards/alsa/AlsaInput.h"
#include "platform/Trace.h"

namespace varnel::alsa {

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

std::size_t CopyFloatsInListOrder(const float* in, unsigned deviceChannels, std::span<const int32_t> list,
                                  std::size_t frames, uint16_t* out) {
  const std::size_t n = list.size();
  std::size_t clipped = 0;
  for (std::size_t f = 0; f < frames; ++f, in += deviceChannels, out += n) {
    for (std::size_t e = 0; e < n; ++e) {
      const float scaled = in[list[e]] * 32768.0f;
      int32_t code = 0;  // not a number
      if (scaled >= 32768.0f) {
        code = 32767;
      } else if (scaled < -32768.0f) {
        code = -32768;
      } else if (scaled == scaled) {
        code = static_cast<int32_t>(scaled);
        code -= static_cast<float>(code) > scaled ? 1 : 0;  // toward minus infinity, as a shift does
      }
      clipped += scaled >= -32768.0f && scaled < 32768.0f ? 0 : 1;
      out[e] = static_cast<uint16_t>(code);
    }
  }
  return clipped;
}

void AlsaInput::WaitForWork(bool haveBuffer) {
  // Without a ready buffer only the wake-up counts; the timeout is there to
  // notice an overrun of the device's ring in the meantime.
  const int count = haveBuffer ? snd_pcm_poll_descriptors_count(pcm_) : 0;
  std::vector<pollfd> fds(static_cast<std::size_t>(std::max(count, 0)) + 1);
  if (count > 0) snd_pcm_poll_descriptors(pcm_, fds.data(), static_cast<unsigned>(count));
  fds.back() = {wakeFd_, POLLIN, 0};
  const int timeoutMs = haveBuffer ? 1000 : 20;
  int ready;
  do {
    ready = ::poll(fds.data(), fds.size(), timeoutMs);
  } while (ready < 0 && errno == EINTR);
  // Some plugins (a sound server's) must see their events decoded to clear them.
  if (ready > 0 && count > 0) {
    unsigned short events = 0;
    snd_pcm_poll_descriptors_revents(pcm_, fds.data(), static_cast<unsigned>(count), &events);
  }
  if (fds.back().revents & POLLIN) {
    uint64_t count64 = 0;
    [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &count64, sizeof count64);
  }
}

bool AlsaInput::Recover(boards::BufferFiller& filler, int error) {
  filler.Overrun();
  if (error != -EPIPE && error != -ESTRPIPE) {
    // Unplugged or broken: the run cannot go on, and the program has heard of it.
    platform::Trace("ALSA capture of %s ended: %s\n", label_.c_str(), snd_strerror(error));
    return false;
  }
  platform::Trace("ALSA overrun on %s: samples lost\n", label_.c_str());
  if (error == -ESTRPIPE) {
    while (calls_->Resume(pcm_) == -EAGAIN) ::usleep(10000);
  }
  return Restart();
}

bool AlsaInput::Restart() {
  // A capture left prepared delivers nothing and reports nothing: start it again.
  int result = calls_->Prepare(pcm_);
  if (result >= 0) result = calls_->Start(pcm_);
  if (result < 0) platform::Trace("ALSA restart of %s failed: %s\n", label_.c_str(), snd_strerror(result));
  return result >= 0;
}

bool AlsaInput::CopyFrames(boards::BufferFiller& filler, snd_pcm_uframes_t frames, snd_pcm_uframes_t* copied,
                           int* error) {
  const boards::BufferFiller::Target target = filler.Current();
  if (!target) return false;
  const std::vector<int32_t>& list = applied_.channels;
  snd_pcm_uframes_t n = std::min<snd_pcm_uframes_t>(frames, target.capacity - target.filled);
  const snd_pcm_channel_area_t* areas = nullptr;
  snd_pcm_uframes_t offset = 0;
  int result = calls_->MmapBegin(pcm_, &areas, &offset, &n);
  // Interleaved frames of the channels opened, or nothing is read as
  // something it is not.
  const unsigned bits = 8 * device_.sampleBytes;
  if (result >= 0 && (areas[0].step != bits * device_.openChannels || areas[0].first % 8 != 0)) {
    platform::Trace("ALSA %s gives no interleaved frames\n", label_.c_str());
    calls_->MmapCommit(pcm_, offset, 0);
    result = -EINVAL;
  }
  if (result >= 0) {
    const auto* base = static_cast<const char*>(areas[0].addr) + (areas[0].first + offset * areas[0].step) / 8;
    uint16_t* out = target.samples + std::size_t{target.filled} * list.size();
    if (device_.floatSamples) {
      const std::size_t clipped =
          CopyFloatsInListOrder(reinterpret_cast<const float*>(base), device_.openChannels, list, n, out);
      runClipped_ += clipped;
      *clippedTotal_ += clipped;
    } else if (bits == 32) {
      CopyInListOrder(reinterpret_cast<const int32_t*>(base), device_.openChannels, list, n, out);
    } else {
      CopyInListOrder(reinterpret_cast<const int16_t*>(base), device_.openChannels, list, n, out);
    }
    const snd_pcm_sframes_t committed = calls_->MmapCommit(pcm_, offset, n);
    if (committed < 0 || static_cast<snd_pcm_uframes_t>(committed) != n) {
      result = committed < 0 ? static_cast<int>(committed) : -EPIPE;
    }
  }
  if (result < 0) {
    *error = result;
    return false;
  }
  *copied = n;
  filler.Filled(static_cast<uint32_t>(n));
  return n > 0;
}

bool AlsaInput::RingState::Overflowed(bool haveBuffer, snd_pcm_sframes_t avail, snd_pcm_uframes_t ring) {
  if (avail < 0 || ring == 0 || restartDue) return false;
  const bool full = static_cast<snd_pcm_uframes_t>(avail) >= ring;
  if (haveBuffer) {
    roomSeen = !full;
    return false;
  }
  // A device that delivers faster than its clock (a file) always shows a full
  // ring; only one seen with room has filled since.
  if (!full || !roomSeen) return false;
  roomSeen = false;
  restartDue = true;
  return true;
}

void AlsaInput::Read(boards::BufferFiller filler) {
  int started = calls_->Prepare(pcm_);
  if (started >= 0) started = calls_->Start(pcm_);
  if (started < 0 && !Recover(filler, started)) return;
  RingState ring;
  while (!stopRequested_) {
    const bool haveBuffer = static_cast<bool>(filler.Current());
    if (haveBuffer && ring.restartDue) {
      // What the ring holds ends before the loss: begin after it.
      ring.restartDue = false;
      if (!Restart()) break;
    }
    WaitForWork(haveBuffer);
    snd_pcm_sframes_t avail = calls_->AvailUpdate(pcm_);
    if (stopRequested_) break;
    if (ring.Overflowed(haveBuffer, avail, ring_)) {
      platform::Trace("ALSA ring of %s full, no overrun reported: samples lost\n", label_.c_str());
      filler.Overrun();
    }
    if (ring.restartDue) continue;
    int error = 0;
    while (avail > 0 && !stopRequested_) {
      snd_pcm_uframes_t copied = 0;
      if (!CopyFrames(filler, static_cast<snd_pcm_uframes_t>(avail), &copied, &error)) break;
      avail -= static_cast<snd_pcm_sframes_t>(copied);
    }
    if (avail < 0) error = static_cast<int>(avail);
    if (error < 0 && !Recover(filler, error)) break;
  }
}

}  // namespace varnel::alsa
