// The buffer path: every buffer the board fills is converted by the device
// (blocks, monitor store, levels) and handed to the recording file set in one
// call, WriteChannelData. Stages that act on whole buffers before they are
// written (a trigger with its history, a split of the files on the clock) go
// between the two.

#include <cstdio>
#include <string>

#include "engine/RecordingEngine.h"
#include "platform/Clock.h"
#include "platform/Trace.h"

namespace varnel {

ChannelBlocks RecordingEngine::ConvertedBuffer() {
  ChannelBlocks buffer;
  for (int32_t channel = 0; channel < kChannelCount; ++channel)
    buffer.blocks[channel] = Device.GetChannelBlock(channel);
  buffer.frames = static_cast<uint32_t>(Device.GetChannelBlockBytes() / 2);
  return buffer;
}

void RecordingEngine::WriteChannelData() {
  if (timed_) return TakeTimed(ConvertedBuffer());
  if (levelTriggered_) return TakeTriggered(ConvertedBuffer());
  Files.WriteChannelData(ConvertedBuffer());
}

intptr_t RecordingEngine::OnBufferDone() {
  const int processed = Device.ProcessBuffer();
  platform::Trace("OLDA_WM_BUFFER_DONE\n");
  if (bIsRunning == 1) SetStatus(Files.Report.Decorate(RunningStatus()));
  // Blocks that were not refreshed hold the previous buffer: writing them
  // again would put the same samples into the files twice.
  if (processed == 1) {
    NoteBufferTime();
    WriteChannelData();
  }
  // A rollover or a loss changed it; it keeps naming what is not recorded.
  if (bIsRunning == 1) SetStatus(Files.Report.Decorate(RunningStatus()));
  if (observer_) observer_->LevelsChanged();
  // The last event is in its files: the run ends by itself.
  if (bIsRunning == 1 && levelTriggered_ && trigger_.Done()) StopRecording();
  // The stop time's frame has come: the files hold the run's frames to it.
  if (bIsRunning == 1 && TimedRunOver()) StopRecording();
  return 1;
}

intptr_t RecordingEngine::OnBufferOverrun() {
  platform::Trace("DT_BUFFER_OVERRUN\n");
  // Counted only while recording: a late message after Stop lost nothing of this run.
  if (bIsRunning == 1) {
    const double at = Device.GetRunTime();
    const uint64_t lost = MeasureLoss();
    Files.Report.Overrun(at, lost);
    if (levelTriggered_) TriggerOverrun(lost, at);
    if (timed_) TimedOverrun(lost);
    if (observer_) observer_->OverrunCounted(Files.Report.Overruns().size(), at);
    // The board has its buffers back with every one taken, and goes on; the
    // files do not run across a gap, which is told at once, as a channel that
    // cannot be written is. An overrun of no more than a buffer shows in the
    // status line and the closing list only.
    const bool waiting = levelTriggered_ && trigger_.Waiting();
    const char* after = WaitingForStart() ? "Nothing was being recorded yet: the run still starts at its time."
                        : waiting         ? "The pre-trigger history begins again."
                                          : "Each channel goes on in a new file.";
    if (lost > 0) {
      Files.SplitAfterLoss();
      char text[256];
      std::snprintf(text, sizeof text,
                    "The board overran after %.3f s of recording: about %.3f s of every channel was lost.  %s", at,
                    Files.Report.Seconds(lost), after);
      QueueRunNotice(text);
    }
  }
  const std::size_t count = Files.Report.Overruns().size();
  SetStatus(count == 0 ? std::string(" ERROR - Buffer Overrun...")
                       : " ERROR - Buffer Overrun... (" + std::to_string(count) + ")");
  return 1;
}

void RecordingEngine::NoteBufferTime() {
  if (Settings.SamplingRate <= 0) return;
  const double now = static_cast<double>(platform::GetClock().TickCount() - runTick_);
  const double sampled = static_cast<double>(static_cast<uint64_t>(Device.GetRunFrames()) + lostFrames_);
  const double bound = now - sampled * 1000.0 / Settings.SamplingRate;
  if (!startBound_ || bound < startBoundMs_) startBoundMs_ = bound;
  startBound_ = true;
}

// Every frame delivered, the buffers still with the board (one filling since
// it went on) aside, against the time since the run's first frame.
uint64_t RecordingEngine::MeasureLoss() {
  if (!startBound_ || Settings.SamplingRate <= 0) return 0;
  const double now = static_cast<double>(platform::GetClock().TickCount() - runTick_);
  const double due = (now - startBoundMs_) * Settings.SamplingRate / 1000.0;
  const double had =
      static_cast<double>(static_cast<uint64_t>(Device.GetRunFrames()) + lostFrames_) + Device.GetSamplesPerChannel();
  const uint64_t lost = due > had ? static_cast<uint64_t>(due - had) : 0;
  lostFrames_ += lost;
  return lost;
}

void RecordingEngine::OnRefreshTimer() {
  if (bIsRunning != 1) return;
  Link.DDEPokeTimeSeriesData();
  if (Settings.TriggerEnable == 1 && Device.GetRunTime() >= static_cast<double>(Settings.PostTriggerRunTime))
    StopRecording();
}

}  // namespace varnel
