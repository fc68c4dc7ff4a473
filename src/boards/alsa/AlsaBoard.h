#pragma once
// Every ALSA capture device as a board: one A/D sub-system per device with
// the device's own capture channels (at most 16 used), one gain, simultaneous
// sampling, its native rates only, 16-bit two's-complement codes on a +-10 V
// range (so that buffer processing keeps each sample unchanged) and no
// external trigger.
//
// A thread of its own waits on the PCM's descriptors and an eventfd, copies
// each period from the device's memory-mapped ring once, straight into the
// queued buffers in the channel list's order, and posts one buffer-done
// message per filled buffer. While the program has no ready buffer it stops
// reading and the device's ring holds the signal; when ALSA reports an
// overrun (data lost) it posts the overrun message, prepares and restarts the
// device, and goes on.
//
// The BoardApi calls are for the main thread; the capture thread only fills
// buffers and posts messages.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/BoardApi.h"
#include "boards/alsa/AlsaDevices.h"
#include "boards/alsa/PcmCalls.h"

namespace varnel::alsa {

// Statuses of the ALSA boards (ALSA's own errors are reported as their errno).
inline constexpr BoardStatus kAlsaBadHandle = 1001;
inline constexpr BoardStatus kAlsaBadValue = 1002;
inline constexpr BoardStatus kAlsaNotConfigured = 1003;
inline constexpr BoardStatus kAlsaBusy = 1004;
inline constexpr BoardStatus kAlsaNoSuchBoard = 1005;
inline constexpr BoardStatus kAlsaUnsupported = 1006;
inline constexpr BoardStatus kAlsaNoTrigger = 1007;
inline constexpr BoardStatus kAlsaRateNotNative = 1008;
inline constexpr BoardStatus kAlsaNoSuchChannel = 1009;

class AlsaBoard : public BoardApi {
 public:
  explicit AlsaBoard(std::shared_ptr<PcmCalls> calls = RealPcmCalls());
  ~AlsaBoard() override;
  AlsaBoard(const AlsaBoard&) = delete;
  AlsaBoard& operator=(const AlsaBoard&) = delete;

  // Overruns reported since the board was made.
  uint64_t OverrunCount() const;

