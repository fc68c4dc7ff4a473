#pragma once
// A stand-in for the board's driver: boards from olsim.ini (see
// SimBoardModel.h), one A/D sub-system per board with continuous flow, wrap
// mode, clock, channel and gain lists and an immediate or external-TTL start,
// and 16-bit buffers moving between a ready and a done queue. An input stage
// applies each entry's gain and clips at the range before coding.
//
// In real time a producer thread fills the oldest ready buffer at the
// programmed clock and posts one buffer-done message per buffer; when no ready
// buffer is left it posts the overrun message and stops filling. In step mode
// nothing runs by itself: a test fills one buffer at a time with StepBuffer.
//
// The BoardApi calls and the test controls are for the main thread; the
// producer thread only fills buffers and posts messages.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/BoardApi.h"
#include "boards/sim/SimBoardModel.h"

namespace varnel::sim {

// Statuses of the simulated driver.
inline constexpr BoardStatus kSimBadHandle = 1;
inline constexpr BoardStatus kSimBadValue = 2;
inline constexpr BoardStatus kSimNotConfigured = 3;
inline constexpr BoardStatus kSimBusy = 4;
inline constexpr BoardStatus kSimNoSuchBoard = 5;
inline constexpr BoardStatus kSimUnsupported = 6;

// Calls a test can make fail.
enum class SimCall {
  EnumerateBoards,
  InitializeBoard,
  GetSubsystem,
  GetSubsystemCapability,
  SetClockFrequency,
  ApplySettings,
  StartAcquisition,
  AllocateBuffer,
  QueueReadyBuffer,
};

// The sub-system's settings as a test sees them.
struct SubsystemView {
  bool exists = false;
  int32_t dataFlow = 0;
  int32_t wrapMode = 0;
  double clockFrequency = 0.0;
  int32_t clockSource = 0;
  int32_t trigger = 0;
  std::vector<int32_t> channels;
  std::vector<double> gains;
  bool running = false;
  bool overrun = false;
  std::size_t ready = 0;
  std::size_t done = 0;
};

class SimulatedBoard : public BoardApi {
 public:
  // iniPath: the board settings file, read at every enumeration.
  explicit SimulatedBoard(std::string iniPath);
  ~SimulatedBoard() override;
  SimulatedBoard(const SimulatedBoard&) = delete;
  SimulatedBoard& operator=(const SimulatedBoard&) = delete;

  // --- Test controls ---
  // With step mode on, a started sub-system waits for StepBuffer.
  void SetStepMode(bool on);
  // Fills the oldest ready buffer of the running sub-system with the next
  // stretch of its signals, moves it to the done queue and posts buffer-done.
  // No ready buffer: posts the overrun and stops, false.
  bool StepBuffer();
  // The same with the given raw codes, repeated to fill the buffer.
  bool StepBuffer(std::span<const uint16_t> codes);
  // The same leaving the buffer's contents as they are (for benchmarks).
  bool StepBufferUnchanged();
  // Fills the first `scans` scans of the oldest ready buffer and leaves it
  // being filled, as a board is between two buffers; a stop or flush then
  // hands it over with those scans valid. False when no buffer is ready.
  bool StepPartialBuffer(std::size_t scans);
  void SetDriverAvailable(bool available);
  // The next `times` calls of `call` return `status`.
  void FailCall(SimCall call, BoardStatus status, int32_t times = 1);
  // Names of the BoardApi calls made, in order, while logging is on (off by default).
  void SetCallLogging(bool on);
  std::vector<std::string> CallLog() const;
  void ClearCallLog();
  SubsystemView View() const;  // the most recently obtained sub-system
  std::size_t AllocatedBuffers() const;

  // --- BoardApi ---
  bool LoadDriver() override;
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
  BoardStatus SetNotificationWindow(BoardHandle subsystem, ui::MessageLoop* window, intptr_t lParam) override;
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
  // What a run needs, fixed at ApplySettings.
  struct Setup {
    double clock = 0.0;
    std::vector<int32_t> channels;
    std::vector<double> gains;
    int32_t trigger = kTriggerImmediate;
  };
  struct Subsystem {
    BoardHandle board = 0;
    BoardModel model;
    Setup pending;
    Setup applied;
    bool configured = false;
    int32_t dataFlow = kDataFlowContinuous;
    int32_t wrapMode = 0;
    int32_t clockSource = kClockSourceInternal;
    ui::MessageLoop* window = nullptr;
    intptr_t lParam = 0;
    std::deque<BoardHandle> ready;
    std::deque<BoardHandle> done;
    BoardHandle filling = 0;
    bool running = false;
    bool overrun = false;
    bool stopRequested = false;
    uint64_t scans = 0;  // scans produced since the start
    std::mt19937 noise{12345};
    std::thread producer;
    std::condition_variable wake;
  };
  enum class Fill { Signals, Codes, Unchanged };

  bool Failing(SimCall call, BoardStatus* status);  // lock held
  void Log(const char* call);                        // lock held
  Subsystem* FindSubsystem(BoardHandle handle);      // lock held
  Buffer* FindBuffer(BoardHandle handle);            // lock held
  void StopProducer(std::unique_lock<std::mutex>& lock, Subsystem& sub);
  void DropSubsystem(std::unique_lock<std::mutex>& lock, BoardHandle handle);
  void RunProducer(BoardHandle handle);
  bool Step(Fill fill, std::span<const uint16_t> codes);
  // Fills `buffer` with the scans that follow sub.scans; touches no shared state
  // other than the buffer and the sub-system's noise generator.
  static void FillWithSignals(Subsystem& sub, Buffer& buffer, uint64_t firstScan, std::size_t scans);
  static std::size_t BufferScans(const Subsystem& sub, const Buffer& buffer);
  static void PostTo(ui::MessageLoop* window, uint32_t message, BoardHandle subsystem);

  const std::string iniPath_;
  mutable std::mutex mutex_;
  std::vector<BoardModel> models_;
  std::map<BoardHandle, std::string> boards_;
  std::map<BoardHandle, std::unique_ptr<Subsystem>> subsystems_;
  std::map<BoardHandle, std::unique_ptr<Buffer>> buffers_;
  BoardHandle nextBoard_ = 0x100;
  BoardHandle nextSubsystem_ = 0x1000;
  BoardHandle nextBuffer_ = 0x10000;
  BoardHandle lastSubsystem_ = 0;
  bool stepMode_ = false;
  bool driverAvailable_ = true;
  bool logging_ = false;
  std::map<SimCall, std::pair<BoardStatus, int32_t>> failures_;
  std::vector<std::string> callLog_;
};

// The simulated board reading `iniPath`, or olsim.ini in the settings folder when
// it is empty. What the program uses as its board driver.
std::unique_ptr<BoardApi> MakeSimulatedBoard(std::string iniPath = {});

}  // namespace varnel::sim
