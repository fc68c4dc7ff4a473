#pragma once
// The main window as a logic object: the channel grid, the device list, the
// window's dialogs and texts, over the recording engine it owns. It reacts to
// the user's events and the messages of the loop one at a time; what records
// is the engine, and the window shows what the engine tells it.
//
// Main thread only; the board's thread only posts messages.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "analyzer/AnalyzerTransport.h"
#include "app/MainWindowLayout.h"
#include "app/RecorderApp.h"
#include "app/WindowPosition.h"
#include "boards/BoardApi.h"
#include "engine/RecordingEngine.h"
#include "platform/MessageLoop.h"
#include "records/ChannelSettings.h"
#include "ui/Canvas.h"
#include "ui/Dialog.h"
#include "ui/UiServices.h"

namespace varnel {

struct RecorderServices {
  ui::UiServices* ui = nullptr;
  platform::MessageLoop* loop = nullptr;
  std::unique_ptr<BoardApi> board;
  std::unique_ptr<AnalyzerTransport> transport;
  WindowHost* windowHost = nullptr;  // none: the placement is neither restored nor saved
  const RecorderApp* app = nullptr;
  std::string programBaseName = "varnel";  // caption of some calibration messages
  bool offerRecovery = true;               // ask at start about interrupted recordings in the wave folder
};

class RecorderDialog : public ui::Dialog, public platform::MessageHandler, private RecordingObserver {
 public:
  explicit RecorderDialog(RecorderServices services);
  ~RecorderDialog() override;

  // ui::Dialog
  bool OnInitDialog() override;
  void OnCommand(int32_t id) override;
  void OnSelectionChange(int32_t id) override;
  void OnOK() override {}    // Enter presses the default button (Run) instead
  void OnCancel() override;  // Escape
  // platform::MessageHandler: device changes and close; the rest is the engine's.
  intptr_t HandleMessage(const platform::Message& message) override;

  // The window's close command.
  void OnClose();

  // Grid synchronisation.
  void QueryDeviceCapabilities();
  void UpdateControlsFromSettings();
  void ReadSettingsFromControls();
  void UpdateGridEnableState();
  void LayoutChannelGrid();

  // Run/Stop: the window's records go to the engine, which records.
  void OnRun();
  int ValidateSamplingRate() { return Engine.ValidateSamplingRate(); }
  void StopRecording() { Engine.StopRecording(); }
  intptr_t OnBufferDone() { return Engine.OnBufferDone(); }
  intptr_t OnBufferOverrun() { return Engine.OnBufferOverrun(); }
  void OnRefreshTimer() { Engine.OnRefreshTimer(); }

  // Recording file set.
  int CreateWaveFiles() { return Engine.CreateWaveFiles(); }
  void WriteChannelData() { Engine.WriteChannelData(); }
  void SaveWaveFiles() { Engine.SaveWaveFiles(); }
  bool LoadChannelCalibrations() { return Engine.LoadChannelCalibrations(); }

  // Device list.
  void OnDeviceSelected();
  intptr_t OnDeviceChange();
  // The device of the list's selection is the chosen one (its name is kept).
  void NoteChosenDevice() { Engine.NoteChosenDevice(); }
  // False, after saying so, when the selection's device is not the one chosen.
  bool CheckChosenDevice() { return Engine.CheckChosenDevice(); }

  // Painting.
  void DrawLevelMeters(ui::Canvas& canvas);
  // Where the window icon goes in a minimised window's client area.
  static ui::Rect MinimisedIconRect(int32_t clientWidth, int32_t clientHeight, int32_t iconWidth, int32_t iconHeight);
  // Window rectangle in screen pixels (client area), as LayoutChannelGrid fits it.
  const ui::Rect& WindowRect() const { return windowRect_; }
  // The view's window, for the placement saved in the settings file.
  void SetWindowHost(WindowHost* host) { services_.windowHost = host; }

  void SetStatus(const std::string& text) { SetText(kIdStatus, text); }

  RecordingEngine Engine;
  // The engine's records and run flag, as the grid shows and edits them.
  ChannelSettingsArray& Channels = Engine.Channels;
  RecorderSettings& Settings = Engine.Settings;
  const int32_t& bIsRunning = Engine.bIsRunning;

  // Told after every buffer so a view can repaint the meters.
  std::function<void()> onMetersChanged;
  // Told when LayoutChannelGrid has fitted the window (WindowRect).
  std::function<void()> onWindowFitted;

 private:
  // RecordingObserver: the window shows what the engine does.
  void StatusChanged(const std::string& text) override { SetStatus(text); }
  void RunStarted() override { LockForRun(true); }
  void AcquisitionStopped() override { UpdateGridEnableState(); }
  void RunEnded() override;
  void LevelsChanged() override;
  void SamplingRateChanged(int32_t rate) override { SetText(kIdSamplingRate, std::to_string(rate)); }

  void BuildControls();
  void FillDeviceList();
  int32_t SelectedDevice();
  void OnGridCommand(const GridHit& hit);
  void EditLabel(int32_t row);
  void EditCalibration(int32_t row);
  void CycleGain(int32_t row);
  void OpenOptions();
  void LockForRun(bool running);

  RecorderServices services_;
  ui::UiServices& ui_;
  platform::MessageLoop& loop_;
  ui::Rect windowRect_;
  bool closed_ = false;
};

}  // namespace varnel
