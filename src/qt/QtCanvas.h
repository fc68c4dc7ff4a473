#pragma once
// Painting from the ui model onto widgets.
//
// QtCanvas draws straight onto a QPainter; it lives only inside a paint event.
// RetainedCanvas is what logic holds: it may be painted at any time (after
// every buffer, from an Enable click), keeps the drawing as a short list of
// operations, asks its widget to repaint exactly the rectangles drawn, and
// replays the list whenever the widget paints. Coordinates are the model's
// pixels, which are the widget's logical pixels, so the drawing scales with
// the device-pixel ratio like the controls do.
//
// Main thread only.

#include <QColor>
#include <QRect>
#include <vector>

#include "ui/Canvas.h"

class QPainter;
class QWidget;

namespace varnel::qt {

QRect ToQRect(const ui::Rect& rect);
QColor ToQColor(ui::Rgb colour);

class QtCanvas : public ui::Canvas {
 public:
  explicit QtCanvas(QPainter& painter) : painter_(painter) {}
  void FrameRect(const ui::Rect& rect, ui::Rgb colour) override;
  void FillRect(const ui::Rect& rect, ui::Rgb colour) override;

 private:
  QPainter& painter_;
};

class RetainedCanvas : public ui::Canvas {
 public:
  explicit RetainedCanvas(QWidget& target) : target_(target) {}
  void FrameRect(const ui::Rect& rect, ui::Rgb colour) override;
  void FillRect(const ui::Rect& rect, ui::Rgb colour) override;

  void Replay(ui::Canvas& onto) const;
  void Clear();
  std::size_t OperationCount() const { return operations_.size(); }

 private:
  struct Operation {
    bool frame;
    ui::Rect rect;
    ui::Rgb colour;
  };
  void Add(const Operation& operation);

  QWidget& target_;
  // Only what is still visible: a fill drops everything it covers, a frame the
  // same frame drawn before, so repainting the meters never grows the list.
  std::vector<Operation> operations_;
};

}  // namespace varnel::qt
