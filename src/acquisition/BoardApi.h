#pragma once
// The data-acquisition board as the recorder drives it: one call per entry
// point of the vendor's driver (its ordinal in the comment), 32-bit statuses
// (0 = success) and 32-bit handles (0 = none). AcquisitionDevice is the only
// caller. The simulated board (boards/sim) implements it; a driver for real
// hardware can sit behind the same interface.
//
// Called on the main thread only. Implementations may post kBufferDoneMessage
// and kBufferOverrunMessage from a thread of their own to the window given
// with SetNotificationWindow.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MessageLoop.h"

namespace varnel {

using BoardStatus = int32_t;
using BoardHandle = uint32_t;

inline constexpr BoardStatus kBoardSuccess = 0;

// Sub-system type of GetSubsystem.
inline constexpr int32_t kSubsystemAnalogInput = 0;
// Capability codes of GetSubsystemCapability / GetSubsystemCapabilityValue.
inline constexpr int32_t kCapChannelCount = 0;
inline constexpr int32_t kCapGainCount = 4;
inline constexpr int32_t kCapSimultaneous = 54;
inline constexpr int32_t kCapMaxThroughput = 61;
// Settings.
inline constexpr int32_t kDataFlowContinuous = 800;
inline constexpr int32_t kWrapModeMultiple = 1001;
inline constexpr int32_t kClockSourceInternal = 100;
inline constexpr int32_t kTriggerImmediate = 300;
inline constexpr int32_t kTriggerExternalTtl = 301;
// Encoding: codes counted from the lower range limit; anything else is two's complement.
inline constexpr int32_t kEncodingUnsigned = 200;

// Called once per board, name first. Returns 1 to go on.
using BoardEnumCallback = std::function<int32_t(std::string_view name)>;

class BoardApi {
 public:
  virtual ~BoardApi() = default;

  // Whether the driver can be loaded at all; Open fails silently when not.
  virtual bool LoadDriver() = 0;

  // OLDAAPI32 97: reports every board to the callback.
  virtual BoardStatus EnumerateBoards(const BoardEnumCallback& callback) = 0;
  // OLDAAPI32 11 / 12.
  virtual BoardStatus InitializeBoard(std::string_view name, BoardHandle* board) = 0;
  virtual BoardStatus TerminateBoard(BoardHandle board) = 0;
  // OLDAAPI32 13 / 14.
  virtual BoardStatus GetSubsystem(BoardHandle board, int32_t type, int32_t element, BoardHandle* subsystem) = 0;
  virtual BoardStatus ReleaseSubsystem(BoardHandle subsystem) = 0;

  // OLDAAPI32 18 (integer capabilities) / 19 (capabilities given as doubles).
  virtual BoardStatus GetSubsystemCapability(BoardHandle subsystem, int32_t code, int32_t* value) = 0;
  virtual BoardStatus GetSubsystemCapabilityValue(BoardHandle subsystem, int32_t code, double* value) = 0;

  // Settings; they take effect with ApplySettings.
  virtual BoardStatus SetDataFlow(BoardHandle subsystem, int32_t flow) = 0;                         // 71
  virtual BoardStatus SetWrapMode(BoardHandle subsystem, int32_t mode) = 0;                         // 69
  virtual BoardStatus SetClockFrequency(BoardHandle subsystem, double hz) = 0;                      // 44
  virtual BoardStatus SetClockSource(BoardHandle subsystem, int32_t source) = 0;                    // 61
  virtual BoardStatus SetChannelListSize(BoardHandle subsystem, int32_t size) = 0;                  // 53
  virtual BoardStatus SetChannelListEntry(BoardHandle subsystem, int32_t index, int32_t channel) = 0;  // 55
  virtual BoardStatus SetGainListEntry(BoardHandle subsystem, int32_t index, double gain) = 0;      // 28
  virtual BoardStatus SetTrigger(BoardHandle subsystem, int32_t trigger) = 0;                       // 38
  virtual BoardStatus ApplySettings(BoardHandle subsystem) = 0;                                     // 46

  // Not an ordinal of the vendor's driver: whether a run with this clock,
  // trigger and channel list can start, asked before anything of the run is
  // made. A board that refuses puts a sentence for the user into `refusal`
  // (empty: it has nothing to say). Boards that know of no such limit keep
  // this default, and the settings calls alone judge them.
  virtual BoardStatus CheckRun(BoardHandle subsystem, double clockHz, int32_t trigger,
                               std::span<const int32_t> channels, std::string* refusal) {
    (void)subsystem, (void)clockHz, (void)trigger, (void)channels, (void)refusal;
    return kBoardSuccess;
  }
  // Not an ordinal either: the only rates the board runs, when it has such a
  // list (a sound card); otherwise a non-zero status, and any rate up to the
  // maximum throughput goes.
  virtual BoardStatus GetNativeRates(BoardHandle subsystem, std::vector<int32_t>* rates) {
    (void)subsystem, (void)rates;
    return 1;
  }

  // OLDAAPI32 67: where buffer-done and overrun messages go (nullptr: nowhere).
  virtual BoardStatus SetNotificationWindow(BoardHandle subsystem, platform::MessageLoop* window, intptr_t lParam) = 0;
  virtual BoardStatus StartAcquisition(BoardHandle subsystem) = 0;  // 47
  virtual BoardStatus StopAcquisition(BoardHandle subsystem) = 0;   // 48
  // OLDAAPI32 77: ends acquisition; every queued buffer goes to the done queue.
  virtual BoardStatus EndAcquisitionAndFlush(BoardHandle subsystem) = 0;
  // OLDAAPI32 75: the oldest done buffer, 0 when there is none.
  virtual BoardStatus TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) = 0;
  // OLDAAPI32 76: hands a buffer to the board for filling.
  virtual BoardStatus QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) = 0;

  // OLDAAPI32 58 / 37 / 41.
  virtual BoardStatus GetRange(BoardHandle subsystem, double* upper, double* lower) = 0;
  virtual BoardStatus GetEncoding(BoardHandle subsystem, int32_t* encoding) = 0;
  virtual BoardStatus GetResolution(BoardHandle subsystem, int32_t* bits) = 0;

  // OLMEM32 31: a buffer of `samples` samples of `sampleBytes` bytes each.
  virtual BoardStatus AllocateBuffer(uint32_t flags, uint32_t reserved, uint32_t samples, uint32_t sampleBytes,
                                     BoardHandle* buffer) = 0;
  virtual BoardStatus FreeBuffer(BoardHandle buffer) = 0;                     // OLMEM32 38
  virtual BoardStatus GetBufferData(BoardHandle buffer, uint16_t** data) = 0;  // OLMEM32 42
  virtual BoardStatus GetValidSamples(BoardHandle buffer, int32_t* samples) = 0;  // OLMEM32 51
};

}  // namespace varnel
