#pragma once
// What a run lost, so that no loss goes unsaid: per channel the stretches
// whose samples never reached a file (with why), and the board's overruns.
// The recording file set tells it every block written or lost; it tells the
// user through onChannelChanged, once when a channel stops being recorded and
// once when it is recorded again.
//
// Main thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/TriggerEvent.h"
#include "records/ChannelSettings.h"
#include "wave/WaveIO.h"

namespace varnel {

// What a triggered run stopped before its trigger says, in the status line
// and the closing list.
inline constexpr const char* kNoTriggerCame = "no trigger came; nothing was recorded";
// ... and what a run stopped before its start time says.
inline constexpr const char* kStartNotReached = "the start time had not come; nothing was recorded";

struct RecordingGap {
  int32_t channel = 0;
  std::string label;
  uint64_t startFrame = 0;  // of the run's timeline
  uint64_t frames = 0;
  WaveError reason = WaveError::kWriteError;  // kDiskFull, kSizeLimit or kWriteError: its text says why
  bool resumed = false;                       // false: the channel was not recorded again before the end
};

// A file that could not be saved under its final name: its samples stay in
// its working file, and the journal keeps it for recovery.
struct UnsavedFile {
  std::string file;
  std::string workingFile;
};

// A file saved under another name because one it was not to replace had
// appeared under its own during the run.
struct RenamedFile {
  std::string wanted;
  std::string savedAs;
};

class RunReport {
 public:
  // A new run at `rate` frames per second.
  void Begin(int32_t rate);
  // After every buffer's blocks were handled: the timeline moves on.
  void Advance(uint32_t frames) { timeline_ += frames; }
  // A channel's block of `frames` frames did not reach a file.
  void Lost(int32_t channel, std::string_view label, uint32_t frames, WaveError reason);
  // A channel's block reached `file`; ends its gap when it had one.
  void Written(int32_t channel, std::string_view file);
  // The board overran `atSeconds` into the run and lost about `lostFrames`.
  void Overrun(double atSeconds, uint64_t lostFrames = 0);
  // A file could not be saved.
  void NotSaved(std::string file, std::string workingFile) {
    unsaved_.push_back({std::move(file), std::move(workingFile)});
  }
  void Renamed(std::string wanted, std::string savedAs) {
    renamed_.push_back({std::move(wanted), std::move(savedAs)});
  }
  const std::vector<RenamedFile>& RenamedFiles() const { return renamed_; }
  // A triggered run stopped before its trigger came.
  void NoTrigger() { noTrigger_ = true; }
  // A run with a start time stopped before it.
  void StartNotReached() { startMissed_ = true; }
  // A level-triggered run: an event's files are done; an overrun while it
  // waited for a trigger emptied its history.
  void EventRecorded(const TriggerEvent& event) { events_.push_back(event); }
  void HistoryEmptied(double atSeconds) { historiesEmptied_.push_back(atSeconds); }
  // The run ended: gaps still open stay open.
  void End() {}

  // Frames of the run's timeline so far: every frame the board delivered.
  uint64_t Frames() const { return timeline_; }
  bool DataLost() const { return !gaps_.empty() || !overruns_.empty() || !unsaved_.empty(); }
  const std::vector<UnsavedFile>& Unsaved() const { return unsaved_; }
  bool TriggerMissed() const { return noTrigger_; }
  bool StartMissed() const { return startMissed_; }
  const std::vector<TriggerEvent>& Events() const { return events_; }
  const std::vector<double>& HistoriesEmptied() const { return historiesEmptied_; }
  bool IsLosing(int32_t channel) const { return open_[channel] >= 0; }
  // " Running..." and the like with what is being lost, when anything is.
  std::string Decorate(std::string_view status) const;
  const std::vector<RecordingGap>& Gaps() const { return gaps_; }
  const std::vector<double>& Overruns() const { return overruns_; }
  // Per overrun, the frames lost (0: no more than a buffer).
  const std::vector<uint64_t>& OverrunLosses() const { return overrunLosses_; }
  double Seconds(uint64_t frames) const { return rate_ > 0 ? static_cast<double>(frames) / rate_ : 0.0; }

  // A channel stopped being written (written false) or is written again, with
  // the one line the user is told; the report also traces it.
  std::function<void(int32_t channel, bool written, const std::string& notice)> onChannelChanged;

 private:
  void Notify(int32_t channel, bool written, const std::string& text);

  int32_t rate_ = 0;
  uint64_t timeline_ = 0;
  std::array<int32_t, kChannelCount> open_ = OpenNone();  // index into gaps_, -1: none
  std::vector<RecordingGap> gaps_;
  std::vector<double> overruns_;
  std::vector<uint64_t> overrunLosses_;
  bool noTrigger_ = false;
  bool startMissed_ = false;
  std::vector<TriggerEvent> events_;
  std::vector<double> historiesEmptied_;
  std::vector<UnsavedFile> unsaved_;
  std::vector<RenamedFile> renamed_;

  static std::array<int32_t, kChannelCount> OpenNone() {
    std::array<int32_t, kChannelCount> a{};
    a.fill(-1);
    return a;
  }
};

}  // namespace varnel
