#pragma once
// Where logic paints: one-pixel frames and solid fills on the window's client
// area. The Qt view backs it with QPainter; tests record the calls.

#include <cstdint>

#include "ui/ControlState.h"

namespace varnel::ui {

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  bool operator==(const Rgb&) const = default;
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  // A one-pixel frame just inside `rect` (right and bottom exclusive).
  virtual void FrameRect(const Rect& rect, Rgb colour) = 0;
  virtual void FillRect(const Rect& rect, Rgb colour) = 0;
};

}  // namespace varnel::ui
