// A run with a start or stop time in the buffer path: the board runs from the
// Run on (its levels show, and all a run needs was made in front of the
// user), every buffer is counted on the run's timeline, and only the frames
// of the plan's window go on, to the files or to the level trigger. The
// window is placed by the sample count from the run's first sample, so a run
// starts and ends on the sample, and its files hold exactly the duration's.

#include <algorithm>
#include <limits>

#include "engine/RecordingEngine.h"
#include "engine/RunMessages.h"
#include "platform/Clock.h"
#include "platform/FixedString.h"

namespace varnel {

bool RecordingEngine::CheckTiming() {
  TimingRequest request;
  request.startAt = FieldText(Settings.StartAt);
  request.stopAfterSeconds = Settings.StopAfterSeconds;
  request.stopAt = FieldText(Settings.StopAt);
  request.ttlTrigger = IsSet(Settings.TriggerEnable);
  timingPlan_ = TimingPlan{};
  const TimingProblem problem = PlanTiming(request, platform::GetClock().WallNow(), &timingPlan_);
  timed_ = !problem && timingPlan_.On();
  if (!problem) return true;
  ui_.MessageBox(problem.Text(), kRecorderCaption, ui::mb::kOk | ui::mb::kIconError);
  return false;
}

void RecordingEngine::StartTiming() {
  windowKnown_ = false;
  timedStarted_ = false;
  timedFrame_ = 0;
  window_ = RunWindow{};
  waitingUntil_ =
      timingPlan_.startUtc ? WaitingUntilStatus(*timingPlan_.startUtc, platform::GetClock().WallNow()) : std::string();
}

void RecordingEngine::TakeTimed(const ChannelBlocks& buffer) {
  Files.BufferArrived(buffer.frames);
  if (!windowKnown_ && buffer.frames > 0) {
    window_ = WindowOf(timingPlan_, Files.UtcOfFrame(0), Files.RecordingFormat.SampleRate);
    windowKnown_ = true;
  }
  const uint64_t at = timedFrame_, end = at + buffer.frames;
  const uint64_t from = std::clamp(window_.first, at, end);
  const uint64_t to = std::clamp(window_.end.value_or(std::numeric_limits<uint64_t>::max()), from, end);
  // Before the start the level trigger is not armed: the frames are its timeline only.
  if (from > at && levelTriggered_) trigger_.Skip(from - at);
  if (to > from) {
    if (!timedStarted_ && timingPlan_.startUtc && !levelTriggered_) Files.BeginEvent(true, from, from);
    timedStarted_ = true;
    const ChannelBlocks piece = Slice(buffer, static_cast<uint32_t>(from - at), static_cast<uint32_t>(to - from));
    if (levelTriggered_) {
      trigger_.Take(piece, eventWriter_);
    } else {
      Files.AppendBlocks(piece);
    }
  }
  Files.BufferCounted(buffer.frames);
  timedFrame_ = end;
}

void RecordingEngine::TimedOverrun(uint64_t lost) {
  timedFrame_ += lost;
}

bool RecordingEngine::TimedRunOver() const {
  return timed_ && windowKnown_ && window_.end && timedFrame_ >= *window_.end;
}

void RecordingEngine::EndTiming() {
  if (WaitingForStart()) Files.Report.StartNotReached();
}

}  // namespace varnel
