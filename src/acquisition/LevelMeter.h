#pragma once
// Level metering: the level of one channel block (100 + its peak in dB
// relative to the gain's full scale, the top 2 dB shown as full) and the
// painting of the level bars beside the gain buttons.
//
// Called on the main thread only.

#include <cstdint>
#include <functional>
#include <span>

#include "records/ChannelSettings.h"
#include "ui/Canvas.h"

namespace varnel {

// The largest absolute sample of the block, 0..32768 (-32768 counts as 32768).
int32_t BlockPeak(std::span<const int16_t> block);

// The level of a block's peak at a gain. A block of zeros (or a gain that
// gives no finite level) has level 0, which shows as an empty box.
int32_t LevelOfPeak(int32_t peak, int32_t gain);

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
