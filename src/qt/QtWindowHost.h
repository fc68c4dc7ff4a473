#pragma once
// The main window's placement on the desktop, for the settings file.
// Positions are the outer window's (frame included), in the desktop's
// logical pixels. The window keeps the size its model gives it (the grid
// fits its height, and a stored width is the window's own anyway), so
// applying a placement moves it and sets its show state but never resizes it.
//
// Main thread only. The window must outlive the host.

#include "app/WindowPosition.h"

class QWidget;

namespace varnel::qt {

class QtWindowHost : public WindowHost {
 public:
  explicit QtWindowHost(QWidget& window) : window_(window) {}
  ui::Rect DesktopRect() override;
  WindowPlacement GetPlacement() override;
  void ApplyPlacement(const WindowPlacement& placement) override;

 private:
  QWidget& window_;
};

}  // namespace varnel::qt
