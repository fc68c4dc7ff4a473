#pragma once
// The main window as a logic object: it owns the configuration, the board,
// the recording file set, the calibration records and the analyser link, and
// reacts to the user's events and the board's messages one at a time.
//
// Main thread only; the board's thread only posts messages.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/AcquisitionDevice.h"
#include "analyzer/AnalyzerLink.h"
#include "app/MainWindowLayout.h"
#include "app/RecorderApp.h"
#include "app/RecordingFileSet.h"
#include "app/WindowPosition.h"
#include "platform/MessageLoop.h"
#include "records/ChannelSettings.h"
#include "ui/Canvas.h"
#include "ui/Dialog.h"
#include "ui/UiServices.h"
#include "wave/CalibrationRecord.h"

namespace varnel {

struct RecorderServices {
  ui::UiServices* ui = nullptr;
  platform::MessageLoop* loop = nullptr;
  std::unique_ptr<BoardApi> board;
  std::unique_ptr<AnalyzerTransport> transport;
  WindowHost* windowHost = nullptr;  // none: the placement is neither restored nor saved
  const RecorderApp* app = nullptr;
  std::string programBaseName = "varnel";  // caption of some calibration messages
  bool offerRecovery = true;  // ask at start about interrupted recordings in the wave folder
};

class RecorderDialog : public ui::Dialog, public platform::MessageHandler {
 public:
  explicit RecorderDialog(RecorderServices services);
  ~RecorderDialog() override;

  // ui::Dialog
  bool OnInitDialog() override;
  void OnCommand(int32_t id) override;
  void OnSelectionChange(int32_t id) override;
  void OnOK() override {}      // Enter presses the default button (Run) instead
  void OnCancel() override;    // Escape
  // platform::MessageHandler: board messages, timers, device changes, close.
  intptr_t HandleMessage(const platform::Message& message) override;

  // The window's close command.
  void OnClose();

  // Grid synchronisation.
  void QueryDeviceCapabilities();
  void UpdateControlsFromSettings();
  void ReadSettingsFromControls();
  void UpdateGridEnableState();
  void LayoutChannelGrid();

  // Run/Stop.
  void OnRun();
  int ValidateSamplingRate();
  void StopRecording();
  intptr_t OnBufferDone();
  intptr_t OnBufferOverrun();
  void OnRefreshTimer();

  // Recording file set.
  int CreateWaveFiles() { return Files.CreateWaveFiles(); }
  void WriteChannelData();
  void SaveWaveFiles() { Files.SaveWaveFiles(); }
  bool LoadChannelCalibrations();

  // Device list.
  void OnDeviceSelected();
  intptr_t OnDeviceChange();
  // The device of the list's selection is the chosen one (its name is kept).
  void NoteChosenDevice();
  // False, after saying so, when the selection's device is not the one chosen.
  bool CheckChosenDevice();

  // Painting.
  void DrawLevelMeters(ui::Canvas& canvas);
  // Where the window icon goes in a minimised window's client area.
  static ui::Rect MinimisedIconRect(int32_t clientWidth, int32_t clientHeight, int32_t iconWidth, int32_t iconHeight);
  // Window rectangle in screen pixels (client area), as LayoutChannelGrid fits it.
  const ui::Rect& WindowRect() const { return windowRect_; }
  // The view's window, for the placement saved in the settings file.
  void SetWindowHost(WindowHost* host) { services_.windowHost = host; }

  void SetStatus(const std::string& text) { SetText(kIdStatus, text); }

  ChannelSettingsArray Channels = DefaultChannels();
  RecorderSettings Settings = DefaultRecorderSettings();
  int32_t bIsRunning = 0;
  std::array<CalibrationRecord, kChannelCount> CalibrationRecords{};
  AcquisitionDevice Device;
  RecordingFileSet Files;
  AnalyzerLink Link;

  // Told after every buffer so a view can repaint the meters.
  std::function<void()> onMetersChanged;
  // Told when LayoutChannelGrid has fitted the window (WindowRect).
  std::function<void()> onWindowFitted;

 private:
  void BuildControls();
  void FillDeviceList();
  void OnGridCommand(const GridHit& hit);
  void EditLabel(int32_t row);
  void EditCalibration(int32_t row);
  void CycleGain(int32_t row);
  void OpenOptions();
  bool CheckLabels();
  bool CheckGainsOffered();
  void LockForRun(bool running);
  void AbandonRun(bool saveFiles, bool disconnect);
  void QueueRunNotice(const std::string& text);
  void ShowRunNotices();

  RecorderServices services_;
  ui::UiServices& ui_;
  platform::MessageLoop& loop_;
  ui::Rect windowRect_;
  bool closed_ = false;
  std::vector<std::string> runNotices_;
};

}  // namespace varnel
