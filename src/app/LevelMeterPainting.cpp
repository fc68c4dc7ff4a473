#include "app/LevelMeterPainting.h"

#include <algorithm>

namespace varnel {
namespace {

ui::Rgb BarColour(int32_t level) {
  if (level == 100) return kMeterRedColour;
  if (level >= 95) return kMeterYellowColour;
  return kMeterGreenColour;
}

}  // namespace

ui::Rect MeterFrameOf(const ui::Rect& gainButton) {
  return {gainButton.left - 20 + 44, gainButton.top + 3, gainButton.right + 20 + 44, gainButton.bottom - 3};
}

void DrawLevelMeters(ui::Canvas& canvas, const ChannelSettingsArray& channels, int32_t maxChannels,
                     const std::function<ui::Rect(int32_t row)>& gainButtonRect) {
  const int32_t rows = std::clamp<int32_t>(maxChannels, 0, kChannelCount);
  for (int32_t row = 0; row < rows; ++row) {
    const ui::Rect frame = MeterFrameOf(gainButtonRect(row));
    const int32_t width = frame.Width();
    canvas.FrameRect(frame, kMeterFrameColour);
    ui::Rect inner{frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
    canvas.FillRect(inner, kMeterBackColour);
    const ChannelSettings& channel = channels[row];
    if (!IsSet(channel.bIsEnabled) || channel.Level <= width) continue;
    inner.right -= 100 - channel.Level;
    // A frame narrower than the level's shortfall leaves no bar to paint.
    if (inner.right > inner.left) canvas.FillRect(inner, BarColour(channel.Level));
  }
}

}  // namespace varnel
