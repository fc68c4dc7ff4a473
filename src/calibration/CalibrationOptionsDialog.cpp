#include "calibration/CalibrationOptionsDialog.h"

#include <cstring>

#include "calibration/CreateCalibrationDialog.h"
#include "platform/FixedString.h"
#include "ui/DialogUnits.h"

namespace varnel {
namespace {
constexpr std::size_t kFileNameChars = 259;
}  // namespace

CalibrationOptionsDialog::CalibrationOptionsDialog(std::string calPath, char (&workingCopy)[260],
                                                   std::string programBaseName, ui::UiServices& ui)
    : Dialog("Calibration Options", 327, 85),
      calPath_(std::move(calPath)),
      workingCopy_(workingCopy),
      programBaseName_(std::move(programBaseName)),
      ui_(ui) {
  using ui::ControlKind;
  AddControl(kIdSelectExisting, ControlKind::PushButton, "&Select Existing Calibration File...",
             ui::DluToPixels({7, 33, 134, 47}));
  AddControl(kIdCreateNew, ControlKind::PushButton, "&Create New Calibration File...",
             ui::DluToPixels({139, 33, 263, 47}));
  AddControl(kIdFileName, ControlKind::Edit, "", ui::DluToPixels({7, 55, 263, 69}));
  AddControl(kIdHint, ControlKind::StaticText,
             "Select the calibration file to apply to this channel.  If no file is selected it will default to "
             "millivolts.",
             ui::DluToPixels({7, 7, 263, 27}));
  AddControl(ui::kIdOk, ControlKind::DefaultPushButton, "OK", ui::DluToPixels({270, 7, 320, 21}));
  AddControl(ui::kIdCancel, ControlKind::PushButton, "Cancel", ui::DluToPixels({270, 24, 320, 38}));
}

bool CalibrationOptionsDialog::OnInitDialog() {
  SetText(kIdFileName, FieldText(workingCopy_));
  return true;
}

void CalibrationOptionsDialog::OnCommand(int32_t id) {
  if (id == kIdSelectExisting) SelectExisting();
  if (id == kIdCreateNew) CreateNew();
}

void CalibrationOptionsDialog::SelectExisting() {
  ui::FileDialogRequest request;
  request.title = "Select Calibration File";
  request.filter = "Calibration Files (*.cal)|*.cal||";
  request.defaultExtension = "cal";
  request.initialFolder = calPath_;
  request.options = ui::fd::kFileMustExist | ui::fd::kHideReadOnly;
  const auto chosen = ui_.OpenFileDialog(request);
  if (chosen && !chosen->empty()) SetText(kIdFileName, chosen->front());
}

void CalibrationOptionsDialog::CreateNew() {
  char created[260] = {};
  CreateCalibrationDialog dialog(calPath_, created, programBaseName_, ui_);
  if (ui_.RunModal(dialog) == ui::DialogResult::OK) SetText(kIdFileName, FieldText(created));
}

void CalibrationOptionsDialog::OnOK() {
  CopyCut(workingCopy_, GetText(kIdFileName, kFileNameChars));
  EndDialog(ui::DialogResult::OK);
}

bool EditChannelCalibrationFile(ChannelSettings& channel, const std::string& calPath,
                                const std::string& programBaseName, ui::UiServices& ui) {
  char workingCopy[260];
  CopyCut(workingCopy, FieldText(channel.szCalFilename));
  CalibrationOptionsDialog dialog(calPath, workingCopy, programBaseName, ui);
  if (ui.RunModal(dialog) != ui::DialogResult::OK) return false;
  static_assert(sizeof workingCopy == sizeof channel.szCalFilename);
  std::memcpy(channel.szCalFilename, workingCopy, sizeof workingCopy);
  return true;
}

}  // namespace varnel
