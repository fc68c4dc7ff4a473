#include "app/RecordingOptionsDialog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "engine/FileFormatSetting.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "ui/DialogUnits.h"

namespace varnel {

using ui::ControlKind;
using ui::DluRect;

namespace {
constexpr const char* kCaption = "Tessaline";
constexpr const char* kDeleteFailed =
    "Failure deleting file!  Make sure that the file exists and that you have write privileges.";
constexpr int32_t kIdStatic = -1;  // captions and frames have no id of their own
}  // namespace

RecordingOptionsDialog::RecordingOptionsDialog(ui::UiServices& ui, RecorderSettings& settings,
                                               const ChannelSettingsArray& channels)
    : Dialog("Recording Options", 465, 234), ui_(ui), settings_(settings), channels_(channels) {
  AddControl(kIdStatic - 0, ControlKind::GroupBox, "File Options", DluRect(7, 7, 212, 136));
  AddControl(kIdStatic - 1, ControlKind::StaticText, "Wave File Path:", DluRect(14, 20, 100, 8));
  AddControl(kIdWavePath, ControlKind::Edit, "", DluRect(14, 30, 198, 12));
  AddControl(kIdStatic - 2, ControlKind::StaticText, "Cal File Path:", DluRect(14, 46, 100, 8));
  AddControl(kIdCalPath, ControlKind::Edit, "", DluRect(14, 56, 198, 12));
  AddControl(kIdStoreCalibration, ControlKind::CheckBox, "Include calibration data in wave file",
             DluRect(14, 73, 198, 10));
  AddControl(kIdAppendTimeStamp, ControlKind::CheckBox, "Append timestamp to wave filename", DluRect(14, 85, 198, 10));
  AddControl(kIdOverwrite, ControlKind::CheckBox, "Overwrite existing wave file if same name",
             DluRect(14, 97, 198, 10));
  AddControl(kIdStatic - 5, ControlKind::StaticText, "File format:", DluRect(14, 113, 50, 8));
  AddControl(kIdFileFormat, ControlKind::ComboBox, "", DluRect(66, 111, 146, 12));
  AddControl(kIdDeleteWaveFiles, ControlKind::PushButton, "Delete Wave Files...", DluRect(14, 125, 80, 14));
  AddControl(kIdStatic - 3, ControlKind::GroupBox, "Triggering Options", DluRect(7, 148, 212, 56));
  AddControl(kIdTriggerEnable, ControlKind::CheckBox, "Enable Triggering (TTL)", DluRect(14, 161, 198, 10));
  AddControl(kIdStatic - 4, ControlKind::StaticText, "Post trigger run time (seconds):", DluRect(14, 179, 120, 8));
  AddControl(kIdPostTriggerTime, ControlKind::Edit, "", DluRect(138, 177, 50, 12));
  AddLevelTriggerControls();
  AddTimingControls();
  AddControl(ui::kIdOk, ControlKind::DefaultPushButton, "OK", DluRect(354, 213, 50, 14));
  AddControl(ui::kIdCancel, ControlKind::PushButton, "Cancel", DluRect(408, 213, 50, 14));
}

bool RecordingOptionsDialog::OnInitDialog() {
  SetText(kIdWavePath, FieldText(settings_.szWavePath));
  SetText(kIdCalPath, FieldText(settings_.szCalPath));
  SetTicked(kIdStoreCalibration, IsSet(settings_.bStoreCalibrationDataInWavefile));
  SetTicked(kIdAppendTimeStamp, IsSet(settings_.bAppendTimeStamp));
  SetTicked(kIdOverwrite, IsSet(settings_.bOverwriteWaveFiles));
  SetTicked(kIdTriggerEnable, IsSet(settings_.TriggerEnable));
  char time[64];
  std::snprintf(time, sizeof time, "%6.3f", static_cast<double>(settings_.PostTriggerRunTime));
  SetText(kIdPostTriggerTime, time);
  ResetList(kIdFileFormat);
  for (WaveFileFormat f : {WaveFileFormat::kWave, WaveFileFormat::kBroadcast})
    AddListItem(kIdFileFormat, std::string(WaveFileFormatName(f)), FileFormatSettingOf(f));
  SelectListItem(kIdFileFormat, WaveFileFormatOf(settings_.FileFormat) == WaveFileFormat::kBroadcast ? 1 : 0);
  InitLevelTrigger();
  InitTiming();
  EnableTriggerControls();
  return true;
}

void RecordingOptionsDialog::OnCommand(int32_t id) {
  if (id == kIdTriggerEnable || id == kIdLevelTriggerEnable) EnableTriggerControls();
  if (id == kIdDeleteWaveFiles) DeleteWaveFiles();
}

void RecordingOptionsDialog::OnSelectionChange(int32_t id) {
  if (id == kIdTriggerChannel) ShowTriggerUnit();
}

void RecordingOptionsDialog::OnOK() {
  double value = std::strtod(GetText(kIdPostTriggerTime, 79).c_str(), nullptr);
  if (!(value >= 0.1)) {
    ui_.MessageBox("The post trigger run time must be at least 0.100 sec.", kCaption, ui::mb::kOk | ui::mb::kIconError);
    return;
  }
  // Every field is read into a copy first: a refusal leaves the settings as they were.
  RecorderSettings next = settings_;
  // Narrowing a double beyond float's range is undefined; such a time means "run on".
  next.PostTriggerRunTime = static_cast<float>(std::min<double>(value, std::numeric_limits<float>::max()));
  next.TriggerEnable = IsTicked(kIdTriggerEnable) ? 1 : 0;
  if (!ReadLevelTrigger(next) || !ReadTiming(next)) return;
  CopyCut(next.szWavePath, GetText(kIdWavePath, 259));
  CopyCut(next.szCalPath, GetText(kIdCalPath, 259));
  next.bStoreCalibrationDataInWavefile = IsTicked(kIdStoreCalibration) ? 1 : 0;
  next.bAppendTimeStamp = IsTicked(kIdAppendTimeStamp) ? 1 : 0;
  next.bOverwriteWaveFiles = IsTicked(kIdOverwrite) ? 1 : 0;
  const int32_t format = ListSelection(kIdFileFormat);
  if (format >= 0) next.FileFormat = static_cast<int32_t>(ListItemData(kIdFileFormat, format));
  settings_ = next;
  EndDialog(ui::DialogResult::OK);
}

bool RecordingOptionsDialog::Refuse(const std::string& text) {
  ui_.MessageBox(text, kCaption, ui::mb::kOk | ui::mb::kIconError);
  return false;
}

void RecordingOptionsDialog::DeleteWaveFiles() {
  ui::FileDialogRequest request;
  request.title = "Select Files to Delete";
  request.filter = "Wave Files (*.wav)|*.wav||";
  request.initialFolder = GetText(kIdWavePath, 259);
  request.options = ui::fd::kAllowMultiSelect | ui::fd::kFileMustExist | ui::fd::kHideReadOnly;
  auto chosen = ui_.OpenFileDialog(request);
  if (!chosen || chosen->empty()) return;
  if (chosen->size() == 1) {
    DeleteOne(chosen->front());
  } else {
    DeleteSeveral(*chosen);
  }
}

void RecordingOptionsDialog::DeleteOne(const std::string& path) {
  std::string question = "Are you sure you want to delete " + path + "?";
  if (ui_.MessageBox(question, kCaption, ui::mb::kYesNo | ui::mb::kIconQuestion) != ui::DialogResult::Yes) return;
  TryDelete(path);
}

void RecordingOptionsDialog::DeleteSeveral(const std::vector<std::string>& paths) {
  if (ui_.MessageBox("Multiple file deletion - are you sure you want to delete these files?", kCaption,
                     ui::mb::kYesNo | ui::mb::kIconQuestion) != ui::DialogResult::Yes)
    return;
  for (const std::string& path : paths) {
    if (!TryDelete(path)) return;
  }
}

bool RecordingOptionsDialog::TryDelete(const std::string& path) {
  if (platform::DeleteFile(path)) return true;
  ui_.MessageBox(kDeleteFailed, kCaption, ui::mb::kOk | ui::mb::kIconError);
  return false;
}

}  // namespace varnel
