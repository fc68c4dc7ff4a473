#pragma once
// The simulated boards: those of olsim.ini (see SimBoardModel.h), each with
// one analog input (SimInput.h), behind the pooled board every kind of ours
// shares; plus the controls a test drives them with.
//
// The BoardApi calls and the test controls are for the main thread; a
// producer thread only fills buffers and tells of them.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "boards/openlayers/OpenLayersCodes.h"
#include "boards/pool/PooledBoard.h"
#include "boards/sim/SimBoardModel.h"
#include "boards/sim/SimInput.h"

namespace varnel::sim {

// Calls a test can make fail.
using SimCall = boards::BoardCall;

// The input's run as a test sees it. The flow is always continuous, the
// wrap mode multiple and the clock internal (the codes the vendor's driver
// takes for them).
struct SubsystemView {
  bool exists = false;
  int32_t dataFlow = 0;
  int32_t wrapMode = 0;
  double clockFrequency = 0.0;
  int32_t clockSource = 0;
  int32_t trigger = 0;
  std::vector<int32_t> channels;
  std::vector<double> gains;
  bool running = false;  // filling now: started, and not waiting after an overrun
  bool overrun = false;
  std::size_t ready = 0;
  std::size_t done = 0;
};

class SimDriver;

class SimulatedBoard final : public boards::PooledBoard {
 public:
  // iniPath: the board settings file, read at every enumeration.
  explicit SimulatedBoard(std::string iniPath);

  // --- Test controls, on the most recently obtained sub-system ---
  // With step mode on, an input started from then on waits for StepBuffer.
  void SetStepMode(bool on);
  // Fills the rest of the buffer being filled (or the oldest ready one) with
  // the next stretch of its signals; it goes to the done queue and is told.
  // No ready buffer: the overrun is told, false.
  bool StepBuffer();
  // The same with the given raw codes, repeated to fill the buffer.
  bool StepBuffer(std::span<const uint16_t> codes);
  // The same leaving the buffer's contents as they are (for benchmarks).
  bool StepBufferUnchanged();
  // Fills `scans` more scans and leaves the buffer being filled, as a board
  // is between two buffers; a stop then hands it over with those scans
  // valid. False when no buffer is ready.
  bool StepPartialBuffer(std::size_t scans);
  void SetDriverAvailable(bool available);
  // The next `times` calls of `call` return `status`.
  void FailCall(SimCall call, BoardStatus status, int32_t times = 1);
  // Names of the BoardApi calls made, in order, while logging is on (off by default).
  void SetCallLogging(bool on);
  std::vector<std::string> CallLog() const;
  void ClearCallLog();
  SubsystemView View();
  std::size_t AllocatedBuffers() const;

 protected:
  BoardStatus Intercept(boards::BoardCall call) override;

 private:
  SimDriver& Sim();
  SimInput* LastInput();

  mutable std::mutex mutex_;
  bool logging_ = false;
  std::map<SimCall, std::pair<BoardStatus, int32_t>> failures_;
  std::vector<std::string> callLog_;
};

// The simulated board reading `iniPath`, or olsim.ini in the settings folder when
// it is empty. What the program uses as its board driver.
std::unique_ptr<BoardApi> MakeSimulatedBoard(std::string iniPath = {});

}  // namespace varnel::sim
