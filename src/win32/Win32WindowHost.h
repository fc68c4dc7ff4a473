#pragma once
// The main window's placement through GetWindowPlacement/SetWindowPlacement:
// the ten numbers of the settings file are that record's fields, in screen
// pixels, the outer window's.
//
// Main thread only. The view must outlive the host.

#include "app/WindowPosition.h"
#include "win32/Windows.h"

namespace varnel::win32 {

class DialogWindow;

WindowPlacement FromNative(const WINDOWPLACEMENT& native);
WINDOWPLACEMENT ToNative(const WindowPlacement& placement);

class Win32WindowHost : public WindowHost {
 public:
  explicit Win32WindowHost(const DialogWindow& view) : view_(view) {}
  ui::Rect DesktopRect() override;
  WindowPlacement GetPlacement() override;
  void ApplyPlacement(const WindowPlacement& placement) override;

 private:
  const DialogWindow& view_;
};

}  // namespace varnel::win32
