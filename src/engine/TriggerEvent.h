#pragma once
// One event of a level-triggered run: where its trigger sample lies and how
// much its files hold before and after it.

#include <cstdint>

#include "records/LevelTrigger.h"

namespace varnel {

struct TriggerEvent {
  int32_t number = 0;  // 1 for the run's first
  int32_t channel = 0;
  uint64_t triggerFrame = 0;  // on the run's time line, frames lost to overruns counted
  int16_t triggerSample = 0;
  TriggerSlope slope = TriggerSlope::kRising;
  uint32_t framesBefore = 0;    // history in the event's files
  uint32_t framesAsked = 0;     // history the plan asked for
  uint64_t framesAfter = 0;     // from the trigger sample on, so far
  bool historyEmptied = false;  // an overrun while waiting emptied the history
};

}  // namespace varnel
