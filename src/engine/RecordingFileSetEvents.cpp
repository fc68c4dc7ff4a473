// The recording file set in a triggered run: each event's files begin with
// the history before its trigger sample and are named with that sample's time.

#include <string>

#include "engine/RecordingFileSet.h"
#include "platform/FixedString.h"

namespace varnel {

// As MakeTimeStamp gives the clock's.
std::string RecordingFileSet::StampAt(uint64_t frame) const {
  const std::string t = FormatLocalMicroseconds(UtcOfFrame(frame), ZoneOffset());  // "2026-12-09 15:00:00.000123"
  return t.substr(0, 4) + "_" + t.substr(5, 2) + "_" + t.substr(8, 2) + "_" + t.substr(11, 2) + t.substr(14, 2) +
         t.substr(17, 2);
}

void RecordingFileSet::BeginEvent(bool first, uint64_t firstFrame, uint64_t triggerFrame) {
  nextFrame_ = firstFrame;
  const std::string stamp = StampAt(triggerFrame);
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    const ChannelSettings& c = channels_[slot];
    if (!IsSet(c.bIsEnabled) || !IsSet(c.bIsRecording)) continue;
    if (!first) {
      MakeEventFile(slot, firstFrame, stamp);
      continue;
    }
    if (!WaveFiles[slot] || WaveFiles[slot]->Failed == 1) continue;
    WaveFiles[slot]->SetRecordingStart(StartOf(slot, firstFrame));
    if (IsSet(settings_.bAppendTimeStamp)) {
      WaveFiles[slot]->SetFileName(UniqueNameFor(slot, stamp).c_str());
      mayReplace_[slot] = false;
    }
  }
  UpdateJournal();
}

void RecordingFileSet::MakeEventFile(int32_t slot, uint64_t firstFrame, const std::string& stamp) {
  const std::string name = UniqueNameFor(slot, stamp);
  mayReplace_[slot] = false;
  WaveFiles[slot] = MakeWave(slot, firstFrame);
  if (WaveFiles[slot]->Failed == 1) return;
  WaveFiles[slot]->SetFormat(RecordingFormat);
  WaveFiles[slot]->SetFileName(name.c_str());
}

void RecordingFileSet::EndEvent() {
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    if (WaveFiles[slot]) Finalise(slot, true);
  }
}

}  // namespace varnel
