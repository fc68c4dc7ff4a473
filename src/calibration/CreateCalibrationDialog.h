#pragma once
// "Create Calibration File": builds a calibration from the kind of signal, the
// transducer's sensitivity and an optional conversion of acceleration, asks
// for a file name and writes the .cal file there. Opened from the Calibration
// Options dialog only.
//
// Rectangles are in dialog units. Called on the main thread only.

#include <cstdint>
#include <string>

#include "ui/Dialog.h"
#include "ui/UiServices.h"
#include "wave/CalibrationRecord.h"

namespace varnel {

class CreateCalibrationDialog : public ui::Dialog {
 public:
  static constexpr int32_t kIdUnits = 1107;
  static constexpr int32_t kIdConversion = 1108;
  static constexpr int32_t kIdSensitivity = 1109;
  static constexpr int32_t kIdSensitivityLabel = 1110;
  static constexpr int32_t kIdConversionLabel = 1111;
  static constexpr int32_t kIdUnitsLabel = -1;  // a static without an id of its own

  // savedPath receives the full path of the written file, and only then.
  // programBaseName is the caption of the "too small" messages.
  CreateCalibrationDialog(std::string calPath, char (&savedPath)[260], std::string programBaseName, ui::UiServices& ui);

  bool OnInitDialog() override;
  void OnSelectionChange(int32_t id) override;
  void OnEditChange(int32_t id) override;
  void OnOK() override;

  // Fills the Left half of the record from the controls; false after a
  // message, or silently when no known unit is selected.
  bool BuildCalibration();
  const CalibrationRecord& Record() const { return record_; }

 private:
  std::string calPath_;
  char (&savedPath_)[260];
  std::string programBaseName_;
  ui::UiServices& ui_;
  CalibrationRecord record_ = ZeroCalibrationRecord();
};

}  // namespace varnel
