#include "qt/DialogView.h"

#include <QKeyEvent>

#include <QIcon>
#include <QVBoxLayout>

namespace varnel::qt {

DialogView::DialogView(ui::Dialog& model, QWidget* parent) : QDialog(parent) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  auto* layout = new QVBoxLayout(this);  // owned by the dialog
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  widget_ = new DialogWidget(model, this);  // owned by the dialog
  layout->addWidget(widget_);
  connect(widget_, &DialogWidget::Ended, this, [this](ui::DialogResult result) { done(static_cast<int>(result)); });
}

ui::DialogResult DialogView::Run() {
  ui::Dialog& model = widget_->Model();
  model.ResetResult();
  widget_->CheckEnded();  // forget an end reported by an earlier run
  model.OnInitDialog();
  widget_->SyncAll();
  if (!model.IsEnded()) exec();
  return model.IsEnded() ? model.Result() : ui::DialogResult::Cancel;
}

void DialogView::SetMainWindow(const QIcon& icon) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(icon);
}

void DialogView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (!widget_->Model().IsEnded()) widget_->Model().OnCancel();
    widget_->CheckEnded();
    return;
  }
  QDialog::keyPressEvent(event);
}

void DialogView::reject() {
  // The model decides; a dialog that refuses to end stays open.
  if (!widget_->Model().IsEnded()) widget_->RequestClose();
}

}  // namespace varnel::qt
