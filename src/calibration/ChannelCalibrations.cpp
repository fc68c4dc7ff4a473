#include "calibration/ChannelCalibrations.h"

#include "platform/FixedString.h"

namespace varnel {

bool LoadChannelCalibrations(const ChannelSettingsArray& channels,
                             std::array<CalibrationRecord, kChannelCount>& records, CalibrationProblem* problem) {
  for (int32_t channel = 0; channel < kChannelCount; ++channel) {
    const ChannelSettings& settings = channels[static_cast<std::size_t>(channel)];
    if (!IsSet(settings.bIsEnabled)) continue;
    CalibrationRecord& record = records[static_cast<std::size_t>(channel)];
    record = ZeroCalibrationRecord();
    // The settings field is a fixed array: give the reader a terminated copy.
    char path[sizeof settings.szCalFilename];
    CopyCut(path, FieldText(settings.szCalFilename));
    if (!CalibrationFile::Read(path, &record, channel, settings.Gain, problem)) return false;
    CopyCut(record.Left.ChannelName, FieldText(settings.szLabel));
  }
  return true;
}

}  // namespace varnel
