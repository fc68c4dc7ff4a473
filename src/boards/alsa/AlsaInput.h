#pragma once
// One open ALSA capture device as a board's analog input: the runs it
// accepts (AlsaSetup.cpp) and its capture thread (AlsaCapture.cpp).
//
// The thread waits on the PCM's descriptors and an eventfd, copies each
// period from the device's memory-mapped ring once, straight into the buffer
// being filled in the channel list's order. While the program has no ready
// buffer it stops reading and the device's ring holds the signal; when ALSA
// reports an overrun (data lost) it tells of it, prepares and restarts the
// device, and goes on. A sound server's device may never report one: a ring
// seen with room that is later full while no buffer was ready is told as an
// overrun too, and the device restarts when a buffer comes (RingState).
//
// Set-up on the main thread; the capture thread only fills and tells.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "boards/alsa/AlsaDevices.h"
#include "boards/alsa/PcmCalls.h"
#include "boards/pool/BoardKind.h"

namespace varnel::alsa {

class AlsaInput final : public boards::BoardInput {
 public:
  // Owns `pcm`, opened and probed as `caps`; counts float samples it clips into `clipped`.
  AlsaInput(std::string label, snd_pcm_t* pcm, const DeviceCaps& caps, std::shared_ptr<PcmCalls> calls,
            std::shared_ptr<std::atomic<uint64_t>> clipped);
  ~AlsaInput() override;
  AlsaInput(const AlsaInput&) = delete;
  AlsaInput& operator=(const AlsaInput&) = delete;

  const boards::InputCapabilities& Capabilities() const override { return caps_; }
  BoardStatus Check(const RunSettings& run, std::string* refusal) const override;
  BoardStatus Configure(const RunSettings& run) override;
  BoardStatus Start(boards::BufferFiller filler) override;
  void Stop() override;
  void BufferQueued() override { Wake(); }

 private:
  struct Setup {
    unsigned rate = 0;
    std::vector<int32_t> channels;
    bool operator==(const Setup&) const = default;
  };
  // What the capture thread saw of the ring, for a device that never
  // reports an overrun.
  struct RingState {
    bool roomSeen = false;    // last seen, with a buffer ready, not full
    bool restartDue = false;  // an overrun told; restart once a buffer is ready
    // Whether the ring, seen holding `avail` of `ring` frames, has just
    // filled while no buffer was ready.
    bool Overflowed(bool haveBuffer, snd_pcm_sframes_t avail, snd_pcm_uframes_t ring);
  };
  void Wake() const;
  // The capture thread and its steps.
  void Read(boards::BufferFiller filler);
  bool Recover(boards::BufferFiller& filler, int error);
  // Copies up to `frames` frames into the buffer being filled; false when
  // nothing could be copied (no buffer, or an ALSA error, given in `error`).
  bool CopyFrames(boards::BufferFiller& filler, snd_pcm_uframes_t frames, snd_pcm_uframes_t* copied, int* error);
  void WaitForWork(bool haveBuffer);
  bool Restart();

  const std::string label_;
  snd_pcm_t* const pcm_;
  const DeviceCaps device_;
  const std::shared_ptr<PcmCalls> calls_;
  boards::InputCapabilities caps_;
  Setup applied_;
  snd_pcm_uframes_t ring_ = 0;  // frames the device's ring holds in the applied run
  bool configured_ = false;
  int wakeFd_ = -1;
  const std::shared_ptr<std::atomic<uint64_t>> clippedTotal_;
  uint64_t runClipped_ = 0;  // by the capture thread; told at the stop
  std::atomic<bool> stopRequested_{false};
  std::thread reader_;
};

}  // namespace varnel::alsa
