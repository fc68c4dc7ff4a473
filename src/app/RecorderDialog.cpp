#include "app/RecorderDialog.h"

#include <cstdio>
#include <cstdlib>

#include "app/LabelDialog.h"
#include "app/LevelMeterPainting.h"
#include "app/RecordingOptionsDialog.h"
#include "app/SettingsFile.h"
#include "calibration/CalibrationOptionsDialog.h"
#include "calibration/ChannelCalibrations.h"
#include "platform/FixedString.h"
#include "platform/Messages.h"
#include "platform/Profile.h"
#include "platform/Trace.h"
#include "recovery/RecoveryOffer.h"
#include "ui/DialogUnits.h"

namespace varnel {
namespace {

using ui::ControlKind;
using ui::DluRect;

EngineServices EngineServicesOf(RecorderServices& s) {
  EngineServices e;
  e.ui = s.ui;
  e.loop = s.loop;
  e.board = std::move(s.board);
  e.transport = std::move(s.transport);
  if (s.app) e.analyzerSettingsPath = FieldText(s.app->AnalyzerSettingsFilePath);
  return e;
}

}  // namespace

RecorderDialog::RecorderDialog(RecorderServices services)
    : Dialog("Tessaline", kMainWidthDlu, kMainHeightDlu),
      Engine(EngineServicesOf(services)),
      services_(std::move(services)),
      ui_(*services_.ui),
      loop_(*services_.loop) {
  windowRect_ = {0, 0, ui::DluToPixelsX(kMainWidthDlu), ui::DluToPixelsY(kMainHeightDlu)};
  BuildControls();
  Engine.SetObserver(this);
}

RecorderDialog::~RecorderDialog() {
  Engine.SetObserver(nullptr);
}

void RecorderDialog::BuildControls() {
  AddControl(-1, ControlKind::GroupBox, "", DluRect(4, 0, 197, 47));
  AddControl(kIdRun, ControlKind::DefaultPushButton, "&Run", DluRect(12, 10, 58, 14));
  AddControl(kIdOptions, ControlKind::PushButton, "&Options", DluRect(12, 27, 58, 14));
  AddControl(-2, ControlKind::StaticText, "Device:", DluRect(74, 13, 31, 8));
  AddControl(kIdDeviceList, ControlKind::ComboBox, "", DluRect(105, 11, 75, 12)).editable = true;
  AddControl(-3, ControlKind::StaticText, "Sampling Rate:", DluRect(74, 30, 55, 8));
  AddControl(kIdSamplingRate, ControlKind::Edit, "", DluRect(129, 28, 51, 12));
  AddControl(kIdGridFrame, ControlKind::GroupBox, "", DluRect(4, 42, 197, 199));
  struct Head {
    const char* text;
    int32_t x;
    int32_t width;
  };
  const std::array<Head, 9> heads = {{{"CH", 12, 11},
                                      {"Label", 23, 43},
                                      {"Enable", 65, 24},
                                      {"Rec", 90, 11},
                                      {"L", 103, 10},
                                      {"R", 116, 10},
                                      {"Cal", 126, 14},
                                      {"Gain", 140, 18},
                                      {"Level", 168, 30}}};
  int32_t headId = -10;
  for (const Head& h : heads) AddControl(headId--, ControlKind::StaticText, h.text, DluRect(h.x, 54, h.width, 8));
  for (int32_t row = 0; row < kChannelCount; ++row) {
    const GridRow& r = kGridRows[row];
    AddControl(r.number, ControlKind::StaticText, std::to_string(row), GridRowRect(GridColumn::Number, row));
    AddControl(r.label, ControlKind::PushButton, "12345678", GridRowRect(GridColumn::Label, row));
    AddControl(r.enable, ControlKind::CheckBox, "", GridRowRect(GridColumn::Enable, row));
    AddControl(r.rec, ControlKind::CheckBox, "", GridRowRect(GridColumn::Rec, row));
    AddControl(r.left, ControlKind::RadioButton, "", GridRowRect(GridColumn::Left, row));
    AddControl(r.right, ControlKind::RadioButton, "", GridRowRect(GridColumn::Right, row));
    AddControl(r.cal, ControlKind::PushButton, "C", GridRowRect(GridColumn::Cal, row));
    AddControl(r.gain, ControlKind::PushButton, "1", GridRowRect(GridColumn::Gain, row));
    SetRadioGroup(r.left, kLeftGroup);
    SetRadioGroup(r.right, kRightGroup);
  }
  AddControl(kIdStatus, ControlKind::StaticText, "Status messages go here", DluRect(4, 230, 197, 10)).sunken = true;
}

bool RecorderDialog::OnInitDialog() {
  const std::string settingsPath = services_.app ? std::string(FieldText(services_.app->SettingsFilePath)) : "";
  if (!settingsPath.empty()) LoadSettings(settingsPath, Channels, Settings);
  if (!settingsPath.empty() && services_.windowHost) RestoreWindowPosition(settingsPath, *services_.windowHost);
  SetTitle(std::string(FieldText(Settings.Caption)));
  SetText(kIdRun, "&Start");
  Enable(kIdOptions, true);
  Enable(kIdDeviceList, true);
  Enable(kIdSamplingRate, true);
  UpdateControlsFromSettings();
  UpdateGridEnableState();
  FillDeviceList();
  SetText(kIdSamplingRate, std::to_string(Settings.SamplingRate));
  SetStatus(" Stopped");
  QueryDeviceCapabilities();
  LayoutChannelGrid();
  if (services_.offerRecovery) OfferRecovery(ui_, std::string(FieldText(Settings.szWavePath)));
  return true;
}

void RecorderDialog::FillDeviceList() {
  const int32_t count = Engine.EnumerateDevices();
  ResetList(kIdDeviceList);
  for (int32_t i = 0; i < count; ++i) {
    char name[kBoardNameSize] = {};
    Engine.Device.GetBoardName(i, name);
    AddListItem(kIdDeviceList, std::string(FieldText(name)), i);
  }
  SelectListItem(kIdDeviceList, Settings.DeviceIndex);
}

int32_t RecorderDialog::SelectedDevice() {
  const int32_t selection = ListSelection(kIdDeviceList);
  return selection < 0 ? -1 : static_cast<int32_t>(ListItemData(kIdDeviceList, selection));
}

void RecorderDialog::OnCommand(int32_t id) {
  switch (id) {
    case kIdRun:
      OnRun();
      return;
    case kIdOptions:
      if (!bIsRunning) OpenOptions();
      return;
    default:
      break;
  }
  GridHit hit = FindGridControl(id);
  if (hit.row >= 0) OnGridCommand(hit);
}

void RecorderDialog::OnGridCommand(const GridHit& hit) {
  switch (hit.column) {
    case GridColumn::Label:
      if (!bIsRunning) EditLabel(hit.row);
      break;
    case GridColumn::Enable:
      if (bIsRunning) break;
      UpdateGridEnableState();
      ReadSettingsFromControls();
      if (onMetersChanged) onMetersChanged();
      break;
    case GridColumn::Rec:
      ReadSettingsFromControls();
      break;
    case GridColumn::Left:
    case GridColumn::Right:
      if (!bIsRunning) break;
      ReadSettingsFromControls();
      loop_.Post({platform::WM_POKE_CALIBRATION, 0, 0});
      break;
    case GridColumn::Cal:
      if (!bIsRunning) EditCalibration(hit.row);
      break;
    case GridColumn::Gain:
      if (!bIsRunning) CycleGain(hit.row);
      break;
    default:
      break;
  }
}

void RecorderDialog::EditLabel(int32_t row) {
  char buffer[256];
  CopyCut(buffer, FieldText(Channels[row].szLabel));
  LabelDialog dialog(ui_, row, buffer);
  if (ui_.RunModal(dialog) != ui::DialogResult::OK) return;
  CopyCut(Channels[row].szLabel, FieldText(buffer));
  UpdateControlsFromSettings();
}

void RecorderDialog::EditCalibration(int32_t row) {
  EditChannelCalibrationFile(Channels[row], std::string(FieldText(Settings.szCalPath)), services_.programBaseName,
                             ui_);
}

void RecorderDialog::CycleGain(int32_t row) {
  // A board with one gain fixes every gain at 1, whatever event arrives.
  if (Settings.NumGains == 1) return;
  Channels[row].Gain = NextGain(platform::ParseProfileInt(GetText(kGridRows[row].gain, 9), 0));
  SetText(kGridRows[row].gain, std::to_string(Channels[row].Gain));
}

void RecorderDialog::OpenOptions() {
  RecordingOptionsDialog dialog(ui_, Settings, Channels);
  ui_.RunModal(dialog);
}

void RecorderDialog::OnSelectionChange(int32_t id) {
  if (id == kIdDeviceList && !bIsRunning) OnDeviceSelected();
}

void RecorderDialog::OnDeviceSelected() {
  Engine.ChooseDevice(SelectedDevice());
  LayoutChannelGrid();
}

intptr_t RecorderDialog::OnDeviceChange() {
  FillDeviceList();
  QueryDeviceCapabilities();
  LayoutChannelGrid();
  return 1;
}

void RecorderDialog::OnCancel() {
  // Escape must not end the window behind a running recording's back, nor
  // drop the settings: it is ignored; the close command ends the window.
}

void RecorderDialog::OnClose() {
  if (closed_) return;
  StopRecording();
  const std::string settingsPath = services_.app ? std::string(FieldText(services_.app->SettingsFilePath)) : "";
  SaveSettingsAtClose(settingsPath, Channels, Settings, services_.windowHost, ui_);
  closed_ = true;
  EndDialog(ui::DialogResult::OK);
}

intptr_t RecorderDialog::HandleMessage(const platform::Message& message) {
  switch (message.id) {
    case platform::WM_DEVICECHANGE:
      return OnDeviceChange();
    case platform::WM_CLOSE:
      OnClose();
      return 0;
    default:
      return Engine.HandleMessage(message);
  }
}

void RecorderDialog::OnRun() {
  if (bIsRunning != 1) {
    ReadSettingsFromControls();
    Settings.DeviceIndex = SelectedDevice();
  }
  Engine.OnRun();
}

void RecorderDialog::LockForRun(bool running) {
  SetText(kIdRun, running ? "&Stop" : "&Start");
  Enable(kIdOptions, !running);
  Enable(kIdDeviceList, !running);
  Enable(kIdSamplingRate, !running);
  UpdateGridEnableState();
}

void RecorderDialog::RunEnded() {
  SetText(kIdRun, "&Start");
  Enable(kIdOptions, true);
  Enable(kIdDeviceList, true);
  Enable(kIdSamplingRate, true);
}

void RecorderDialog::LevelsChanged() {
  if (onMetersChanged) onMetersChanged();
}

void RecorderDialog::DrawLevelMeters(ui::Canvas& canvas) {
  varnel::DrawLevelMeters(canvas, Channels, Settings.MaxChannels,
                          [this](int32_t row) { return GetRect(kGridRows[row].gain); });
}

ui::Rect RecorderDialog::MinimisedIconRect(int32_t clientWidth, int32_t clientHeight, int32_t iconWidth,
                                           int32_t iconHeight) {
  int32_t left = (clientWidth - iconWidth + 1) / 2;
  int32_t top = (clientHeight - iconHeight + 1) / 2;
  return {left, top, left + iconWidth, top + iconHeight};
}

}  // namespace varnel
