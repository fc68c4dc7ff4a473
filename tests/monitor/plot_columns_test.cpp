// What a plot draws per pixel column, against the same taken point by point.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "MonitorTestSupport.h"
#include "monitor/PlotColumns.h"

namespace varnel::monitor {
namespace {

// Point i of n lies at i / (n - 1) of the width: its column, point by point.
std::size_t ColumnOf(std::size_t i, std::size_t points, std::size_t columns) {
  return std::min(columns - 1, i * columns / (points - 1));
}

ColumnEnvelope PointByPoint(const std::vector<double>& values, std::size_t columns) {
  ColumnEnvelope e;
  e.Clear(columns);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!std::isfinite(values[i])) continue;
    const std::size_t c = ColumnOf(i, values.size(), columns);
    e.low[c] = std::min(e.low[c], static_cast<float>(values[i]));
    e.high[c] = std::max(e.high[c], static_cast<float>(values[i]));
  }
  return e;
}

void ExpectSame(const ColumnEnvelope& expected, const ColumnEnvelope& actual, float tolerance) {
  ASSERT_EQ(expected.Columns(), actual.Columns());
  for (std::size_t c = 0; c < expected.Columns(); ++c) {
    ASSERT_EQ(expected.Empty(c), actual.Empty(c)) << "column " << c;
    if (expected.Empty(c)) continue;
    EXPECT_NEAR(expected.low[c], actual.low[c], tolerance) << "column " << c;
    EXPECT_NEAR(expected.high[c], actual.high[c], tolerance) << "column " << c;
  }
}

struct Shape {
  std::size_t points;
  std::size_t columns;
};

// More points than columns, fewer (empty columns between), one more than
// columns, as many, and the smallest series.
constexpr Shape kShapes[] = {{65536, 557}, {8192, 640}, {513, 700}, {401, 400}, {400, 400}, {2, 9}, {3, 1}};

TEST(PlotColumns, SamplesFallInTheColumnsThePointsLieIn) {
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(testing::Message() << shape.points << " points, " << shape.columns << " columns");
    const auto samples = test::Sine(shape.points, 25000.0, 1234.0, 30000.0);
    std::vector<double> units;
    for (int16_t s : samples) units.push_back(s * -0.001);  // a negative scale turns columns over
    ColumnEnvelope actual;
    SampleColumns(samples, -0.001, shape.columns, actual);
    ExpectSame(PointByPoint(units, shape.columns), actual, 1e-6f);
  }
}

TEST(PlotColumns, ColumnStartsCoverEveryPointOnce) {
  for (const Shape& shape : kShapes) {
    std::size_t covered = 0;
    for (std::size_t c = 0; c < shape.columns; ++c) {
      const std::size_t from = ColumnStart(c, shape.columns, shape.points);
      const std::size_t to = ColumnStart(c + 1, shape.columns, shape.points);
      ASSERT_LE(from, to);
      for (std::size_t i = from; i < to; ++i) EXPECT_EQ(c, ColumnOf(i, shape.points, shape.columns));
      covered += to - from;
    }
    EXPECT_EQ(shape.points, covered);
  }
}

// Every bin's decibels as the scale reads them, then min/max per column.
ColumnEnvelope DecibelsPointByPoint(const Spectrum& spectrum, double rate, const ChannelScale& scale,
                                    std::size_t columns) {
  std::vector<double> decibels;
  for (std::size_t k = 0; k < spectrum.Bins(); ++k)
    decibels.push_back(scale.Decibels(spectrum.Codes(k, scale.measure), BinFrequency(k, spectrum.Length(), rate)));
  return PointByPoint(decibels, columns);
}

TEST(PlotColumns, SpectrumColumnsReadAsTheScaleReadsEveryBin) {
  const double rate = 25000.0;
  const ChannelCalibration velocity = test::Accelerometer(100.0f, 3, 1);
  ChannelCalibration peakMic = test::Microphone(50.0f);
  peakMic.RefType = 0;
  struct Case {
    const char* name;
    ChannelScale scale;
  } cases[] = {{"uncalibrated", ScaleOf(ChannelCalibration{}, "Left")},
               {"rms microphone", ScaleOf(test::Microphone(50.0f), "Left")},
               {"peak microphone", ScaleOf(peakMic, "Left")},
               {"velocity (no level at DC)", ScaleOf(velocity, "Left")}};
  SpectrumColumns columns;  // one cache through every scale: it must follow each
  for (std::size_t length : {std::size_t{8192}, std::size_t{1024}, std::size_t{1001}}) {
    Spectrum spectrum;
    auto block = test::Sine(length, rate, 500.0, 8000.0, 40.0);
    for (std::size_t i = 0; i < block.size(); i += 7) block[i] = static_cast<int16_t>(block[i] + 300);
    spectrum.Add(block.data(), 1, block.size());
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << ", length " << length);
      ColumnEnvelope actual;
      columns.Reduce(spectrum, rate, c.scale, 600, actual);
      ExpectSame(DecibelsPointByPoint(spectrum, rate, c.scale, 600), actual, 1e-3f);
    }
  }
}

TEST(PlotColumns, NothingToDrawWithoutBlocksOrColumns) {
  Spectrum spectrum;
  SpectrumColumns columns;
  ColumnEnvelope out;
  columns.Reduce(spectrum, 25000.0, ChannelScale{}, 300, out);
  ASSERT_EQ(300u, out.Columns());
  for (std::size_t c = 0; c < out.Columns(); ++c) EXPECT_TRUE(out.Empty(c));
  const auto silence = std::vector<int16_t>(4096, 0);
  spectrum.Add(silence.data(), 1, silence.size());
  columns.Reduce(spectrum, 25000.0, ChannelScale{}, 300, out);
  for (std::size_t c = 0; c < out.Columns(); ++c) EXPECT_TRUE(out.Empty(c)) << "silence has no level";
  SampleColumns(silence, 1.0, 0, out);
  EXPECT_EQ(0u, out.Columns());
}

}  // namespace
}  // namespace varnel::monitor
