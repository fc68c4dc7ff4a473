#pragma once
// Faults injected into real PCM calls of a private ALSA configuration.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "boards/alsa/PcmCalls.h"

namespace varnel::test {

// The seam: the n-th look at the ring finds an overrun, as a card that was not
// read in time reports it.
class OverrunOnce : public alsa::PcmCalls {
 public:
  explicit OverrunOnce(int at) : at_(at) {}
  snd_pcm_sframes_t AvailUpdate(snd_pcm_t* pcm) override {
    if (++calls_ == at_) return -EPIPE;
    return alsa::PcmCalls::AvailUpdate(pcm);
  }
  std::atomic<int> prepared{0};
  int Prepare(snd_pcm_t* pcm) override { return ++prepared, alsa::PcmCalls::Prepare(pcm); }

 private:
  int at_;
  std::atomic<int> calls_{0};
};

// Delivers no faster than `speed` times real time at `rate`, as a card would
// (the file plugin alone delivers as fast as it is read).
class PacedPcm : public alsa::PcmCalls {
 public:
  PacedPcm(double rate, double speed) : framesPerSecond_(rate * speed) {}
  snd_pcm_sframes_t AvailUpdate(snd_pcm_t* pcm) override {
    const snd_pcm_sframes_t avail = alsa::PcmCalls::AvailUpdate(pcm);
    if (avail < 0) return avail;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const auto allowed = static_cast<snd_pcm_sframes_t>(seconds * framesPerSecond_) - taken_;
    if (allowed <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return std::clamp<snd_pcm_sframes_t>(allowed, 0, avail);
  }
  snd_pcm_sframes_t MmapCommit(snd_pcm_t* pcm, snd_pcm_uframes_t offset, snd_pcm_uframes_t frames) override {
    const snd_pcm_sframes_t done = alsa::PcmCalls::MmapCommit(pcm, offset, frames);
    if (done > 0) taken_ += done;
    return done;
  }
  int Start(snd_pcm_t* pcm) override {
    if (taken_ == 0) start_ = std::chrono::steady_clock::now();
    return alsa::PcmCalls::Start(pcm);
  }

 private:
  double framesPerSecond_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::atomic<snd_pcm_sframes_t> taken_{0};
};

// Paced, and the n-th look at the ring finds an overrun.
class PacedWithOverrun : public PacedPcm {
 public:
  PacedWithOverrun(double rate, double speed, int at) : PacedPcm(rate, speed), at_(at) {}
  snd_pcm_sframes_t AvailUpdate(snd_pcm_t* pcm) override {
    if (++calls_ == at_) return -EPIPE;
    return PacedPcm::AvailUpdate(pcm);
  }

 private:
  int at_;
  std::atomic<int> calls_{0};
};

}  // namespace varnel::test

namespace varnel::test {

// A device whose delivery the test holds in its hand: the board may take
// only the frames allowed so far; and once told to starve, the ring reports
// an overrun after the board has looked at it three times without reading
// (as a card's ring fills while the program has no buffer for it), or, for a
// sound server's device that never reports one, reads as full until the board
// prepares it again.
class ScriptedRing : public alsa::PcmCalls {
 public:
  void Allow(int64_t frames) { allowed_ += frames; }
  void Starve(bool reports = true) {
    silent_ = !reports;
    starving_ = true;
  }
  int64_t Allowed() const { return allowed_; }
  int64_t Taken() const { return taken_; }

  snd_pcm_sframes_t AvailUpdate(snd_pcm_t* pcm) override {
    const snd_pcm_sframes_t avail = alsa::PcmCalls::AvailUpdate(pcm);
    if (avail < 0) return avail;
    if (starving_ && silent_) {
      snd_pcm_uframes_t ring = 0, period = 0;
      snd_pcm_get_params(pcm, &ring, &period);
      return std::max(avail, static_cast<snd_pcm_sframes_t>(ring));
    }
    if (starving_) {
      if (avail > 0 && ++unread_ > 3) {
        starving_ = false;
        unread_ = 0;
        return -EPIPE;
      }
      return avail;
    }
    const int64_t left = allowed_ - taken_;
    if (left <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return static_cast<snd_pcm_sframes_t>(std::clamp<int64_t>(left, 0, avail));
  }
  int Prepare(snd_pcm_t* pcm) override {
    if (silent_) starving_ = false;
    return alsa::PcmCalls::Prepare(pcm);
  }
  int MmapBegin(snd_pcm_t* pcm, const snd_pcm_channel_area_t** areas, snd_pcm_uframes_t* offset,
                snd_pcm_uframes_t* frames) override {
    unread_ = 0;
    return alsa::PcmCalls::MmapBegin(pcm, areas, offset, frames);
  }
  snd_pcm_sframes_t MmapCommit(snd_pcm_t* pcm, snd_pcm_uframes_t offset, snd_pcm_uframes_t frames) override {
    const snd_pcm_sframes_t done = alsa::PcmCalls::MmapCommit(pcm, offset, frames);
    if (done > 0) taken_ += done;
    return done;
  }

 private:
  std::atomic<int64_t> allowed_{0};
  std::atomic<int64_t> taken_{0};
  std::atomic<bool> starving_{false};
  std::atomic<bool> silent_{false};
  std::atomic<int> unread_{0};
};

}  // namespace varnel::test
