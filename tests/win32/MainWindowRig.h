#pragma once
// The real main window (native, inside the build's Wine prefix) on the
// simulated board running in real time, with real files in a temporary
// folder; a script plays the user inside the window's own modal loop and a
// hook answers and records every message box.

#include <functional>
#include <memory>
#include <string>

#include "Win32TestSupport.h"
#include "app/RecorderApp.h"
#include "app/RecorderDialog.h"
#include "platform/win32/WindowMessageLoop.h"
#include "support/RecorderFolder.h"
#include "win32/MainWindow.h"
#include "win32/Win32UiServices.h"

namespace varnel::test {

class MainWindowRig : public RecorderFolder {
 public:
  // Channels 0 to 2 enabled, every channel with a calibration file; a
  // `windowPosition` is written to [Main] of the settings file.
  explicit MainWindowRig(const std::string& windowPosition = "");
  ~MainWindowRig();

  // Runs the window until it closes, the script playing the user.
  ui::DialogResult Run();

  HWND Window() const;
  HWND Control(int32_t id) const;
  // The innermost open dialog and one of its controls.
  HWND TopDialog() const;
  HWND TopControl(int32_t id) const;
  std::size_t OpenDialogs() const { return ui.OpenViews().size(); }
  std::string Text(int32_t id) const { return WindowTextOf(Control(id)); }
  bool WaitedMs(uint32_t ms);  // a step that is done once ms have passed since it was first tried

  std::string WaveFile(const std::string& name) const { return Wave(name); }

  platform::WindowMessageLoop loop;
  win32::Win32UiServices ui;
  std::unique_ptr<RecorderDialog> recorder;
  std::unique_ptr<win32::ViewMessageHandler> handler;
  std::unique_ptr<win32::MainWindow> window;
  MessageBoxHook boxes;
  Script script{20000};

 private:
  ULONGLONG waitStart_ = 0;
};

// The RIFF data size of a wave file, -1 when it is not one.
int64_t WaveDataBytes(const std::string& path);
// Last-write time in 100 ns units, 0 when missing.
uint64_t WriteTime(const std::string& path);

}  // namespace varnel::test
