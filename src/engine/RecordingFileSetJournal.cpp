// The recording file set's journal and periodic sync: every open working file
// is described in the journal and synced to the disk while the run records.

#include "engine/FileFormatSetting.h"
#include "engine/RecordingFileSet.h"
#include "platform/FixedString.h"
#include "platform/Trace.h"

namespace varnel {

void RecordingFileSet::CalibrationsLoaded() {
  calibrationsKnown_ = true;
  UpdateJournal();
}

void RecordingFileSet::UpdateJournal() {
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    const WaveIO* wave = WaveFiles[slot].get();
    if (!wave || wave->Failed == 1 || !wave->IsOpen()) continue;
    JournalEntry e;
    e.channel = slot;
    e.workingFile = std::string(FieldText(wave->WorkingFileName));
    e.finalFile = std::string(FieldText(wave->FinalFileName));
    e.label = std::string(FieldText(channels_[slot].szLabel));
    e.format = RecordingFormat;
    e.fileFormat = WaveFileFormatOf(settings_.FileFormat);
    e.storeCalibration = IsSet(settings_.bStoreCalibrationDataInWavefile);
    if (calibrationsKnown_) e.calibration = calibrationRecords_[slot];
    journal_.Track(slot, std::move(e));
    if (periodicSync_) sync_.Watch(slot, std::string(FieldText(wave->WorkingFileName)));
  }
  if (!journal_.Commit()) platform::Trace("Cannot write the recording journal %s\n", journal_.Path().c_str());
}

void RecordingFileSet::FinishedWith(int32_t slot, const WaveIO& wave) {
  sync_.Forget(slot);
  // A working file that finalising left behind stays in the journal, so that
  // the next start recovers it; one being discarded holds no samples.
  const bool leftBehind = wave.DeleteWorkingFile != 1 && wave.WorkingFileName[0] != '\0' &&
                          FieldText(wave.WorkingFileName) != FieldText(wave.FinalFileName);
  journal_.Finalised(slot, !leftBehind);
}

}  // namespace varnel
