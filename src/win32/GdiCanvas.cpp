#include "win32/GdiCanvas.h"

#include <algorithm>

#include "win32/DialogWindow.h"

namespace varnel::win32 {
namespace {

bool IsEmpty(const ui::Rect& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

void GdiCanvas::FrameRect(const ui::Rect& rect, ui::Rgb colour) {
  if (IsEmpty(rect)) return;
  const RECT r = view_.ToDevice(rect);
  HBRUSH brush = CreateSolidBrush(RGB(colour.r, colour.g, colour.b));
  ::FrameRect(dc_, &r, brush);
  DeleteObject(brush);
}

void GdiCanvas::FillRect(const ui::Rect& rect, ui::Rgb colour) {
  if (IsEmpty(rect)) return;
  const RECT r = view_.ToDevice(rect);
  HBRUSH brush = CreateSolidBrush(RGB(colour.r, colour.g, colour.b));
  ::FillRect(dc_, &r, brush);
  DeleteObject(brush);
}

void BoundsCanvas::Add(const ui::Rect& rect) {
  if (IsEmpty(rect)) return;
  if (!any_) {
    bounds_ = rect;
    any_ = true;
    return;
  }
  bounds_ = {std::min(bounds_.left, rect.left), std::min(bounds_.top, rect.top), std::max(bounds_.right, rect.right),
             std::max(bounds_.bottom, rect.bottom)};
}

}  // namespace varnel::win32
