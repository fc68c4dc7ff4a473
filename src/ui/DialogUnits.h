#pragma once
// Dialog units to pixels. Layouts are given in dialog units of an 8-point
// dialog font; control rectangles in the ui model are pixels. One horizontal
// dialog unit is a quarter of the font's average character width, one
// vertical unit an eighth of its height. We fix the base units at 6 x 13
// pixels, the metrics of an 8-point dialog font at 96 dpi, so that model and
// view agree without asking a toolkit; the view picks a font of that size and
// the toolkit scales everything (pixels included) for the screen's
// device-pixel ratio.

#include <cstdint>

#include "ui/ControlState.h"

namespace varnel::ui {

inline constexpr int32_t kDialogBaseUnitX = 6;
inline constexpr int32_t kDialogBaseUnitY = 13;
// The pixel height of the dialog font that matches those base units.
inline constexpr int32_t kDialogFontPixelSize = 10;

// value * numerator / denominator, rounded half away from zero.
constexpr int32_t MulDivRounded(int32_t value, int32_t numerator, int32_t denominator) {
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const int64_t half = denominator / 2;
  return static_cast<int32_t>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

constexpr int32_t DluToPixelsX(int32_t dlu) {
  return MulDivRounded(dlu, kDialogBaseUnitX, 4);
}
constexpr int32_t DluToPixelsY(int32_t dlu) {
  return MulDivRounded(dlu, kDialogBaseUnitY, 8);
}

// A rectangle given as left, top, right, bottom in dialog units.
constexpr Rect DluToPixels(const Rect& dlu) {
  return Rect{DluToPixelsX(dlu.left), DluToPixelsY(dlu.top), DluToPixelsX(dlu.right), DluToPixelsY(dlu.bottom)};
}

// A rectangle given as position and size in dialog units, as layouts list them.
constexpr Rect DluRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  return DluToPixels(Rect{x, y, x + width, y + height});
}

}  // namespace varnel::ui
