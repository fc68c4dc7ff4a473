#pragma once
// Level metering: the level of one channel block (100 + its peak in dB
// relative to the gain's full scale, the top 2 dB shown as full). The window
// paints the bars (app/LevelMeterPainting.h).
//
// Called on the main thread only.

#include <cstdint>
#include <span>

namespace varnel {

// The largest absolute sample of the block, 0..32768 (-32768 counts as 32768).
int32_t BlockPeak(std::span<const int16_t> block);

// The level of a block's peak at a gain. A block of zeros (or a gain that
// gives no finite level) has level 0, which shows as an empty box.
int32_t LevelOfPeak(int32_t peak, int32_t gain);

}  // namespace varnel
