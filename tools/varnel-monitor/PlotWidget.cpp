#include "PlotWidget.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace varnel::monitor {
namespace {

const QColor kInk(20, 70, 170);

// Rows from..to (inclusive) of column x, in pictures of 32-bit pixels.
void CopyRows(const QImage& from, QImage& to, int x, int first, int last) {
  if (first > last) return;
  const qsizetype stride = to.bytesPerLine();
  const uchar* source = from.constBits() + first * stride + x * 4;
  uchar* target = to.bits() + first * stride + x * 4;
  for (int y = first; y <= last; ++y, source += stride, target += stride)
    *reinterpret_cast<QRgb*>(target) = *reinterpret_cast<const QRgb*>(source);
}

void FillRows(QImage& image, int x, int first, int last, QRgb colour) {
  if (first > last) return;
  const qsizetype stride = image.bytesPerLine();
  uchar* target = image.bits() + first * stride + x * 4;
  for (int y = first; y <= last; ++y, target += stride) *reinterpret_cast<QRgb*>(target) = colour;
}

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

PlotWidget::Axes PlotWidget::AxesOf(const PlotSeries& s) {
  return {s.xFirst, s.xLast, s.yLow, s.yHigh, s.xLabel, s.yLabel};
}

void PlotWidget::SetSeries(PlotSeries series) {
  const bool sameAxes = AxesOf(series) == AxesOf(series_);
  series_ = std::move(series);
  envelopeStale_ = true;
  if (sameAxes)
    update(BlockRect());
  else
    update();
}

QRect PlotWidget::PlotArea() const {
  const QFontMetrics metrics(font());
  const int line = metrics.height();
  const int labels = metrics.horizontalAdvance("-000.0");
  return QRect(labels + line + 6, line + 4, width() - labels - line - 16, height() - 3 * line - 10);
}

QRect PlotWidget::BlockRect() const {
  const QRect area = PlotArea();
  // From the title's line down to the frame, whose outline lies one pixel
  // beyond the area's right and bottom.
  return QRect(QPoint(area.left(), 0), area.bottomRight() + QPoint(1, 1));
}

void PlotWidget::paintEvent(QPaintEvent* event) {
  const QRect area = PlotArea();
  QPainter painter(this);
  const int line = QFontMetrics(font()).height();
  const QRect title(area.left(), 0, area.width(), line + 2);
  if (BlockRect().contains(event->rect()))
    painter.fillRect(QRect(title.topLeft(), QPoint(area.right() + 1, area.top() - 1)), palette().window());
  else
    DrawMargins(painter, area);
  if (area.width() < 10 || area.height() < 10) return;
  painter.setPen(palette().windowText().color());
  painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter, series_.title);
  DrawArea(painter, area);
  DrawMarker(painter, area);
  painter.setPen(QColor(140, 140, 140));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area);
}

// What stays from block to block: the window's colour around the plotting
// area, the tick labels and the axis labels.
void PlotWidget::DrawMargins(QPainter& painter, const QRect& area) {
  painter.fillRect(rect(), palette().window());
  if (area.width() < 10 || area.height() < 10) return;
  const int line = QFontMetrics(font()).height();
  const PlotSeries& s = series_;
  const double xSpan = s.xLast > s.xFirst ? s.xLast - s.xFirst : 1.0;
  const double ySpan = s.yHigh > s.yLow ? s.yHigh - s.yLow : 1.0;
  auto px = [&](double x) { return area.left() + (x - s.xFirst) / xSpan * area.width(); };
  auto py = [&](double y) { return area.bottom() - (y - s.yLow) / ySpan * area.height(); };
  painter.setPen(palette().windowText().color());
  const double xStep = TickStep(xSpan, std::max(2, area.width() / 90));
  for (double x = std::ceil(s.xFirst / xStep) * xStep; x <= s.xLast + 1e-9 * xSpan; x += xStep)
    painter.drawText(QRectF(px(x) - 40, area.bottom() + 2, 80, line), Qt::AlignHCenter | Qt::AlignTop,
                     TickText(x, xStep));
  const double yStep = TickStep(ySpan, std::max(2, area.height() / 40));
  for (double y = std::ceil(s.yLow / yStep) * yStep; y <= s.yHigh + 1e-9 * ySpan; y += yStep)
    painter.drawText(QRectF(0, py(y) - line / 2.0, area.left() - 4, line), Qt::AlignRight | Qt::AlignVCenter,
                     TickText(y, yStep));
  painter.drawText(QRect(area.left(), area.bottom() + line + 2, area.width(), line + 2), Qt::AlignHCenter, s.xLabel);
  painter.save();
  painter.translate(line / 2.0 + 1, area.center().y());
  painter.rotate(-90);
  painter.drawText(QRectF(-area.height() / 2.0, -line / 2.0, area.height(), line), Qt::AlignHCenter, s.yLabel);
  painter.restore();
}

