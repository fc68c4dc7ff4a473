#include "PlotWidget.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace varnel::monitor {
namespace {

QString TickText(double value, double step) {
  if (std::fabs(value) >= 1e6 || (value != 0.0 && std::fabs(value) < 1e-4)) return QString::number(value, 'g', 3);
  const int decimals = step >= 1.0 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step))));
  return QString::number(value, 'f', decimals);
}

}  // namespace

double TickStep(double span, int count) {
  if (!(span > 0.0) || count < 1) return 1.0;
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (raw <= m * power) return m * power;
  return 10.0 * power;
}

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent) {
  setMinimumSize(260, 140);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotWidget::SetSeries(PlotSeries series) {
  series_ = std::move(series);
  update();
}

void PlotWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QFontMetrics metrics(font());
  const int line = metrics.height();
  const QRect area(metrics.horizontalAdvance("-000.0") + line + 6, line + 4,
                   width() - metrics.horizontalAdvance("-000.0") - line - 16, height() - 3 * line - 10);
  if (area.width() < 10 || area.height() < 10) return;
  painter.fillRect(area, Qt::white);
  painter.setPen(palette().windowText().color());
  painter.drawText(QRect(area.left(), 0, area.width(), line + 2), Qt::AlignLeft | Qt::AlignVCenter, series_.title);

  const PlotSeries& s = series_;
  const double xSpan = s.xLast > s.xFirst ? s.xLast - s.xFirst : 1.0;
  const double ySpan = s.yHigh > s.yLow ? s.yHigh - s.yLow : 1.0;
  auto px = [&](double x) { return area.left() + (x - s.xFirst) / xSpan * area.width(); };
  auto py = [&](double y) { return area.bottom() - (y - s.yLow) / ySpan * area.height(); };

  // Grid and tick labels.
  QPen grid(QColor(220, 220, 220));
  const double xStep = TickStep(xSpan, std::max(2, area.width() / 90));
  for (double x = std::ceil(s.xFirst / xStep) * xStep; x <= s.xLast + 1e-9 * xSpan; x += xStep) {
    painter.setPen(grid);
    painter.drawLine(QPointF(px(x), area.top()), QPointF(px(x), area.bottom()));
    painter.setPen(palette().windowText().color());
    painter.drawText(QRectF(px(x) - 40, area.bottom() + 2, 80, line), Qt::AlignHCenter | Qt::AlignTop,
                     TickText(x, xStep));
  }
  const double yStep = TickStep(ySpan, std::max(2, area.height() / 40));
  for (double y = std::ceil(s.yLow / yStep) * yStep; y <= s.yHigh + 1e-9 * ySpan; y += yStep) {
    painter.setPen(grid);
    painter.drawLine(QPointF(area.left(), py(y)), QPointF(area.right(), py(y)));
    painter.setPen(palette().windowText().color());
    painter.drawText(QRectF(0, py(y) - line / 2.0, area.left() - 4, line), Qt::AlignRight | Qt::AlignVCenter,
                     TickText(y, yStep));
  }
  painter.drawText(QRect(area.left(), area.bottom() + line + 2, area.width(), line + 2), Qt::AlignHCenter, s.xLabel);
  painter.save();
  painter.translate(line / 2.0 + 1, area.center().y());
  painter.rotate(-90);
  painter.drawText(QRectF(-area.height() / 2.0, -line / 2.0, area.height(), line), Qt::AlignHCenter, s.yLabel);
  painter.restore();

  // One minimum/maximum per column: the series' whole envelope, whatever its length.
  const int columns = area.width();
  const std::size_t n = s.values.size();
  if (n >= 2) {
    columnLow_.assign(columns, std::numeric_limits<float>::infinity());
    columnHigh_.assign(columns, -std::numeric_limits<float>::infinity());
    const double perColumn = static_cast<double>(n - 1) / columns;
    for (std::size_t i = 0; i < n; ++i) {
      const float v = s.values[i];
      if (!std::isfinite(v)) continue;
      const int c = std::min(columns - 1, static_cast<int>(i / perColumn));
      columnLow_[c] = std::min(columnLow_[c], v);
      columnHigh_[c] = std::max(columnHigh_[c], v);
    }
    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(20, 70, 170), 1));
    QPainterPath path;
    bool open = false;
    for (int c = 0; c < columns; ++c) {
      if (!(columnLow_[c] <= columnHigh_[c])) continue;
      const double x = area.left() + c + 0.5;
      const double yLow = std::clamp(py(columnLow_[c]), area.top() - 1.0, area.bottom() + 1.0);
      const double yHigh = std::clamp(py(columnHigh_[c]), area.top() - 1.0, area.bottom() + 1.0);
      if (!open)
        path.moveTo(x, yLow);
      else
        path.lineTo(x, yLow);
      path.lineTo(x, yHigh);
      open = true;
    }
    painter.drawPath(path);
    if (s.hasMarker) {
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setBrush(QColor(200, 40, 40));
      painter.setPen(Qt::NoPen);
      painter.drawEllipse(QPointF(px(s.markerX), py(s.markerY)), 4, 4);
    }
    painter.setClipping(false);
  }
  painter.setPen(QColor(140, 140, 140));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area);
}

}  // namespace varnel::monitor
