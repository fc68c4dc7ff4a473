#pragma once
// Every comedi analog input that streams (a data-acquisition board of Linux's
// own framework) as a board, behind the pooled board every kind of ours
// shares: its channels (at most 16 used), the gains its range table has
// (each gain a range, see GainRanges), multiplexed sampling up to the rate its
// own clock runs, the board's codes kept (offset binary, with its resolution)
// and, where its analog input starts on an external signal, the TTL trigger.
//
// The BoardApi calls are for the main thread; each running board has a
// capture thread of its own (ComediInput.h).

#include <cstdint>
#include <memory>

#include "boards/comedi/ComediCalls.h"
#include "boards/pool/PooledBoard.h"

namespace varnel::comedi {

// Statuses of the comedi boards (a device that cannot be opened is reported
// with its errno): what every kind refuses, and what a board cannot do.
enum ComediStatus : BoardStatus {
  kComediBadHandle = 1101,
  kComediBadValue,
  kComediNotConfigured,
  kComediBusy,
  kComediNoSuchBoard,
};
enum ComediRefusal : BoardStatus {
  kComediUnsupported = 1106,
  kComediNoTrigger,
  kComediRateNotExact,
  kComediNoSuchChannel,
  kComediNoSuchRange,
  kComediCommandRefused,
};

class ComediBoard final : public boards::PooledBoard {
 public:
  explicit ComediBoard(std::shared_ptr<ComediCalls> calls = RealComediCalls());
};

}  // namespace varnel::comedi
