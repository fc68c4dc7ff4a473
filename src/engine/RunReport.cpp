#include "engine/RunReport.h"

#include <cstdio>

#include "platform/Trace.h"

namespace varnel {

void RunReport::Begin(int32_t rate) {
  rate_ = rate;
  timeline_ = 0;
  open_ = OpenNone();
  gaps_.clear();
  overruns_.clear();
  overrunLosses_.clear();
  noTrigger_ = false;
  startMissed_ = false;
  events_.clear();
  historiesEmptied_.clear();
  unsaved_.clear();
  renamed_.clear();
}

void RunReport::Notify(int32_t channel, bool written, const std::string& text) {
  platform::Trace("%s\n", text.c_str());
  if (onChannelChanged) onChannelChanged(channel, written, text);
}

void RunReport::Lost(int32_t channel, std::string_view label, uint32_t frames, WaveError reason) {
  if (channel < 0 || channel >= kChannelCount) return;
  if (open_[channel] >= 0) {
    gaps_[static_cast<std::size_t>(open_[channel])].frames += frames;
    return;
  }
  if (reason == WaveError::kNone) reason = WaveError::kWriteError;
  open_[channel] = static_cast<int32_t>(gaps_.size());
  gaps_.push_back({channel, std::string(label), timeline_, frames, reason, false});
  char text[512];
  std::snprintf(text, sizeof text,
                "Channel %d (%.*s) is not being recorded: %.*s.  Its samples from %.3f s on are lost until it can "
                "be written again.",
                channel, static_cast<int>(label.size()), label.data(), static_cast<int>(WaveErrorText(reason).size()),
                WaveErrorText(reason).data(), Seconds(timeline_));
  Notify(channel, false, text);
}

void RunReport::Written(int32_t channel, std::string_view file) {
  if (channel < 0 || channel >= kChannelCount || open_[channel] < 0) return;
  RecordingGap& gap = gaps_[static_cast<std::size_t>(open_[channel])];
  open_[channel] = -1;
  gap.resumed = true;
  char text[640];
  std::snprintf(text, sizeof text, "Channel %d (%s) is recorded again in %.*s after a gap of %.3f s (%llu frames).",
                channel, gap.label.c_str(), static_cast<int>(file.size()), file.data(), Seconds(gap.frames),
                static_cast<unsigned long long>(gap.frames));
  Notify(channel, true, text);
}

void RunReport::Overrun(double atSeconds, uint64_t lostFrames) {
  overruns_.push_back(atSeconds);
  overrunLosses_.push_back(lostFrames);
  platform::Trace("Buffer overrun %d after %.3f s, %llu frames lost\n", static_cast<int>(overruns_.size()), atSeconds,
                  static_cast<unsigned long long>(lostFrames));
}

std::string RunReport::Decorate(std::string_view status) const {
  std::string text(status);
  std::string channels;
  int32_t count = 0;
  for (int32_t c = 0; c < kChannelCount; ++c) {
    if (open_[c] < 0) continue;
    channels += (count++ == 0 ? "" : ", ") + std::to_string(c);
  }
  if (count > 0) text += (count == 1 ? " - channel " : " - channels ") + channels + " not recorded";
  if (!overruns_.empty()) {
    text += " - " + std::to_string(overruns_.size()) + (overruns_.size() == 1 ? " overrun" : " overruns");
  }
  return text;
}

}  // namespace varnel
