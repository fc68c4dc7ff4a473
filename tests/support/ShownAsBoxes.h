#pragma once
// What the layers below the application report as values, shown in the boxes
// the recorder shows for them, so that a test can script and check the boxes.

#include <array>

#include "calibration/CalibrationFile.h"
#include "calibration/ChannelCalibrations.h"
#include "engine/RunMessages.h"
#include "wave/WaveError.h"

namespace varnel::test {

inline WaveErrorSink BoxesFor(ui::UiServices& ui) {
  return [&ui](WaveError error) { ShowWaveError(ui, error); };
}

inline bool ReadCalibrationShowingProblem(const char* path, CalibrationRecord* record, int32_t channel, int32_t gain,
                                          ui::UiServices& ui) {
  CalibrationProblem problem;
  const bool read = CalibrationFile::Read(path, record, channel, gain, &problem);
  ShowCalibrationProblem(ui, problem);
  return read;
}

inline bool LoadCalibrationsShowingProblem(const ChannelSettingsArray& channels,
                                           std::array<CalibrationRecord, kChannelCount>& records, ui::UiServices& ui) {
  CalibrationProblem problem;
  const bool loaded = LoadChannelCalibrations(channels, records, &problem);
  ShowCalibrationProblem(ui, problem);
  return loaded;
}

}  // namespace varnel::test
