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

AnalyzerLinkContext MakeLinkContext(RecorderDialog& d, const RecorderServices& s) {
  AnalyzerLinkContext c;
  c.settings = &d.Settings;
  c.channels = &d.Channels;
  c.calibrationRecords = &d.CalibrationRecords;
  c.monitor = &d.Device;
  c.loop = s.loop;
  c.ui = s.ui;
  c.bIsRunning = &d.bIsRunning;
  if (s.app) c.analyzerSettingsPath = FieldText(s.app->AnalyzerSettingsFilePath);
  return c;
}

}  // namespace

RecorderDialog::RecorderDialog(RecorderServices services)
    : Dialog("Tessaline", kMainWidthDlu, kMainHeightDlu),
      Device(*services.board, *services.loop),
      Files(*services.ui, Settings, Channels, CalibrationRecords, [this](const std::string& s) { SetStatus(s); }),
      Link(MakeLinkContext(*this, services), std::move(services.transport)),
      services_(std::move(services)),
      ui_(*services_.ui),
      loop_(*services_.loop) {
  windowRect_ = {0, 0, ui::DluToPixelsX(kMainWidthDlu), ui::DluToPixelsY(kMainHeightDlu)};
  BuildControls();
  // What the board completed before it stopped is written like every other buffer.
  Device.onFinalBuffer = [this] { WriteChannelData(); };
  Files.Report.onNotice = [this](const std::string& text) { QueueRunNotice(text); };
}

RecorderDialog::~RecorderDialog() {
  loop_.KillTimer(platform::kRefreshTimerId);
  Device.Close();
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
  Device.EnumerateBoards();
  ResetList(kIdDeviceList);
  const int32_t count = Device.GetBoardCount();
  for (int32_t i = 0; i < count; ++i) {
    char name[80] = {};
    Device.GetBoardName(i, name);
    AddListItem(kIdDeviceList, std::string(FieldText(name)), i);
  }
  if (Settings.DeviceIndex >= count) Settings.DeviceIndex = count - 1;
  if (Settings.DeviceIndex < 0) Settings.DeviceIndex = count > 0 ? 0 : -1;
  SelectListItem(kIdDeviceList, Settings.DeviceIndex);
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
  RecordingOptionsDialog dialog(ui_, Settings);
  ui_.RunModal(dialog);
}

void RecorderDialog::OnSelectionChange(int32_t id) {
  if (id == kIdDeviceList && !bIsRunning) OnDeviceSelected();
}

void RecorderDialog::OnDeviceSelected() {
  int32_t selection = ListSelection(kIdDeviceList);
  Settings.DeviceIndex = selection < 0 ? -1 : static_cast<int32_t>(ListItemData(kIdDeviceList, selection));
  NoteChosenDevice();
  QueryDeviceCapabilities();
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
  if (!settingsPath.empty()) {
    bool saved = SaveSettings(settingsPath, Channels, Settings);
    if (saved && services_.windowHost) saved = SaveWindowPosition(settingsPath, *services_.windowHost);
    // Edits that are not kept must not be lost without a word.
    if (!saved) {
      platform::Trace("Settings not saved: %s\n", settingsPath.c_str());
      ui_.MessageBox("The settings could not be saved in " + settingsPath +
                         ".  Please check that the file and its folder are writable.",
                     "Tessaline", ui::mb::kOk | ui::mb::kIconWarning);
    }
  }
  closed_ = true;
  EndDialog(ui::DialogResult::OK);
}

intptr_t RecorderDialog::HandleMessage(const platform::Message& message) {
  switch (message.id) {
    case platform::kBufferDoneMessage:
      return OnBufferDone();
    case platform::kBufferOverrunMessage:
      return OnBufferOverrun();
    case platform::WM_TIMER:
      OnRefreshTimer();
      return 0;
    case platform::WM_POKE_CALIBRATION:
      return Link.OnPokeCalibration();
    case platform::kRunNoticeMessage:
      ShowRunNotices();
      return 1;
    case platform::WM_DEVICECHANGE:
      return OnDeviceChange();
    case platform::WM_CLOSE:
      OnClose();
      return 0;
    default:
      return 0;
  }
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
