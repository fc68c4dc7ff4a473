#pragma once
// Dialog layouts are given in dialog units of an 8-point sans-serif font;
// the model keeps rectangles in pixels. One horizontal unit is a quarter of
// the font's average character width (6 px), one vertical unit an eighth of
// its height (13 px), as the platform computes them.

#include <cstdint>

#include "ui/ControlState.h"

namespace varnel::ui {

inline constexpr int32_t kBaseUnitX = 6;
inline constexpr int32_t kBaseUnitY = 13;

// Rounded to the nearest pixel, as the platform's MulDiv does.
constexpr int32_t DluToPixelsX(int32_t x) { return (x * kBaseUnitX + (x >= 0 ? 2 : -2)) / 4; }
constexpr int32_t DluToPixelsY(int32_t y) { return (y * kBaseUnitY + (y >= 0 ? 4 : -4)) / 8; }

// A rectangle at (x, y) of size w x h in dialog units, in pixels.
constexpr Rect DluRect(int32_t x, int32_t y, int32_t w, int32_t h) {
  return Rect{DluToPixelsX(x), DluToPixelsY(y), DluToPixelsX(x + w), DluToPixelsY(y + h)};
}

}  // namespace varnel::ui
