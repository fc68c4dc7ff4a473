#pragma once
// The message boxes in which a Run tells the user what the layers below it
// reported, with the program's texts, captions and styles.
//
// Main thread only.

#include "acquisition/DeviceError.h"
#include "calibration/CalibrationFile.h"
#include "records/ChannelSettings.h"
#include "ui/UiServices.h"
#include "wave/WaveError.h"

namespace varnel {

// The caption of the recorder's own boxes.
inline constexpr const char* kRecorderCaption = "Tessaline";

// The failures a user is told of as they happen; the reasons an append fails
// are the run report's, and show no box.
void ShowWaveError(ui::UiServices& ui, WaveError error);
void ShowDeviceProblem(ui::UiServices& ui, const DeviceProblem& problem);
void ShowLabelProblem(ui::UiServices& ui, const LabelProblem& problem);
void ShowCalibrationProblem(ui::UiServices& ui, const CalibrationProblem& problem);

}  // namespace varnel