// The white plotting area with its grid, in device pixels, drawn again only
// when the axes or the size change; the picture on screen starts from it.
void PlotWidget::DrawGrid(const QRect& area) {
  const qreal ratio = devicePixelRatioF();
  const GridKey key{area.size(), ratio, series_.xFirst, series_.xLast, series_.yLow, series_.yHigh};
  if (key == gridKey_ && !grid_.isNull()) return;
  gridKey_ = key;
  drawn_.clear();
  grid_ = QImage(area.size() * ratio, QImage::Format_RGB32);
  grid_.setDevicePixelRatio(ratio);
  grid_.fill(Qt::white);
  QPainter painter(&grid_);
  painter.translate(-area.topLeft());
  const PlotSeries& s = series_;
  const double xSpan = s.xLast > s.xFirst ? s.xLast - s.xFirst : 1.0;
  const double ySpan = s.yHigh > s.yLow ? s.yHigh - s.yLow : 1.0;
  painter.setPen(QColor(220, 220, 220));
  const double xStep = TickStep(xSpan, std::max(2, area.width() / 90));
  for (double x = std::ceil(s.xFirst / xStep) * xStep; x <= s.xLast + 1e-9 * xSpan; x += xStep) {
    const double at = area.left() + (x - s.xFirst) / xSpan * area.width();
    painter.drawLine(QPointF(at, area.top()), QPointF(at, area.bottom()));
  }
  const double yStep = TickStep(ySpan, std::max(2, area.height() / 40));
  for (double y = std::ceil(s.yLow / yStep) * yStep; y <= s.yHigh + 1e-9 * ySpan; y += yStep) {
    const double at = area.bottom() - (y - s.yLow) / ySpan * area.height();
    painter.drawLine(QPointF(area.left(), at), QPointF(area.right(), at));
  }
  painter.end();
  frame_ = grid_.copy();
  drawn_.assign(static_cast<std::size_t>(frame_.width()), Rows{});
}

// The grid and the trace go onto the screen as one picture, which keeps the
// previous block's trace: only the pixels where the two traces differ are
// written, so a trace that hardly moves (a steady tone) costs next to nothing,
// and no pixel costs a call to the painter.
void PlotWidget::DrawArea(QPainter& painter, const QRect& area) {
  DrawGrid(area);
  WriteTrace();
  painter.drawImage(area.topLeft(), frame_);
  if (!gaps_.empty()) {
    // Lines across the columns no point fell in, in the painter's pixels.
    const qreal ratio = frame_.devicePixelRatio();
    painter.save();
    painter.setClipRect(area);
    painter.translate(area.topLeft());
    painter.scale(1.0 / ratio, 1.0 / ratio);
    painter.setPen(QPen(kInk, 1));
    painter.drawLines(gaps_.data(), static_cast<int>(gaps_.size()));
    painter.restore();
  }
}

void PlotWidget::DrawMarker(QPainter& painter, const QRect& area) {
  const PlotSeries& s = series_;
  if (!s.hasMarker || !s.reduce) return;
  const double xSpan = s.xLast > s.xFirst ? s.xLast - s.xFirst : 1.0;
  const double ySpan = s.yHigh > s.yLow ? s.yHigh - s.yLow : 1.0;
  painter.setClipRect(area);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setBrush(QColor(200, 40, 40));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QPointF(area.left() + (s.markerX - s.xFirst) / xSpan * area.width(),
                              area.bottom() - (s.markerY - s.yLow) / ySpan * area.height()),
                      4, 4);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipping(false);
}

// The look of a line through every column's minimum and maximum, written as
// what it covers: each column filled from its minimum to its maximum and on
// to half way to its neighbours' ends. Columns that no point falls in (fewer
// points than columns) are crossed by a line from one point to the next.
void PlotWidget::WriteTrace() {
  gaps_.clear();
  if (!series_.reduce) return;
  const int width = frame_.width();
  const int height = frame_.height();
  const auto columns = static_cast<std::size_t>(width);
  if (envelopeStale_ || envelope_.Columns() != columns) {
    series_.reduce(columns, envelope_);
    envelopeStale_ = false;
  }
  const PlotSeries& s = series_;
  const double ySpan = s.yHigh > s.yLow ? s.yHigh - s.yLow : 1.0;
  auto row = [&](double y) { return std::clamp((height - 1) - (y - s.yLow) / ySpan * height, -1.0, height + 0.0); };
  spans_.clear();
  double lastTop = 0.0;  // where the previous column's stroke ended (its maximum)
  std::size_t last = columns;
  for (std::size_t c = 0; c < columns; ++c) {
    if (envelope_.Empty(c)) continue;
    const double bottom = row(envelope_.low[c]);
    const double top = row(envelope_.high[c]);
    Span span{static_cast<int>(c), std::min(top, bottom), std::max(top, bottom)};
    if (last + 1 == c) {
      // The step from the previous maximum to this minimum, shared half and half.
      const double middle = (lastTop + bottom) / 2.0;
      Span& previous = spans_.back();
      previous.top = std::min(previous.top, middle);
      previous.bottom = std::max(previous.bottom, middle);
      span.top = std::min(span.top, middle);
      span.bottom = std::max(span.bottom, middle);
    } else if (last < columns) {
      gaps_.emplace_back(QPointF(spans_.back().x + 0.5, lastTop + 0.5), QPointF(span.x + 0.5, bottom + 0.5));
    }
    spans_.push_back(span);
    lastTop = top;
    last = c;
  }
  rows_.assign(columns, Rows{});
  for (const Span& span : spans_)
    rows_[static_cast<std::size_t>(span.x)] = {std::max(0, static_cast<int>(std::lround(span.top))),
                                               std::min(height - 1, static_cast<int>(std::lround(span.bottom)))};
  const QRgb ink = kInk.rgb();
  for (std::size_t c = 0; c < columns; ++c) {
    const Rows was = drawn_[c];
    const Rows now = rows_[c];
    const int x = static_cast<int>(c);
    // Back to the grid where only the old trace was, ink where only the new one is.
    CopyRows(grid_, frame_, x, was.from, std::min(was.to, now.from - 1));
    CopyRows(grid_, frame_, x, std::max(was.from, now.to + 1), was.to);
    FillRows(frame_, x, now.from, std::min(now.to, was.from - 1), ink);
    FillRows(frame_, x, std::max(now.from, was.to + 1), now.to, ink);
  }
  drawn_.swap(rows_);
}

}  // namespace varnel::monitor
