// The level bars the window paints beside the gain buttons.

#include "app/LevelMeterPainting.h"

#include <gtest/gtest.h>

#include <vector>

namespace varnel {
namespace {

struct CanvasCall {
  bool frame;
  ui::Rect rect;
  ui::Rgb colour;
  bool operator==(const CanvasCall&) const = default;
};

class RecordingCanvas : public ui::Canvas {
 public:
  void FrameRect(const ui::Rect& rect, ui::Rgb colour) override { calls.push_back({true, rect, colour}); }
  void FillRect(const ui::Rect& rect, ui::Rgb colour) override { calls.push_back({false, rect, colour}); }
  std::vector<CanvasCall> calls;
};

// Gain buttons 16 pixels wide make meter frames 56 pixels wide.
ui::Rect GainButton(int32_t row) {
  return {100, 10 + 20 * row, 116, 30 + 20 * row};
}

TEST(LevelMeters, FrameGreyAndBarInTheLevelsColour) {
  ChannelSettingsArray channels = DefaultChannels();
  const int32_t levels[5] = {100, 97, 93, 56, 57};
  for (int i = 0; i < 5; ++i) {
    channels[i].bIsEnabled = 1;
    channels[i].Level = levels[i];
  }
  channels[5].bIsEnabled = 0;
  channels[5].Level = 100;
  RecordingCanvas canvas;
  DrawLevelMeters(canvas, channels, 6, GainButton);

  auto frame = [](int row) { return ui::Rect{124, 13 + 20 * row, 180, 27 + 20 * row}; };
  auto inner = [](int row, int cut) { return ui::Rect{125, 14 + 20 * row, 179 - cut, 26 + 20 * row}; };
  const std::vector<CanvasCall> expected = {
      {true, frame(0), kMeterFrameColour},      {false, inner(0, 0), kMeterBackColour},
      {false, inner(0, 0), kMeterRedColour},  // full length
      {true, frame(1), kMeterFrameColour},      {false, inner(1, 0), kMeterBackColour},
      {false, inner(1, 3), kMeterYellowColour}, {true, frame(2), kMeterFrameColour},
      {false, inner(2, 0), kMeterBackColour},   {false, inner(2, 7), kMeterGreenColour},
      {true, frame(3), kMeterFrameColour},      {false, inner(3, 0), kMeterBackColour},  // level = width: no bar
      {true, frame(4), kMeterFrameColour},      {false, inner(4, 0), kMeterBackColour},
      {false, inner(4, 43), kMeterGreenColour}, {true, frame(5), kMeterFrameColour},
      {false, inner(5, 0), kMeterBackColour},  // disabled: grey box
  };
  EXPECT_EQ(expected, canvas.calls);
}

TEST(LevelMeters, OnlyTheShownRowsArePainted) {
  ChannelSettingsArray channels = DefaultChannels();
  RecordingCanvas canvas;
  DrawLevelMeters(canvas, channels, 2, GainButton);
  EXPECT_EQ(4u, canvas.calls.size());
  canvas.calls.clear();
  DrawLevelMeters(canvas, channels, 40, GainButton);
  EXPECT_EQ(32u, canvas.calls.size());
}

}  // namespace
}  // namespace varnel