  bool LoadDriver() override { return true; }
  BoardStatus EnumerateBoards(const BoardEnumCallback& callback) override;
  BoardStatus InitializeBoard(std::string_view name, BoardHandle* board) override;
  BoardStatus TerminateBoard(BoardHandle board) override;
  BoardStatus GetSubsystem(BoardHandle board, int32_t type, int32_t element, BoardHandle* subsystem) override;
  BoardStatus ReleaseSubsystem(BoardHandle subsystem) override;
  BoardStatus GetSubsystemCapability(BoardHandle subsystem, int32_t code, int32_t* value) override;
  BoardStatus GetSubsystemCapabilityValue(BoardHandle subsystem, int32_t code, double* value) override;
  BoardStatus SetDataFlow(BoardHandle subsystem, int32_t flow) override;
  BoardStatus SetWrapMode(BoardHandle subsystem, int32_t mode) override;
  BoardStatus SetClockFrequency(BoardHandle subsystem, double hz) override;
  BoardStatus SetClockSource(BoardHandle subsystem, int32_t source) override;
  BoardStatus SetChannelListSize(BoardHandle subsystem, int32_t size) override;
  BoardStatus SetChannelListEntry(BoardHandle subsystem, int32_t index, int32_t channel) override;
  BoardStatus SetGainListEntry(BoardHandle subsystem, int32_t index, double gain) override;
  BoardStatus SetTrigger(BoardHandle subsystem, int32_t trigger) override;
  BoardStatus ApplySettings(BoardHandle subsystem) override;
  BoardStatus CheckRun(BoardHandle subsystem, double clockHz, int32_t trigger, std::span<const int32_t> channels,
                       std::string* refusal) override;
  BoardStatus GetNativeRates(BoardHandle subsystem, std::vector<int32_t>* rates) override;
  BoardStatus SetNotificationWindow(BoardHandle subsystem, platform::MessageLoop* window, intptr_t lParam) override;
  BoardStatus StartAcquisition(BoardHandle subsystem) override;
  BoardStatus StopAcquisition(BoardHandle subsystem) override;
  BoardStatus EndAcquisitionAndFlush(BoardHandle subsystem) override;
  BoardStatus TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) override;
  BoardStatus QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) override;
  BoardStatus GetRange(BoardHandle subsystem, double* upper, double* lower) override;
  BoardStatus GetEncoding(BoardHandle subsystem, int32_t* encoding) override;
  BoardStatus GetResolution(BoardHandle subsystem, int32_t* bits) override;
  BoardStatus AllocateBuffer(uint32_t flags, uint32_t reserved, uint32_t samples, uint32_t sampleBytes,
                             BoardHandle* buffer) override;
  BoardStatus FreeBuffer(BoardHandle buffer) override;
  BoardStatus GetBufferData(BoardHandle buffer, uint16_t** data) override;
  BoardStatus GetValidSamples(BoardHandle buffer, int32_t* samples) override;

 private:
  struct Buffer {
    std::vector<uint16_t> samples;
    int32_t valid = 0;
  };
  struct Setup {
    unsigned rate = 0;
    std::vector<int32_t> channels;
    int32_t trigger = kTriggerImmediate;
    bool operator==(const Setup&) const = default;
  };
  struct Device {
    std::string label;
    snd_pcm_t* pcm = nullptr;
    DeviceCaps caps;
    BoardHandle subsystem = 0;
    Setup pending;
    Setup applied;
    bool configured = false;
    snd_pcm_uframes_t period = 0;
    platform::MessageLoop* window = nullptr;
    std::deque<BoardHandle> ready;
    std::deque<BoardHandle> done;
    BoardHandle filling = 0;
    bool running = false;
    bool stopRequested = false;
    int wakeFd = -1;
    std::thread reader;
  };

  Device* FindBoard(BoardHandle board);          // lock held
  Device* FindSubsystem(BoardHandle subsystem);  // lock held
  Buffer* FindBuffer(BoardHandle buffer);        // lock held
  BoardStatus Refuse(const Device& device, const Setup& setup, std::string* refusal) const;
  BoardStatus Configure(Device& device);  // lock held
  void StopReader(std::unique_lock<std::mutex>& lock, Device& device);
  void Wake(const Device& device) const;
  void CloseDevice(std::unique_lock<std::mutex>& lock, BoardHandle board);
  // The capture thread and its steps.
  void Read(BoardHandle subsystem);
  bool Recover(Device& device, snd_pcm_sframes_t error);
  // Copies up to `frames` frames into the buffer being filled; false when
  // nothing could be copied (no buffer, or an ALSA error, given in `error`).
  bool CopyFrames(std::unique_lock<std::mutex>& lock, Device& device, snd_pcm_uframes_t frames,
                  snd_pcm_uframes_t* copied, int* error);
  void WaitForWork(Device& device, bool haveBuffer);

  const std::shared_ptr<PcmCalls> calls_;
  mutable std::mutex mutex_;
  std::vector<CaptureDevice> listed_;
  std::map<BoardHandle, std::unique_ptr<Device>> devices_;
  std::map<BoardHandle, std::unique_ptr<Buffer>> buffers_;
  BoardHandle nextBoard_ = 0x100;
  BoardHandle nextSubsystem_ = 0x1000;
  BoardHandle nextBuffer_ = 0x10000;
  uint64_t overruns_ = 0;
};

// An ALSA error as a board status: its errno.
inline BoardStatus FromAlsa(int error) {
  return error < 0 ? -error : kAlsaUnsupported;
}

// Copies `frames` interleaved frames of `deviceChannels` channels into `out`
// in the order of `list` (each a device channel). The one copy of the path.
void CopyInListOrder(const int16_t* in, unsigned deviceChannels, std::span<const int32_t> list, std::size_t frames,
                     uint16_t* out);
// The same from 32-bit samples, keeping their upper 16 bits.
void CopyInListOrder(const int32_t* in, unsigned deviceChannels, std::span<const int32_t> list, std::size_t frames,
                     uint16_t* out);

}  // namespace varnel::alsa
