#include "qt/QtCanvas.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace varnel::qt {
namespace {

bool IsEmpty(const ui::Rect& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

bool Contains(const ui::Rect& outer, const ui::Rect& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

}  // namespace

QRect ToQRect(const ui::Rect& rect) {
  return QRect(rect.left, rect.top, rect.Width(), rect.Height());
}

QColor ToQColor(ui::Rgb colour) {
  return QColor(colour.r, colour.g, colour.b);
}

void QtCanvas::FrameRect(const ui::Rect& rect, ui::Rgb colour) {
  if (IsEmpty(rect)) return;
  // Four fills rather than a pen, so the frame stays exactly inside the
  // rectangle at any scale.
  const QColor c = ToQColor(colour);
  const int w = rect.Width();
  const int h = rect.Height();
  painter_.fillRect(QRect(rect.left, rect.top, w, 1), c);
  painter_.fillRect(QRect(rect.left, rect.bottom - 1, w, 1), c);
  painter_.fillRect(QRect(rect.left, rect.top, 1, h), c);
  painter_.fillRect(QRect(rect.right - 1, rect.top, 1, h), c);
}

void QtCanvas::FillRect(const ui::Rect& rect, ui::Rgb colour) {
  if (IsEmpty(rect)) return;
  painter_.fillRect(ToQRect(rect), ToQColor(colour));
}

void RetainedCanvas::FrameRect(const ui::Rect& rect, ui::Rgb colour) {
  Add({true, rect, colour});
}

void RetainedCanvas::FillRect(const ui::Rect& rect, ui::Rgb colour) {
  Add({false, rect, colour});
}

void RetainedCanvas::Add(const Operation& operation) {
  if (IsEmpty(operation.rect)) return;
  std::erase_if(operations_, [&](const Operation& old) {
    return operation.frame ? old.frame && old.rect == operation.rect : Contains(operation.rect, old.rect);
  });
  operations_.push_back(operation);
  target_.update(ToQRect(operation.rect));
}

void RetainedCanvas::Replay(ui::Canvas& onto) const {
  for (const Operation& op : operations_) {
    if (op.frame) {
      onto.FrameRect(op.rect, op.colour);
    } else {
      onto.FillRect(op.rect, op.colour);
    }
  }
}

void RetainedCanvas::Clear() {
  for (const Operation& op : operations_) target_.update(ToQRect(op.rect));
  operations_.clear();
}

}  // namespace varnel::qt
