#include "engine/TriggerStage.h"

#include <algorithm>
#include <span>

namespace varnel {

ChannelBlocks Slice(const ChannelBlocks& buffer, uint32_t from, uint32_t count) {
  ChannelBlocks piece;
  for (int32_t slot = 0; slot < kChannelCount; ++slot)
    piece.blocks[slot] = buffer.blocks[slot] ? buffer.blocks[slot] + from : nullptr;
  piece.frames = count;
  return piece;
}

void TriggerStage::Begin(const TriggerPlan& plan) {
  plan_ = plan;
  detector_ = LevelDetector(plan.thresholds);
  history_.Reset(plan.preFrames, plan.recorded);
  recording_ = false;
  emptied_ = false;
  events_ = 0;
  runFrame_ = 0;
}

uint64_t TriggerStage::HistoryBytes() const {
  const auto kept = std::count(plan_.recorded.begin(), plan_.recorded.end(), true);
  return uint64_t{plan_.preFrames} * static_cast<uint64_t>(kept) * sizeof(int16_t);
}

void TriggerStage::Take(const ChannelBlocks& buffer, TriggerSink& sink) {
  const int16_t* watched = buffer.blocks[plan_.channel];
  uint32_t at = 0;
  while (at < buffer.frames && watched != nullptr && !Done()) {
    if (recording_) {
      at += Record(buffer, at, sink);
      continue;
    }
    const auto hit = detector_.Find(std::span(watched + at, buffer.frames - at));
    if (!hit) break;
    at += static_cast<uint32_t>(*hit);
    StartEvent(buffer, at, sink);
  }
  history_.Push(buffer, 0, buffer.frames);
  runFrame_ += buffer.frames;
}

void TriggerStage::StartEvent(const ChannelBlocks& buffer, uint32_t at, TriggerSink& sink) {
  const uint32_t inBuffer = std::min(at, plan_.preFrames);
  const uint32_t fromHistory = std::min(plan_.preFrames - inBuffer, history_.Held());
  event_ = TriggerEvent{};
  event_.number = ++events_;
  event_.channel = plan_.channel;
  event_.triggerFrame = runFrame_ + at;
  event_.triggerSample = buffer.blocks[plan_.channel][at];
  event_.slope = detector_.LastSlope();
  event_.framesBefore = inBuffer + fromHistory;
  event_.framesAsked = plan_.preFrames;
  event_.historyEmptied = emptied_;
  emptied_ = false;
  recording_ = true;
  sink.EventBegins(event_);
  history_.Replay(fromHistory, [&](const ChannelBlocks& piece) { sink.Write(piece); });
  if (inBuffer > 0) sink.Write(Slice(buffer, at - inBuffer, inBuffer));
}

uint32_t TriggerStage::Record(const ChannelBlocks& buffer, uint32_t at, TriggerSink& sink) {
  const auto count =
      static_cast<uint32_t>(std::min<uint64_t>(buffer.frames - at, plan_.postFrames - event_.framesAfter));
  sink.Write(Slice(buffer, at, count));
  // The trigger sample itself already left the detector disarmed.
  detector_.Pass(std::span(buffer.blocks[plan_.channel] + at, count).subspan(event_.framesAfter == 0 ? 1 : 0));
  event_.framesAfter += count;
  if (event_.framesAfter == plan_.postFrames) {
    recording_ = false;
    sink.EventEnds(event_);
  }
  return count;
}

bool TriggerStage::Overrun(uint64_t lostFrames) {
  runFrame_ += lostFrames;
  // Also while an event records: the next event's history must not span the gap.
  history_.Clear();
  emptied_ = true;
  return Waiting();
}

void TriggerStage::End(TriggerSink& sink) {
  if (!recording_) return;
  recording_ = false;
  sink.EventEnds(event_);
}

}  // namespace varnel
