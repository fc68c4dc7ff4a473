#pragma once
// The main window's placement in the settings file ("WindowPosition").

#include <optional>
#include <string>
#include <string_view>

#include "ui/ControlState.h"

namespace varnel {

// The ten numbers of the platform's window placement record.
struct WindowPlacement {
  int32_t flags = 0;
  int32_t showCmd = 1;  // 1 normal, 2 minimised, 3 maximised
  int32_t minX = 0;
  int32_t minY = 0;
  int32_t maxX = 0;
  int32_t maxY = 0;
  ui::Rect normal;
  bool operator==(const WindowPlacement&) const = default;
};

// What the window view answers: the desktop and the window's placement.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  virtual ui::Rect DesktopRect() = 0;
  virtual WindowPlacement GetPlacement() = 0;
  virtual void ApplyPlacement(const WindowPlacement& placement) = 0;
};

std::string FormatWindowPosition(const WindowPlacement& placement);
// All ten numbers, or nothing: a damaged value is not applied at all.
std::optional<WindowPlacement> ParseWindowPosition(std::string_view text);
// Negative positions become 0; a rectangle that starts beyond the desktop
// starts at its middle instead.
WindowPlacement ClampToDesktop(WindowPlacement placement, const ui::Rect& desktop);

void RestoreWindowPosition(const std::string& settingsPath, WindowHost& host);
bool SaveWindowPosition(const std::string& settingsPath, WindowHost& host);  // false: not written

}  // namespace varnel
