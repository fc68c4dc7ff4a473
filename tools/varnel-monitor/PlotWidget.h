#pragma once
// One plot drawn with QPainter: a series of evenly spaced values reduced to
// one minimum/maximum pair per pixel column, so that 65536 points cost one
// pass over the data and a few hundred line segments.
//
// Called on the GUI thread only.

#include <QString>
#include <QWidget>
#include <vector>

namespace varnel::monitor {

struct PlotSeries {
  std::vector<float> values;  // evenly spaced from xFirst to xLast
  double xFirst = 0.0;
  double xLast = 1.0;
  double yLow = -1.0;
  double yHigh = 1.0;
  QString title;
  QString xLabel;
  QString yLabel;
  bool hasMarker = false;  // a dot and its text at (markerX, markerY)
  double markerX = 0.0;
  double markerY = 0.0;
};

class PlotWidget : public QWidget {
  Q_OBJECT
 public:
  explicit PlotWidget(QWidget* parent = nullptr);
  void SetSeries(PlotSeries series);
  const PlotSeries& Series() const { return series_; }
  QSize sizeHint() const override { return {520, 230}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PlotSeries series_;
  std::vector<float> columnLow_;
  std::vector<float> columnHigh_;
};

// Round steps of 1, 2 or 5 times a power of ten that give about `count` ticks.
double TickStep(double span, int count);

}  // namespace varnel::monitor
