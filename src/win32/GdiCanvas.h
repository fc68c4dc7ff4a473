#pragma once
// The logic's canvas on a GDI device context: frames and solid fills in model
// pixels, scaled to the dialog's device pixels. A brush is made for each
// call and deleted at once. BoundsCanvas only collects where a drawing goes,
// so a view can invalidate exactly that.
//
// Main thread only; a GdiCanvas lives inside one paint.

#include "ui/Canvas.h"
#include "win32/Windows.h"

namespace varnel::win32 {

class DialogWindow;

class GdiCanvas : public ui::Canvas {
 public:
  GdiCanvas(HDC dc, const DialogWindow& view) : dc_(dc), view_(view) {}
  void FrameRect(const ui::Rect& rect, ui::Rgb colour) override;
  void FillRect(const ui::Rect& rect, ui::Rgb colour) override;

 private:
  HDC dc_;
  const DialogWindow& view_;
};

class BoundsCanvas : public ui::Canvas {
 public:
  void FrameRect(const ui::Rect& rect, ui::Rgb) override { Add(rect); }
  void FillRect(const ui::Rect& rect, ui::Rgb) override { Add(rect); }
  // Empty (all zero) when nothing was drawn.
  const ui::Rect& Bounds() const { return bounds_; }

 private:
  void Add(const ui::Rect& rect);
  ui::Rect bounds_;
  bool any_ = false;
};

}  // namespace varnel::win32
