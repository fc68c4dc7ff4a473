#include "win32/Win32WindowHost.h"

#include "win32/DialogWindow.h"

namespace varnel::win32 {

WindowPlacement FromNative(const WINDOWPLACEMENT& n) {
  WindowPlacement p;
  p.flags = static_cast<int32_t>(n.flags);
  p.showCmd = static_cast<int32_t>(n.showCmd);
  p.minX = n.ptMinPosition.x;
  p.minY = n.ptMinPosition.y;
  p.maxX = n.ptMaxPosition.x;
  p.maxY = n.ptMaxPosition.y;
  p.normal = {n.rcNormalPosition.left, n.rcNormalPosition.top, n.rcNormalPosition.right, n.rcNormalPosition.bottom};
  return p;
}

WINDOWPLACEMENT ToNative(const WindowPlacement& p) {
  WINDOWPLACEMENT n{};
  n.length = sizeof n;
  n.flags = static_cast<UINT>(p.flags);
  n.showCmd = static_cast<UINT>(p.showCmd);
  n.ptMinPosition = {p.minX, p.minY};
  n.ptMaxPosition = {p.maxX, p.maxY};
  n.rcNormalPosition = {p.normal.left, p.normal.top, p.normal.right, p.normal.bottom};
  return n;
}

ui::Rect Win32WindowHost::DesktopRect() {
  RECT r{};
  GetWindowRect(GetDesktopWindow(), &r);
  return {r.left, r.top, r.right, r.bottom};
}

WindowPlacement Win32WindowHost::GetPlacement() {
  WINDOWPLACEMENT n{};
  n.length = sizeof n;
  if (!view_.Handle() || !GetWindowPlacement(view_.Handle(), &n)) return {};
  return FromNative(n);
}

void Win32WindowHost::ApplyPlacement(const WindowPlacement& placement) {
  if (!view_.Handle()) return;
  const WINDOWPLACEMENT n = ToNative(placement);
  SetWindowPlacement(view_.Handle(), &n);
}

}  // namespace varnel::win32
