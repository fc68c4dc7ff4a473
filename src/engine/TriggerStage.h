#pragma once
// The level trigger as a stage of the buffer path: it watches one channel for
// the trigger sample while it keeps the history of every recorded channel,
// and hands its sink each event's frames: the history before the trigger
// sample (sample-exact, fewer when the run or the time since an overrun is
// shorter) and the post-trigger frames from it on. Then it re-arms, once the
// signal went back across the band, or it is done.
//
// Main thread only.

#include <array>
#include <cstdint>

#include "engine/LevelDetector.h"
#include "engine/PreTriggerHistory.h"
#include "engine/RecordingFileSet.h"
#include "engine/TriggerEvent.h"

namespace varnel {

struct TriggerPlan {
  int32_t channel = 0;
  LevelThresholds thresholds;
  uint32_t preFrames = 0;
  uint64_t postFrames = 1;  // from the trigger sample on, the trigger sample included
  int32_t events = 1;       // 0: every event until stopped
  std::array<bool, kChannelCount> recorded{};
};

// Where the stage's frames go.
class TriggerSink {
 public:
  virtual ~TriggerSink() = default;
  virtual void EventBegins(const TriggerEvent& event) = 0;
  virtual void Write(const ChannelBlocks& piece) = 0;
  virtual void EventEnds(const TriggerEvent& event) = 0;
};

class TriggerStage {
 public:
  void Begin(const TriggerPlan& plan);
  // One converted buffer of the run.
  void Take(const ChannelBlocks& buffer, TriggerSink& sink);
  // Frames of the run before the stage is armed: they move its timeline only.
  void Skip(uint64_t frames) { runFrame_ += frames; }
  // The board overran and lost `lostFrames`: the history is no longer
  // continuous and goes. True when the stage is waiting for a trigger.
  bool Overrun(uint64_t lostFrames);
  // The run stops: an event cut short ends with what it has.
  void End(TriggerSink& sink);

  bool Waiting() const { return !recording_ && !Done(); }
  bool Done() const { return !recording_ && plan_.events > 0 && events_ >= plan_.events; }
  int32_t Events() const { return events_; }
  const TriggerPlan& Plan() const { return plan_; }
  // Bytes the history holds at most.
  uint64_t HistoryBytes() const;

 private:
  // Frames [at, n) of the buffer while an event records; returns the frames taken.
  uint32_t Record(const ChannelBlocks& buffer, uint32_t at, TriggerSink& sink);
  void StartEvent(const ChannelBlocks& buffer, uint32_t at, TriggerSink& sink);

  TriggerPlan plan_;
  LevelDetector detector_;
  PreTriggerHistory history_;
  bool recording_ = false;
  bool emptied_ = false;   // since the last event began
  int32_t events_ = 0;     // events ended or recording
  uint64_t runFrame_ = 0;  // the run's frame of the buffer's first
  TriggerEvent event_;
};

// Frames [from, from + count) of a buffer.
ChannelBlocks Slice(const ChannelBlocks& buffer, uint32_t from, uint32_t count);

}  // namespace varnel
