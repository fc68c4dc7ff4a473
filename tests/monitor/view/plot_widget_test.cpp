// The monitor's plots on Qt's offscreen platform: what a block repaints on top
// of what the plot kept must be the picture a fresh plot draws of it.

#include <gtest/gtest.h>

#include <QImage>

#include "MonitorTestSupport.h"
#include "PlotWidget.h"

namespace varnel::monitor {
namespace {

struct Block {
  std::vector<int16_t> samples;
  double yHigh;
};

PlotSeries SeriesOf(const Block& block) {
  PlotSeries s;
  s.reduce = [&block](std::size_t columns, ColumnEnvelope& out) { SampleColumns(block.samples, 0.001, columns, out); };
  s.xLast = static_cast<double>(block.samples.size());
  s.yHigh = block.yHigh;
  s.yLow = -block.yHigh;
  s.title = QString("block of %1").arg(block.samples.size());
  s.xLabel = "Sample";
  s.yLabel = "V";
  s.hasMarker = true;
  s.markerX = 10.0;
  s.markerY = 0.5;
  return s;
}

QImage Shown(PlotWidget& plot) {
  return plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(PlotWidget, EachBlockLooksAsAFreshPlotDrawsIt) {
  // A steady tone, a louder one on the same axes, a short block (fewer points
  // than columns), new axes, and silence.
  const std::vector<Block> blocks = {{test::Sine(65536, 25000.0, 250.0, 3000.0), 4.0},
                                     {test::Sine(65536, 25000.0, 260.0, 3900.0, 0.0, 1.0), 4.0},
                                     {test::Sine(300, 25000.0, 100.0, 2000.0), 4.0},
                                     {test::Sine(8192, 25000.0, 1000.0, 1000.0), 2.0},
                                     {std::vector<int16_t>(8192, 0), 2.0}};
  PlotWidget kept;
  kept.resize(520, 260);
  Shown(kept);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "block " << i);
    kept.SetSeries(SeriesOf(blocks[i]));
    const QImage incremental = Shown(kept);
    PlotWidget fresh;
    fresh.resize(kept.size());
    fresh.SetSeries(SeriesOf(blocks[i]));
    EXPECT_EQ(Shown(fresh), incremental);
    EXPECT_EQ(static_cast<std::size_t>(kept.PlotArea().width()), kept.Envelope().Columns());
  }
  // A new size draws everything anew, at the new number of columns.
  kept.resize(400, 200);
  const QImage resized = Shown(kept);
  PlotWidget fresh;
  fresh.resize(kept.size());
  fresh.SetSeries(SeriesOf(blocks.back()));
  EXPECT_EQ(Shown(fresh), resized);
}

TEST(PlotWidget, TheTraceReachesFromEachColumnsMinimumToItsMaximum) {
  // A full-scale square wave: every column of the area holds both extremes.
  Block block{std::vector<int16_t>(4096), 40.0};
  for (std::size_t i = 0; i < block.samples.size(); ++i) block.samples[i] = (i / 3) % 2 ? 32000 : -32000;
  PlotWidget plot;
  plot.resize(300, 200);
  plot.SetSeries(SeriesOf(block));
  const QImage image = Shown(plot);
  const QRect area = plot.PlotArea();
  const QRgb ink = qRgb(20, 70, 170);
  for (int x : {area.left() + 20, area.center().x(), area.right() - 1}) {  // clear of the marker
    int inked = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) inked += image.pixel(x, y) == ink;
    // -32 to 32 of -40 to 40: four fifths of the height.
    EXPECT_NEAR(0.8 * area.height(), inked, 2.0) << "column " << x;
  }
}

}  // namespace
}  // namespace varnel::monitor
