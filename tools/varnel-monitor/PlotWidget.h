#pragma once
// One plot drawn with QPainter: a series reduced to one minimum/maximum pair
// per pixel column (monitor/PlotColumns.h). What stays from block to block
// is kept: the tick labels and axis labels around the plotting area are
// painted only when the axes or the size change, the area's grid is a picture
// drawn once for them, and a new block repaints only the title and the area,
// whose picture changes only where the new trace differs from the last.
//
// Called on the GUI thread only.

#include <QImage>
#include <QLineF>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "monitor/PlotColumns.h"

namespace varnel::monitor {

struct PlotSeries {
  // Fills the envelope for a plot of so many columns; asked again only when
  // the series or the plot's width changes. Empty: nothing is drawn.
  std::function<void(std::size_t columns, ColumnEnvelope& out)> reduce;
  double xFirst = 0.0;
  double xLast = 1.0;
  double yLow = -1.0;
  double yHigh = 1.0;
  QString title;
  QString xLabel;
  QString yLabel;
  bool hasMarker = false;  // a dot at (markerX, markerY)
  double markerX = 0.0;
  double markerY = 0.0;
};

class PlotWidget : public QWidget {
  Q_OBJECT
 public:
  explicit PlotWidget(QWidget* parent = nullptr);
  void SetSeries(PlotSeries series);
  const PlotSeries& Series() const { return series_; }
  // What the last paint drew, one pair per column of the plotting area.
  const ColumnEnvelope& Envelope() const { return envelope_; }
  // The plotting area inside the frame, and the part a new block repaints
  // when the axes stay: the title and the area with its frame.
  QRect PlotArea() const;
  QRect BlockRect() const;
  QSize sizeHint() const override { return {520, 230}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Axes {
    double xFirst, xLast, yLow, yHigh;
    QString xLabel, yLabel;
    bool operator==(const Axes&) const = default;
  };
  static Axes AxesOf(const PlotSeries& series);
  void DrawMargins(QPainter& painter, const QRect& area);
  void DrawGrid(const QRect& area);
  void DrawArea(QPainter& painter, const QRect& area);
  void WriteTrace();
  void DrawMarker(QPainter& painter, const QRect& area);

  PlotSeries series_;
  ColumnEnvelope envelope_;
  bool envelopeStale_ = true;
  // What the trace is drawn with, kept to spare the allocations.
  struct Span {
    int x;
    double top;
    double bottom;
  };
  std::vector<Span> spans_;
  std::vector<QLineF> gaps_;  // in the frame's pixels
  // The plotting area with its grid, as drawn for gridKey_, and the picture
  // of the area with the trace written into a copy of it.
  struct GridKey {
    QSize size;
    qreal ratio = 0.0;
    double xFirst = 0.0, xLast = 0.0, yLow = 0.0, yHigh = 0.0;
    bool operator==(const GridKey&) const = default;
  };
  GridKey gridKey_;
  QImage grid_;
  QImage frame_;
  // Per column of the picture, the rows the trace covers in it and the rows
  // of the block being written; from > to for none.
  struct Rows {
    int from = 1;
    int to = 0;
  };
  std::vector<Rows> drawn_;
  std::vector<Rows> rows_;
};

// Round steps of 1, 2 or 5 times a power of ten that give about `count` ticks.
double TickStep(double span, int count);

}  // namespace varnel::monitor
