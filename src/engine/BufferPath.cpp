// The buffer path: every buffer the board fills is converted by the device
// (blocks, monitor store, levels) and handed to the recording file set in one
// call, WriteChannelData. Stages that act on whole buffers before they are
// written (a trigger with its history, a split of the files on the clock) go
// between the two.

#include <string>

#include "engine/RecordingEngine.h"
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
  Files.WriteChannelData(ConvertedBuffer());
}

intptr_t RecordingEngine::OnBufferDone() {
  const int processed = Device.ProcessBuffer();
  platform::Trace("OLDA_WM_BUFFER_DONE\n");
  if (bIsRunning == 1) SetStatus(Files.Report.Decorate(" Running..."));
  // Blocks that were not refreshed hold the previous buffer: writing them
  // again would put the same samples into the files twice.
  if (processed == 1) WriteChannelData();
  // A rollover or a loss changed it; it keeps naming what is not recorded.
  if (bIsRunning == 1) SetStatus(Files.Report.Decorate(" Running..."));
  if (observer_) observer_->LevelsChanged();
  return 1;
}

intptr_t RecordingEngine::OnBufferOverrun() {
  platform::Trace("DT_BUFFER_OVERRUN\n");
  // Counted only while recording: a late message after Stop lost nothing of this run.
  if (bIsRunning == 1) {
    const double at = Device.GetRunTime();
    Files.Report.Overrun(at);
    if (observer_) observer_->OverrunCounted(Files.Report.Overruns().size(), at);
  }
  const std::size_t count = Files.Report.Overruns().size();
  SetStatus(count == 0 ? std::string(" ERROR - Buffer Overrun...")
                       : " ERROR - Buffer Overrun... (" + std::to_string(count) + ")");
  return 1;
}

void RecordingEngine::OnRefreshTimer() {
  if (bIsRunning != 1) return;
  Link.DDEPokeTimeSeriesData();
  if (Settings.TriggerEnable == 1 && Device.GetRunTime() >= static_cast<double>(Settings.PostTriggerRunTime))
    StopRecording();
}

}  // namespace varnel
