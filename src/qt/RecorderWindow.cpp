#include "qt/RecorderWindow.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "ui/Messages.h"

namespace varnel::qt {

QIcon RecorderIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(32, 48, 64));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 6.0, size / 6.0);
    QPainterPath wave;
    for (int x = 0; x <= size; ++x) {
      const double y = size / 2.0 - size * 0.28 * std::sin(x * 2 * 3.14159265 / size * 1.5);
      x == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
    }
    p.setPen(QPen(QColor(0, 200, 0), std::max(1.0, size / 12.0)));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setBrush(QColor(255, 0, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(size * 0.68, size * 0.12, size * 0.2, size * 0.2));
    icon.addPixmap(pixmap);
  }
  return icon;
}

RecorderWindow::RecorderWindow(RecorderDialog& recorder, ui::MessageLoop& loop) : recorder_(recorder), loop_(loop) {}

void RecorderWindow::Attach(DialogView& view) {
  view_ = &view;
  view.SetMainWindow(RecorderIcon());
  DialogWidget& widget = view.Widget();
  widget.SetSunken(kIdStatus, true);
  // The title-bar close button runs the close sequence: stop, save the files,
  // then the settings.
  widget.SetCloseHandler([this] { loop_.Post({ui::WM_CLOSE, 0, 0}); });
  host_ = std::make_unique<QtWindowHost>(view);
  recorder_.SetWindowHost(host_.get());
  recorder_.onWindowFitted = [this] { FitWindow(); };
  recorder_.onMetersChanged = [this] { DrawMeters(); };
  FitWindow();
}

void RecorderWindow::FitWindow() {
  if (!view_) return;
  const ui::Rect& r = recorder_.WindowRect();
  view_->Widget().SetClientSize(r.Width(), r.Height());
  // The meters of rows a device with fewer channels no longer shows go too.
  view_->Widget().Canvas().Clear();
  DrawMeters();
}

void RecorderWindow::DrawMeters() {
  if (!view_ || view_->isMinimized()) return;
  recorder_.DrawLevelMeters(view_->Widget().Canvas());
}

}  // namespace varnel::qt
