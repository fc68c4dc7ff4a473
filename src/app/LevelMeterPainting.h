#pragma once
// The level bars beside the gain buttons, painted from each row's Level.
//
// Called on the main thread only.

#include <cstdint>
#include <functional>

#include "records/ChannelSettings.h"
#include "ui/Canvas.h"

namespace varnel {

// Colours of the meter.
inline constexpr ui::Rgb kMeterFrameColour{0, 0, 0};
inline constexpr ui::Rgb kMeterBackColour{128, 128, 128};
inline constexpr ui::Rgb kMeterRedColour{255, 0, 0};
inline constexpr ui::Rgb kMeterYellowColour{255, 255, 0};
inline constexpr ui::Rgb kMeterGreenColour{0, 200, 0};

// The meter frame of a row, from its gain button's rectangle (client coordinates).
ui::Rect MeterFrameOf(const ui::Rect& gainButton);

// Paints the meters of rows 0..maxChannels-1: a black frame, a grey inside and,
// for an enabled row whose level is above the frame width, the bar in the
// level's colour. gainButtonRect gives a row's gain-button rectangle.
void DrawLevelMeters(ui::Canvas& canvas, const ChannelSettingsArray& channels, int32_t maxChannels,
                     const std::function<ui::Rect(int32_t row)>& gainButtonRect);

}  // namespace varnel
