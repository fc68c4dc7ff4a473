#pragma once
// One wave file per recorded channel of a run: created at Run, appended to
// after every buffer, rolled over to a new file when an append fails, and
// finalised at Stop.
//
// Main thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/RunReport.h"
#include "records/ChannelSettings.h"
#include "recovery/RecordingJournal.h"
#include "recovery/WorkingFileSync.h"
#include "ui/UiServices.h"
#include "wave/CalibrationRecord.h"
#include "wave/SampleFormat.h"
#include "wave/WaveIO.h"

namespace varnel {

// One converted buffer, channel by channel: each channel's block of `frames`
// samples (nullptr: the channel has none this buffer).
struct ChannelBlocks {
  std::array<const int16_t*, kChannelCount> blocks{};
  uint32_t frames = 0;
  uint32_t Bytes() const { return frames * 2; }
};

struct FinishedFile {
  std::string name;
  uint32_t frames = 0;
};

// The longest split period: its frames stay within 64 bits at any rate.
inline constexpr int32_t kMaxSplitSeconds = 31 * 24 * 3600;

// The local time as "%04d_%02d_%02d_%02d%02d%02d"; nothing when text is null.
void MakeTimeStamp(char* text);

class RecordingFileSet {
 public:
  RecordingFileSet(ui::UiServices& ui, const RecorderSettings& settings, const ChannelSettingsArray& channels,
                   const std::array<CalibrationRecord, kChannelCount>& calibrationRecords,
                   std::function<void(const std::string&)> setStatus);
  ~RecordingFileSet();

  int CreateWaveFiles();
  // Appends every recorded channel's block to its file.
  void WriteChannelData(const ChannelBlocks& buffer);

  // A triggered run writes pieces of its buffers, and of the history before
  // them, into the files of each event. Every buffer is counted on the run's
  // time line (the first one starts its clock) whatever is written of it.
  void BufferArrived(uint32_t frames);
  void BufferCounted(uint32_t frames);
  // The next frames of the event's files, every recorded channel's block.
  void AppendBlocks(const ChannelBlocks& piece);
  // An event's files begin at the run's frame `firstFrame` and are named
  // with the time of its `triggerFrame` (the first event's only when time
  // stamps are on: it has the files the Run made).
  void BeginEvent(bool first, uint64_t firstFrame, uint64_t triggerFrame);
  // The event's files are finished.
  void EndEvent();
  // The UTC time of the run's frame, and the local time's offset.
  int64_t UtcOfFrame(uint64_t frame) const { return FileStartUtcMicroseconds(StartAfter(runStart_, frame)); }
  int32_t ZoneOffset() const { return runStart_.zoneOffsetSeconds; }
  void SaveWaveFiles();
  // Samples of every channel were lost: each file with samples is finished and
  // its channel goes on in a new time-stamped one, so that every file is
  // continuous in time.
  void SplitAfterLoss();
  // The calibration records are filled: the journal gets them.
  void CalibrationsLoaded();

  // The periodic sync of the working files (on unless a benchmark compares).
  void SetPeriodicSync(bool on) { periodicSync_ = on; }
  WorkingFileSync::Stats SyncStats() const { return sync_.GetStats(); }

  // Final names of every file finalised so far in this run, oldest first.
  const std::vector<FinishedFile>& FinishedFiles() const { return finished_; }

  std::array<std::unique_ptr<WaveIO>, kChannelCount> WaveFiles;
  SampleFormat RecordingFormat;
  // What this run lost; begun by CreateWaveFiles.
  RunReport Report;

 private:
  // A new file of the channel whose first sample is the run's `framesBefore`th.
  std::unique_ptr<WaveIO> MakeWave(int32_t slot, uint64_t framesBefore);
  RecordingStart StartOf(int32_t slot, uint64_t framesBefore) const;
  // The first buffer fixes the run's first sample in time: every open file's
  // start is told again.
  void StartClock(uint32_t frames);
  int DiscardWaveFiles();
  std::string FileNameFor(int32_t slot, bool timeStamped) const;
  std::string FileNameFor(int32_t slot, const std::string& stamp) const;
  // The stamped name, made unique among the files there and those of this run.
  std::string UniqueNameFor(int32_t slot, const std::string& stamp) const;
  void MakeEventFile(int32_t slot, uint64_t firstFrame, const std::string& stamp);
  // "2026_12_09_150000": the local time of the run's frame, as a name's stamp.
  std::string StampAt(uint64_t frame) const;
  // Files split on the clock (RecordingFileSetSplit.cpp): the first frame
  // after `frame` that begins a file (none without a split period), and the
  // split there.
  std::optional<uint64_t> NextSplit(uint64_t frame) const;
  void SplitAt(uint64_t frame);
  void AppendPiece(const ChannelBlocks& piece);
  void Finalise(int32_t slot, bool save);
  void RollOver(int32_t slot);
  // The block whose append failed, into the channel's new file when one can be had.
  void RecoverBlock(int32_t slot, const int16_t* block, uint32_t bytes);

  bool IsFinished(const std::string& name) const;
  // `name` with "_2", "_3" ... before its extension: the first that neither
  // exists nor was finished in this run.
  std::string FreeNameLike(const std::string& name) const;
  // A run where another recorder writes goes ahead only when the user says so.
  bool SharedFolderAccepted();
  // Journal and periodic sync of every open working file (RecordingFileSetJournal.cpp).
  void UpdateJournal();
  void FinishedWith(int32_t slot, const WaveIO& wave);

  ui::UiServices& ui_;
  const RecorderSettings& settings_;
  const ChannelSettingsArray& channels_;
  const std::array<CalibrationRecord, kChannelCount>& calibrationRecords_;
  std::function<void(const std::string&)> setStatus_;
  // A rollover that keeps failing retries at every buffer; the run report
  // tells the user why, once.
  bool quietWaveErrors_ = false;
  std::vector<FinishedFile> finished_;
  // Per slot: its file may replace what is under its final name, because that
  // was there at Run and the user (or the overwrite setting) said so.
  std::array<bool, kChannelCount> mayReplace_{};
  RecordingJournal journal_;
  WorkingFileSync sync_;
  bool periodicSync_ = true;
  bool calibrationsKnown_ = false;
  // The run's first sample; its time is provisional until the first buffer.
  RecordingStart runStart_;
  uint64_t framesWritten_ = 0;  // frames of every buffer of this run so far
  uint64_t nextFrame_ = 0;      // the run's frame the next appended block begins with
};

}  // namespace varnel
