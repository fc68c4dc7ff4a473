#pragma once
// A kind of board of ours, as PooledBoard drives it: its set-up (listing,
// opening, what an input offers, checking and setting up a run) and the code
// that fills buffers. Handles, buffers, queues, statuses of misuse and the
// order of calls are PooledBoard's and the pool's, the same for every kind.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boards/BoardApi.h"
#include "boards/pool/BufferPool.h"

namespace varnel::boards {

// What an input offers, fixed while its board is open.
struct InputCapabilities {
  int32_t channels = 0;
  int32_t gains = 1;  // the first n of 1, 2, 4, 8
  bool simultaneous = false;
  double maxThroughput = 0.0;
  std::optional<std::vector<int32_t>> nativeRates;  // only these run, when given
  CodeFormat codes;
};

// The analog input of one open board. Its set-up calls come from the main
// thread; between Start and Stop it fills the pool's buffers on a thread of
// its own (or, for a board stepped by a test, on the test's).
class BoardInput {
 public:
  virtual ~BoardInput() = default;
  virtual const InputCapabilities& Capabilities() const = 0;
  // Whether the run can be made; a sentence for the user in `refusal` (may
  // be null), or nothing. Asked before every Configure too.
  virtual BoardStatus Check(const RunSettings& run, std::string* refusal) const = 0;
  // Sets up a run that passed Check; never called while running.
  virtual BoardStatus Configure(const RunSettings& run) = 0;
  // Begins filling through `filler` and returns; the run is the one configured.
  virtual BoardStatus Start(BufferFiller filler) = 0;
  // Ends filling: once it returns, nothing more is written or told.
  virtual void Stop() = 0;
  // A buffer was queued while running (for a filler that waits for one).
  virtual void BufferQueued() {}
};

// The boards of one kind. Main thread only.
class BoardDriver {
 public:
  virtual ~BoardDriver() = default;
  // Whether the boards can be reached at all.
  virtual bool Available() { return true; }
  virtual std::vector<std::string> List() = 0;
  // Opens the board listed as `name`; a failure's status is the kind's own.
  virtual BoardStatus Open(std::string_view name, std::unique_ptr<BoardInput>* input) = 0;
  virtual const PoolStatuses& Statuses() const = 0;
};

}  // namespace varnel::boards
