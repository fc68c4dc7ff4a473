#pragma once
// "Calibration Options": chooses the calibration file of one channel by
// typing a path, picking an existing .cal file or creating a new one. The
// file is neither checked nor read here; the next Run reads it.
//
// Rectangles are in dialog units. Called on the main thread only.

#include <cstdint>
#include <string>

#include "records/ChannelSettings.h"
#include "ui/Dialog.h"
#include "ui/UiServices.h"

namespace varnel {

class CalibrationOptionsDialog : public ui::Dialog {
 public:
  static constexpr int32_t kIdSelectExisting = 1105;
  static constexpr int32_t kIdFileName = 1106;
  static constexpr int32_t kIdCreateNew = 1107;
  static constexpr int32_t kIdHint = -1;  // a static without an id of its own

  // workingCopy is shown when the dialog opens and receives the edit's text
  // on OK; Cancel leaves it alone. programBaseName captions the messages of
  // the Create dialog.
  CalibrationOptionsDialog(std::string calPath, char (&workingCopy)[260], std::string programBaseName,
                           ui::UiServices& ui);

  bool OnInitDialog() override;
  void OnCommand(int32_t id) override;
  void OnOK() override;

 private:
  void SelectExisting();
  void CreateNew();

  std::string calPath_;
  char (&workingCopy_)[260];
  std::string programBaseName_;
  ui::UiServices& ui_;
};

// The "C" button of a channel row without the run check, which belongs to the
// caller: runs the dialog on a copy of the channel's file name and takes the
// copy over on OK. True on OK.
bool EditChannelCalibrationFile(ChannelSettings& channel, const std::string& calPath,
                                const std::string& programBaseName, ui::UiServices& ui);

}  // namespace varnel
