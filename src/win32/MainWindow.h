#pragma once
// The main window: the native view of RecorderDialog's model with its level
// meters (painted with GDI; after every buffer only the meter column is
// invalidated), the icon (resource 128, also drawn in a minimised window's
// client area), the placement saved and restored as the settings record's
// ten numbers, and the platform's messages that belong to a main window:
// the close command runs the close sequence, the end of a Windows session
// saves a running recording and the settings, a device change rescans the
// boards.
//
// Main thread only.

#include <memory>

#include "app/RecorderDialog.h"
#include "win32/DialogWindow.h"
#include "win32/Win32UiServices.h"
#include "win32/Win32WindowHost.h"

namespace varnel::win32 {

inline constexpr int kIconResource = 128;

class MainWindow {
 public:
  MainWindow(RecorderDialog& recorder, Win32UiServices& ui);
  // Called for the view of the main window before it runs.
  void Attach(DialogWindow& view);

  DialogWindow* View() const { return view_; }
  // The meter column in the window's client pixels, as last invalidated.
  RECT MeterColumn() const;
  // How many times the meters were asked to repaint.
  int MeterUpdates() const { return meterUpdates_; }

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void OnCreated();
  void Paint();
  void RunCloseSequence();
  void FitWindow();
  void InvalidateMeters();

  RecorderDialog& recorder_;
  Win32UiServices& ui_;
  DialogWindow* view_ = nullptr;
  std::unique_ptr<Win32WindowHost> host_;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  int meterUpdates_ = 0;
};

}  // namespace varnel::win32
