#include "app/WindowPosition.h"

#include <algorithm>
#include <cstdio>

#include "platform/Profile.h"

namespace varnel {

std::string FormatWindowPosition(const WindowPlacement& p) {
  char text[160];
  std::snprintf(text, sizeof text, "%d, %d, {%d,%d}, {%d,%d}, {%d,%d,%d,%d}", p.flags, p.showCmd, p.minX, p.minY,
                p.maxX, p.maxY, p.normal.left, p.normal.top, p.normal.right, p.normal.bottom);
  return text;
}

std::optional<WindowPlacement> ParseWindowPosition(std::string_view text) {
  std::string copy(text.substr(0, std::min(text.find('\0'), text.size())));
  WindowPlacement p;
  int consumed = 0;
  int n = std::sscanf(copy.c_str(), "%d, %d, {%d,%d}, {%d,%d}, {%d,%d,%d,%d}%n", &p.flags, &p.showCmd, &p.minX,
                      &p.minY, &p.maxX, &p.maxY, &p.normal.left, &p.normal.top, &p.normal.right, &p.normal.bottom,
                      &consumed);
  if (n != 10 || consumed == 0) return std::nullopt;
  return p;
}

WindowPlacement ClampToDesktop(WindowPlacement p, const ui::Rect& desktop) {
  for (int32_t* v : {&p.minX, &p.minY, &p.maxX, &p.maxY, &p.normal.left, &p.normal.top, &p.normal.right,
                     &p.normal.bottom})
    *v = std::max(*v, 0);
  if (p.normal.left > desktop.Width()) p.normal.left = desktop.Width() / 2;
  if (p.normal.top > desktop.Height()) p.normal.top = desktop.Height() / 2;
  return p;
}

void RestoreWindowPosition(const std::string& settingsPath, WindowHost& host) {
  std::string text = platform::ReadProfileString(settingsPath, "Main", "WindowPosition", "", 128);
  if (text.empty()) return;
  auto placement = ParseWindowPosition(text);
  if (!placement) return;
  host.ApplyPlacement(ClampToDesktop(*placement, host.DesktopRect()));
}

bool SaveWindowPosition(const std::string& settingsPath, WindowHost& host) {
  return platform::WriteProfileString(settingsPath, "Main", "WindowPosition", FormatWindowPosition(host.GetPlacement()));
}

}  // namespace varnel
