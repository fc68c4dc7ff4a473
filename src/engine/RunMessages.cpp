#include "engine/RunMessages.h"

namespace varnel {
namespace {

using ui::mb::kIconError;
using ui::mb::kIconWarning;
using ui::mb::kOk;

struct BoxStyle {
  const char* caption;
  uint32_t style;
};

// The device's own boxes and the wave writer's have captions of their own.
BoxStyle DeviceBox(DeviceError error) {
  switch (error) {
    case DeviceError::kOpenFailed:
    case DeviceError::kStartFailed:
      return {"", kOk | kIconWarning};
    default:
      return {kRecorderCaption, kOk | kIconError};
  }
}

BoxStyle WaveBox(WaveError error) {
  switch (error) {
    case WaveError::kFailureClosingWaveFile:
    case WaveError::kFailureDeletingTempFile:
      return {"WaveIO", kOk | kIconError};
    default:
      return {"", kOk};
  }
}

bool IsToldAtOnce(WaveError error) {
  switch (error) {
    case WaveError::kFileOpenFail:
    case WaveError::kInvalidWaveFile:
    case WaveError::kFailureWritingWaveFile:
    case WaveError::kFailureClosingWaveFile:
    case WaveError::kFailureDeletingTempFile:
      return true;
    default:
      return false;
  }
}

}  // namespace

void ShowWaveError(ui::UiServices& ui, WaveError error) {
  if (!IsToldAtOnce(error)) return;
  const BoxStyle box = WaveBox(error);
  ui.MessageBox(WaveErrorText(error), box.caption, box.style);
}

void ShowDeviceProblem(ui::UiServices& ui, const DeviceProblem& problem) {
  if (!problem) return;
  const BoxStyle box = DeviceBox(problem.error);
  ui.MessageBox(problem.Text(), box.caption, box.style);
}

void ShowLabelProblem(ui::UiServices& ui, const LabelProblem& problem) {
  if (problem) ui.MessageBox(problem.Text(), kRecorderCaption, kOk | kIconError);
}

void ShowCalibrationProblem(ui::UiServices& ui, const CalibrationProblem& problem) {
  if (problem) ui.MessageBox(problem.Text(), kRecorderCaption, kOk | kIconWarning);
}

}  // namespace varnel
