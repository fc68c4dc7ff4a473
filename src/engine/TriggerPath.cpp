// The level trigger in the buffer path: between the device's conversion and
// the files, every buffer goes through the trigger stage, which writes each
// event's history and post-trigger frames into that event's files.

#include <cstdio>
#include <string>

#include "calibration/CalibrationFile.h"
#include "engine/RecordingEngine.h"
#include "engine/RunMessages.h"
#include "engine/TriggerSetup.h"
#include "platform/FixedString.h"
#include "platform/Memory.h"

namespace varnel {

// Read here, as the level is checked before the Run reads the calibrations for the files.
ChannelScale RecordingEngine::TriggerChannelScale() const {
  const int32_t ch = Settings.LevelTriggerChannel;
  return varnel::TriggerChannelScale(Channels[ch], ch);
}

bool RecordingEngine::CheckLevelTrigger() {
  levelTriggered_ = IsSet(Settings.LevelTriggerEnable);
  if (!levelTriggered_) return true;
  const int32_t ch = Settings.LevelTriggerChannel;
  const bool enabled = ch >= 0 && ch < kChannelCount && IsSet(Channels[ch].bIsEnabled);
  triggerScale_ = enabled ? TriggerChannelScale() : ConverterVolts("");
  const TriggerProblem problem =
      PlanLevelTrigger(Settings, Channels, triggerScale_, platform::AvailableMemoryBytes(), &triggerPlan_);
  if (!problem) return true;
  levelTriggered_ = false;
  ui_.MessageBox(problem.Text(), kRecorderCaption, ui::mb::kOk | ui::mb::kIconError);
  return false;
}

void RecordingEngine::StartLevelTrigger() {
  if (!levelTriggered_) return;
  trigger_.Begin(triggerPlan_);
  waitingStatus_ = " Waiting for level trigger on channel " + std::to_string(triggerPlan_.channel) + " (" +
                   DescribeTrigger(Settings, triggerScale_) + ")...";
}

std::string RecordingEngine::RunningStatus() const {
  if (WaitingForStart()) return waitingUntil_;
  if (levelTriggered_ && trigger_.Waiting()) return waitingStatus_;
  return " Running...";
}

void RecordingEngine::TakeTriggered(const ChannelBlocks& buffer) {
  Files.BufferArrived(buffer.frames);
  trigger_.Take(buffer, eventWriter_);
  Files.BufferCounted(buffer.frames);
}

void RecordingEngine::TriggerOverrun(uint64_t lost, double at) {
  if (trigger_.Overrun(lost)) Files.Report.HistoryEmptied(at);
}

void RecordingEngine::EndLevelTrigger() {
  if (!levelTriggered_) return;
  trigger_.End(eventWriter_);
  // Before its start time a run waited for no trigger.
  if (trigger_.Events() == 0 && !Files.Report.StartMissed()) Files.Report.NoTrigger();
}

std::string RecordingEngine::EventLine(const TriggerEvent& e) const {
  char line[512];
  const std::string time = FormatLocalMicroseconds(Files.UtcOfFrame(e.triggerFrame), Files.ZoneOffset());
  std::snprintf(line, sizeof line, "event %d: %s, channel %d %s to %.6g %s, %u frames before, %llu after", e.number,
                time.c_str(), e.channel, TriggerSlopeKey(e.slope), e.triggerSample * triggerScale_.UnitsPerCode(),
                triggerScale_.WaveformUnits().empty() ? "V" : triggerScale_.WaveformUnits().c_str(), e.framesBefore,
                static_cast<unsigned long long>(e.framesAfter));
  return line;
}

void RecordingEngine::EventWriter::EventBegins(const TriggerEvent& event) {
  engine_.Files.BeginEvent(event.number == 1, event.triggerFrame - event.framesBefore, event.triggerFrame);
}

void RecordingEngine::EventWriter::Write(const ChannelBlocks& piece) {
  engine_.Files.AppendBlocks(piece);
}

void RecordingEngine::EventWriter::EventEnds(const TriggerEvent& event) {
  engine_.Files.EndEvent();
  engine_.Files.Report.EventRecorded(event);
  if (engine_.observer_) engine_.observer_->EventRecorded(event, engine_.EventLine(event));
}

}  // namespace varnel
