#pragma once
// The data-acquisition board as the recorder drives it, by what it does: list
// the boards, open one and its analog input, say what the input offers, set
// up a run, hand it 16-bit buffers, start, stop and flush. Statuses are 32-bit
// (0 = success; any other value is the board's own and is passed on as it
// is); handles are 32-bit (0 = none) and name boards, inputs and buffers.
//
// Our own kinds (boards/sim, boards/alsa) implement it through the buffer
// pool (boards/pool/PooledBoard.h); the vendor's driver through its adapter
// (boards/openlayers), which maps each call onto the driver's entry points.
//
// Called on the main thread only. A running input tells of its buffers
// through the BoardEvents given at the start, from a thread of its own.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "boards/CodeFormat.h"

namespace varnel {

using BoardStatus = int32_t;
using BoardHandle = uint32_t;

inline constexpr BoardStatus kBoardSuccess = 0;

// The start of a run (the vendor's codes, which its adapter passes on).
inline constexpr int32_t kTriggerImmediate = 300;
inline constexpr int32_t kTriggerExternalTtl = 301;

enum class BoardCapability { ChannelCount, GainCount, Simultaneous, MaxThroughput };

// One run: the clock, the channel list with a gain per entry, and its start.
// The data flow is continuous and the clock internal, always.
struct RunSettings {
  double clockHz = 0.0;
  std::vector<int32_t> channels;
  std::vector<double> gains;  // one per entry of `channels`
  int32_t trigger = kTriggerImmediate;
};

// A buffer's samples: `size` codes, of which the first `valid` hold a run's scans.
struct BufferData {
  uint16_t* samples = nullptr;
  uint32_t size = 0;
  int32_t valid = 0;
};

// Where a running input tells of its buffers. Thread-safe: called from the
// board's own thread, never after the call that stops it has returned.
class BoardEvents {
 public:
  virtual ~BoardEvents() = default;
  // A buffer went to the done queue; one call per buffer.
  virtual void BufferDone() = 0;
  // Samples were lost: the input had no ready buffer when it needed one.
  virtual void Overrun() = 0;
  // The platform's window that gets these as messages, for a driver that
  // posts to a window itself (Windows: an HWND); 0 when there is none.
  virtual intptr_t NativeWindow() const { return 0; }
};

// Called once per board, name first. Returns 1 to go on.
using BoardEnumCallback = std::function<int32_t(std::string_view name)>;

class BoardApi {
 public:
  virtual ~BoardApi() = default;

  // Whether the boards can be reached at all (the vendor's driver loads);
  // the device opens nothing when not.
  virtual bool LoadDriver() = 0;
  virtual BoardStatus EnumerateBoards(const BoardEnumCallback& callback) = 0;
  // Opens the board listed as `name`; its status is the one the user is shown.
  virtual BoardStatus InitializeBoard(std::string_view name, BoardHandle* board) = 0;
  // Ends the use of the board, running or not; its input and every buffer
  // queued to it go with it.
  virtual BoardStatus TerminateBoard(BoardHandle board) = 0;
  // The board's analog input (its A/D sub-system), one user at a time.
  virtual BoardStatus GetSubsystem(BoardHandle board, BoardHandle* subsystem) = 0;
  // Stops it and takes back the buffers queued to it.
  virtual BoardStatus ReleaseSubsystem(BoardHandle subsystem) = 0;

  // What the input offers: a count, 1/0 for simultaneous sampling, Hz.
  virtual BoardStatus GetSubsystemCapability(BoardHandle subsystem, BoardCapability which, double* value) = 0;
  // The only rates the input runs, when it has such a list (a sound card);
  // otherwise a non-zero status, and any rate up to the maximum goes.
  virtual BoardStatus GetNativeRates(BoardHandle subsystem, std::vector<int32_t>* rates) = 0;
  // Range, encoding and resolution of its codes; what cannot be read stays as it was.
  virtual BoardStatus GetCodeFormat(BoardHandle subsystem, CodeFormat* format) = 0;

  // Whether the run can be made, asked before anything of it is: a board
  // that refuses may put a sentence for the user into `refusal` (empty: it has
  // nothing to say). A driver that cannot tell in advance says yes, and
  // Configure judges.
  virtual BoardStatus CheckRun(BoardHandle subsystem, const RunSettings& run, std::string* refusal) = 0;
  // Sets the run up; refused while running.
  virtual BoardStatus Configure(BoardHandle subsystem, const RunSettings& run) = 0;

  // A buffer of `samples` 16-bit codes, held by the program until queued.
  virtual BoardStatus AllocateBuffer(uint32_t samples, BoardHandle* buffer) = 0;
  // Refused while the board is filling it.
  virtual BoardStatus FreeBuffer(BoardHandle buffer) = 0;
  // Hands a buffer held by the program to the input for filling (the ready queue).
  virtual BoardStatus QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) = 0;
  // The oldest done buffer back to the program; 0 when there is none.
  virtual BoardStatus TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) = 0;
  virtual BoardStatus GetBufferData(BoardHandle buffer, BufferData* data) = 0;

  // Starts filling the ready buffers as configured; `events` (may be null)
  // must outlive the run.
  virtual BoardStatus StartAcquisition(BoardHandle subsystem, BoardEvents* events) = 0;
  // Stops filling. The buffer part way through goes to the done queue with
  // the scans it holds (none: it stays ready); the others stay where they are.
  virtual BoardStatus StopAcquisition(BoardHandle subsystem) = 0;
  // Stops, then every ready buffer goes to the done queue, empty, after the
  // buffers that hold samples.
  virtual BoardStatus EndAcquisitionAndFlush(BoardHandle subsystem) = 0;
};

}  // namespace varnel
