#include "engine/RecordingFileSet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "calibration/ChannelScale.h"
#include "engine/FileFormatSetting.h"
#include "engine/RunMessages.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FixedString.h"

namespace varnel {

void MakeTimeStamp(char* text) {
  if (!text) return;
  std::memset(text, 0, 80);
  platform::LocalTime t = platform::GetClock().Now();
  std::snprintf(text, 80, "%04d_%02d_%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

RecordingFileSet::RecordingFileSet(ui::UiServices& ui, const RecorderSettings& settings,
                                   const ChannelSettingsArray& channels,
                                   const std::array<CalibrationRecord, kChannelCount>& calibrationRecords,
                                   std::function<void(const std::string&)> setStatus)
    : ui_(ui),
      settings_(settings),
      channels_(channels),
      calibrationRecords_(calibrationRecords),
      setStatus_(std::move(setStatus)) {}

bool RecordingFileSet::IsFinished(const std::string& name) const {
  return std::any_of(finished_.begin(), finished_.end(), [&](const FinishedFile& f) { return f.name == name; });
}

RecordingFileSet::~RecordingFileSet() = default;

std::string RecordingFileSet::FileNameFor(int32_t slot, bool timeStamped) const {
  char stamp[80] = {};
  if (timeStamped) MakeTimeStamp(stamp);
  return FileNameFor(slot, std::string(stamp));
}

std::string RecordingFileSet::FileNameFor(int32_t slot, const std::string& stamp) const {
  std::string name = platform::JoinPath(FieldText(settings_.szWavePath), FieldText(channels_[slot].szLabel));
  if (!stamp.empty()) name += "_" + stamp;
  return name + ".wav";
}

std::string RecordingFileSet::UniqueNameFor(int32_t slot, const std::string& stamp) const {
  // Two files within one second would otherwise share a name.
  return FreeNameLike(FileNameFor(slot, stamp));
}

int RecordingFileSet::CreateWaveFiles() {
  RecordingFormat.Set(static_cast<uint32_t>(settings_.SamplingRate), 1, 2);
  finished_.clear();
  Report.Begin(settings_.SamplingRate);
  calibrationsKnown_ = false;
  const platform::WallTime now = platform::GetClock().WallNow();
  runStart_ = RecordingStart{};
  runStart_.utcMicroseconds = now.utcMicroseconds;
  runStart_.zoneOffsetSeconds = now.zoneOffsetSeconds;
  runStart_.sampleRate = RecordingFormat.SampleRate;
  runStart_.board = FieldText(settings_.szDeviceName);
  framesWritten_ = 0;
  nextFrame_ = 0;
  mayReplace_.fill(false);
  if (!SharedFolderAccepted()) return 0;
  journal_.Begin(std::string(FieldText(settings_.szWavePath)));
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    if (!IsSet(channels_[slot].bIsEnabled)) continue;
    WaveFiles[slot].reset();
    const std::string name = FileNameFor(slot, IsSet(settings_.bAppendTimeStamp));
    const bool exists = platform::FileExists(name);
    if (settings_.bOverwriteWaveFiles == 0 && platform::FileReadable(name)) {
      std::string question = "File " + name + " already exists.  Do you want to overwrite this file?";
      ui::DialogResult answer =
          ui_.MessageBox(question, kRecorderCaption, ui::mb::kYesNoCancel | ui::mb::kIconQuestion);
      if (answer == ui::DialogResult::Cancel) return DiscardWaveFiles();
      if (answer != ui::DialogResult::Yes) continue;
    }
    mayReplace_[slot] = exists;
    WaveFiles[slot] = MakeWave(slot, 0);
    if (WaveFiles[slot]->Failed == 1) {
      ui_.MessageBox("Failure creating wave file " + name +
                         ".  Please check that the wave file path is valid and is not write protected",
                     kRecorderCaption, ui::mb::kOk | ui::mb::kIconError);
      return DiscardWaveFiles();
    }
    WaveFiles[slot]->SetFormat(RecordingFormat);
    WaveFiles[slot]->SetFileName(name.c_str());
  }
  UpdateJournal();
  return 1;
}

bool RecordingFileSet::SharedFolderAccepted() {
  const std::string folder(FieldText(settings_.szWavePath));
  if (!AnotherRecorderWrites(folder)) return true;
  const std::string question = "Another recorder is writing in " + folder +
                               ". Neither replaces the other's files, but their recordings share the folder. "
                               "Record here anyway?";
  return ui_.MessageBox(question, kRecorderCaption, ui::mb::kYesNo | ui::mb::kIconQuestion) == ui::DialogResult::Yes;
}

std::string RecordingFileSet::FreeNameLike(const std::string& name) const {
  std::string free = name;
  for (int n = 2; platform::FileExists(free) || IsFinished(free); ++n) {
    free = name;
    free.insert(name.size() - 4, "_" + std::to_string(n));
  }
  return free;
}

// An undone run leaves nothing: the files begun so far hold no samples.
int RecordingFileSet::DiscardWaveFiles() {
  for (auto& wave : WaveFiles) {
    if (!wave) continue;
    wave->DeleteWorkingFile = 1;
    wave.reset();
  }
  journal_.End();
  return 0;
}

std::unique_ptr<WaveIO> RecordingFileSet::MakeWave(int32_t slot, uint64_t framesBefore) {
  const WaveFileChoice choice{WaveFileFormatOf(settings_.FileFormat), StartOf(slot, framesBefore)};
  return std::make_unique<WaveIO>(RecordingFormat, FieldText(settings_.szWavePath), choice, [this](WaveError error) {
    if (!quietWaveErrors_) ShowWaveError(ui_, error);
  });
}

RecordingStart RecordingFileSet::StartOf(int32_t slot, uint64_t framesBefore) const {
  RecordingStart start = StartAfter(runStart_, framesBefore);
  start.label = FieldText(channels_[slot].szLabel);
  start.gain = channels_[slot].Gain;
  const ChannelScale scale = ScaleOf(calibrationRecords_[slot].Left, "Left");
  if (calibrationsKnown_ && scale.calibrated) start.unit = scale.WaveformUnits();
  return start;
}

void RecordingFileSet::StartClock(uint32_t frames) {
  // The buffer's last sample was taken about now; its first one a buffer earlier.
  const platform::WallTime now = platform::GetClock().WallNow();
  const int64_t duration = RecordingFormat.SampleRate ? int64_t{frames} * 1000000 / RecordingFormat.SampleRate : 0;
  runStart_.utcMicroseconds = now.utcMicroseconds - duration;
  runStart_.zoneOffsetSeconds = now.zoneOffsetSeconds;
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    if (WaveFiles[slot] && WaveFiles[slot]->Failed == 0) WaveFiles[slot]->SetRecordingStart(StartOf(slot, 0));
  }
}

void RecordingFileSet::WriteChannelData(const ChannelBlocks& buffer) {
  BufferArrived(buffer.frames);
  nextFrame_ = framesWritten_;
  AppendBlocks(buffer);
  BufferCounted(buffer.frames);
}

void RecordingFileSet::BufferArrived(uint32_t frames) {
  if (framesWritten_ == 0 && frames > 0) StartClock(frames);
}

void RecordingFileSet::BufferCounted(uint32_t frames) {
  Report.Advance(frames);
  framesWritten_ += frames;
}

void RecordingFileSet::AppendPiece(const ChannelBlocks& buffer) {
  const uint32_t bytes = buffer.Bytes();
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    const ChannelSettings& c = channels_[slot];
    if (!IsSet(c.bIsEnabled) || !IsSet(c.bIsRecording) || !WaveFiles[slot]) continue;
    const int16_t* block = buffer.blocks[slot];
    if (!block) continue;
    if (WaveFiles[slot]->Append(block, bytes) == 1) {
      Report.Written(slot, FieldText(WaveFiles[slot]->FinalFileName));
      continue;
    }
    RecoverBlock(slot, block, bytes);
  }
  nextFrame_ += buffer.frames;
}

