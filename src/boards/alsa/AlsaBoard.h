#pragma once
// Every ALSA capture device as a board, behind the pooled board every kind of
// ours shares: one analog input per device with the device's own capture
// channels (at most 16 used), one gain, simultaneous sampling, its native
// rates only, 16-bit two's-complement codes on a +-10 V range (so that buffer
// processing keeps each sample unchanged) and no external trigger.
//
// The BoardApi calls are for the main thread; each running device has a
// capture thread of its own (AlsaInput.h).

#include <cstdint>
#include <memory>
#include <span>

#include "boards/alsa/AlsaDevices.h"
#include "boards/alsa/PcmCalls.h"
#include "boards/pool/PooledBoard.h"

namespace varnel::alsa {

// Statuses of the ALSA boards (ALSA's own errors are reported as their errno):
// what every kind refuses, and what a sound card cannot do.
enum AlsaStatus : BoardStatus { kAlsaBadHandle = 1001, kAlsaBadValue, kAlsaNotConfigured, kAlsaBusy, kAlsaNoSuchBoard };
enum AlsaRefusal : BoardStatus { kAlsaUnsupported = 1006, kAlsaNoTrigger, kAlsaRateNotNative, kAlsaNoSuchChannel };

class AlsaBoard final : public boards::PooledBoard {
 public:
  explicit AlsaBoard(std::shared_ptr<PcmCalls> calls = RealPcmCalls());
  // Float samples beyond full scale (or not a number) clipped since the board was made.
  uint64_t ClippedSamples() const;
};

// An ALSA error as a board status: its errno.
inline BoardStatus FromAlsa(int error) {
  if (error < 0) return -error;
  return kAlsaUnsupported;
}

// Copies `frames` interleaved frames of `deviceChannels` channels into `out`
// in the order of `list` (each a device channel). The one copy of the path.
void CopyInListOrder(const int16_t* in, unsigned deviceChannels, std::span<const int32_t> list, std::size_t frames,
                     uint16_t* out);
// The same from 32-bit samples, keeping their upper 16 bits.
void CopyInListOrder(const int32_t* in, unsigned deviceChannels, std::span<const int32_t> list, std::size_t frames,
                     uint16_t* out);
// The same from float samples of full scale +-1, read as 32-bit ones are
// (the upper 16 bits of x * 2^31): full scale stays full scale, a value
// beyond it is clipped, one that is not a number reads 0. Returns how many
// were clipped or not a number.
std::size_t CopyFloatsInListOrder(const float* in, unsigned deviceChannels, std::span<const int32_t> list,
                                  std::size_t frames, uint16_t* out);

}  // namespace varnel::alsa
