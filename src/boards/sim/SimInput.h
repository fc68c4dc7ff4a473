#pragma once
// The analog input of one simulated board: what its model offers, the runs it
// accepts (clock up to the maximum throughput, channels it has, gains it
// offers, an immediate or external-TTL start) and the code that fills the
// pool's buffers. An input stage applies each entry's gain and clips at the
// range before coding.
//
// In real time a producer thread fills the oldest ready buffer at the
// programmed clock; when no ready buffer is left it tells of the overrun and
// waits for one, and the scans of the wait are lost. In step mode nothing
// runs by itself: the test fills one buffer at a time.
//
// Set-up and stepping on the main thread; the producer fills on its own.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <thread>

#include "boards/pool/BoardKind.h"
#include "boards/sim/SimBoardModel.h"

namespace varnel::sim {

// Statuses of the simulated driver.
enum SimStatus : BoardStatus {
  kSimBadHandle = 1,
  kSimBadValue,
  kSimNotConfigured,
  kSimBusy,
  kSimNoSuchBoard,
  kSimUnsupported
};

// How a step fills its buffer.
enum class SimFill { Signals, Codes, Unchanged };

class SimInput final : public boards::BoardInput {
 public:
  // `stepMode` is read at every start.
  SimInput(BoardModel model, const bool& stepMode);
  ~SimInput() override;

  const boards::InputCapabilities& Capabilities() const override { return caps_; }
  BoardStatus Check(const RunSettings& run, std::string* refusal) const override;
  BoardStatus Configure(const RunSettings& run) override;
  BoardStatus Start(boards::BufferFiller filler) override;
  void Stop() override;
  void BufferQueued() override;

  // Step mode: fills the rest of the buffer being filled (or the oldest
  // ready one) and hands it over. No ready buffer: tells of the overrun, false.
  bool Step(SimFill fill, std::span<const uint16_t> codes);
  // Fills at most `scans` scans and leaves the buffer being filled.
  bool StepPart(std::size_t scans);

  const RunSettings& Run() const { return run_; }
  bool Configured() const { return configured_; }
  // Filling now: started, and not waiting after an overrun.
  bool Producing() const;
  bool Overrun() const;

 private:
  void Produce();
  // Writes `scans` scans of the signals, the first being scan `first` of the run.
  void FillSignals(uint16_t* out, uint64_t first, std::size_t scans);
  double ScanRate() const;

  const BoardModel model_;
  const bool& stepMode_;
  boards::InputCapabilities caps_;
  RunSettings run_;
  bool configured_ = false;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<boards::BufferFiller> filler_;
  bool stopRequested_ = false;
  bool queued_ = false;  // a buffer came while waiting after an overrun
  bool overrun_ = false;
  uint64_t scans_ = 0;  // scans produced (or lost) since the start
  std::mt19937 noise_{12345};
  std::thread producer_;
};

}  // namespace varnel::sim
