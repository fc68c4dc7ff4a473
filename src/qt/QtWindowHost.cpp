#include "qt/QtWindowHost.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace varnel::qt {
namespace {

constexpr int32_t kShowNormal = 1;
constexpr int32_t kShowMinimised = 2;
constexpr int32_t kShowMaximised = 3;

ui::Rect FromQRect(const QRect& r) {
  return ui::Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

}  // namespace

ui::Rect QtWindowHost::DesktopRect() {
  QScreen* screen = window_.screen() ? window_.screen() : QGuiApplication::primaryScreen();
  return screen ? FromQRect(screen->availableVirtualGeometry()) : ui::Rect{0, 0, 0, 0};
}

WindowPlacement QtWindowHost::GetPlacement() {
  WindowPlacement placement;
  const Qt::WindowStates state = window_.windowState();
  placement.showCmd = state & Qt::WindowMinimized   ? kShowMinimised
                      : state & Qt::WindowMaximized ? kShowMaximised
                                                    : kShowNormal;
  // pos() and frameGeometry() are the outer window's; a minimised window
  // keeps them, a maximised one only remembers its normal client area.
  const QRect frame = window_.frameGeometry();
  QRect normal(window_.pos(), frame.size());
  if (state & Qt::WindowMaximized && window_.normalGeometry().isValid()) {
    const QRect client = window_.geometry();
    normal = window_.normalGeometry().adjusted(frame.left() - client.left(), frame.top() - client.top(),
                                               frame.right() - client.right(), frame.bottom() - client.bottom());
  }
  placement.normal = FromQRect(normal);
  return placement;
}

void QtWindowHost::ApplyPlacement(const WindowPlacement& placement) {
  window_.move(placement.normal.left, placement.normal.top);  // move() places the frame
  Qt::WindowStates state = window_.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  // The show state as stored: a window closed minimised starts minimised.
  if (placement.showCmd == kShowMinimised) state |= Qt::WindowMinimized;
  if (placement.showCmd == kShowMaximised) state |= Qt::WindowMaximized;
  window_.setWindowState(state);
}

}  // namespace varnel::qt
