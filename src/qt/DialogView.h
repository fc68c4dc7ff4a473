#pragma once
// A modal QDialog around a DialogWidget: the run of one ui::Dialog.
//
// Main thread only. The model must outlive the view.

#include <QDialog>

#include "qt/DialogWidget.h"

namespace varnel::qt {

class DialogView : public QDialog {
  Q_OBJECT

 public:
  explicit DialogView(ui::Dialog& model, QWidget* parent = nullptr);

  DialogWidget& Widget() { return *widget_; }

  // A main window rather than a dialog: minimise and close buttons, and the
  // title-bar icon of the program.
  void SetMainWindow(const QIcon& icon);

  // Initialises the model, shows the dialog and runs a nested event loop
  // until the model ends; posted messages and timers keep being dispatched
  // meanwhile. Returns the model's result (Cancel if the view was closed
  // without one).
  ui::DialogResult Run();

 public slots:
  void reject() override;  // the title-bar button

 protected:
  // Escape is the dialog's cancel command, which a main window may ignore;
  // it is not the close command.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  DialogWidget* widget_;  // owned as a child
};

}  // namespace varnel::qt