void RecordingFileSet::RecoverBlock(int32_t slot, const int16_t* block, uint32_t bytes) {
  const WaveError reason = WaveFiles[slot]->FailureReason;
  // A refused append (size limit, full disk) must not silently drop the rest
  // of the run: the channel goes on in a new file, time stamps or not.
  RollOver(slot);
  WaveIO& wave = *WaveFiles[slot];
  if (wave.Failed == 0 && wave.Append(block, bytes) == 1) {
    Report.Written(slot, FieldText(wave.FinalFileName));
    return;
  }
  Report.Lost(slot, FieldText(channels_[slot].szLabel), RecordingFormat.Frames(bytes), reason);
}

void RecordingFileSet::Finalise(int32_t slot, bool save) {
  WaveIO& wave = *WaveFiles[slot];
  if (wave.GetLength() > 0) {
    char status[64];
    std::snprintf(status, sizeof status, " Saving Wave file for channel %d...", slot);
    setStatus_(status);
    if (IsSet(settings_.bStoreCalibrationDataInWavefile)) wave.SetCalibration(calibrationRecords_[slot]);
    const uint32_t frames = wave.GetLength();
    // Close empties the object, name and all.
    std::string name(FieldText(wave.FinalFileName));
    // A file that appeared under the name during the run (another recorder's)
    // is not this run's to replace.
    if (!mayReplace_[slot] && platform::FileExists(name)) {
      const std::string wanted = name;
      name = FreeNameLike(wanted);
      wave.SetFileName(name);
      Report.Renamed(wanted, name);
    }
    wave.ReplaceFinalFile = mayReplace_[slot] ? 1 : 0;
    std::string working(FieldText(wave.WorkingFileName));
    if ((save ? wave.Save() : wave.Close()) == 1) {
      finished_.push_back({std::move(name), frames});
    } else {
      Report.NotSaved(std::move(name), std::move(working));
    }
  } else {
    wave.DeleteWorkingFile = 1;
  }
  FinishedWith(slot, wave);
  WaveFiles[slot].reset();
}

void RecordingFileSet::RollOver(int32_t slot) {
  Finalise(slot, false);
  char stamp[80];
  MakeTimeStamp(stamp);
  const std::string name = UniqueNameFor(slot, stamp);
  mayReplace_[slot] = false;
  quietWaveErrors_ = true;
  // The block that did not fit is the new file's first: no sample lost or doubled.
  WaveFiles[slot] = MakeWave(slot, nextFrame_);
  quietWaveErrors_ = false;
  if (WaveFiles[slot]->Failed == 0) {
    WaveFiles[slot]->SetFormat(RecordingFormat);
    WaveFiles[slot]->SetFileName(name.c_str());
  }
  UpdateJournal();
  setStatus_(" Running...");
}

void RecordingFileSet::SplitAfterLoss() {
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    if (WaveFiles[slot] && WaveFiles[slot]->GetLength() > 0) RollOver(slot);
  }
}

void RecordingFileSet::SaveWaveFiles() {
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    if (WaveFiles[slot]) Finalise(slot, true);
  }
  sync_.Stop();
  journal_.End();
}

}  // namespace varnel
