#pragma once
// The view of one ui::Dialog: one widget per control, placed at the model's
// rectangles, showing every state change as the model reports it and handing
// every user action back as the model's event (Click, TypeText, ChooseItem).
// Widgets never keep state of their own that the model does not have.
//
// A DialogWidget is a plain QWidget, so it can be the main window itself;
// DialogView wraps it in a QDialog for modal runs. It observes the model for
// as long as it lives (a model has one observer, so one view at a time).
//
// Main thread only. The model must outlive the widget.

#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "qt/QtCanvas.h"
#include "ui/Dialog.h"

class QAbstractButton;
class QComboBox;

namespace varnel::qt {

// The model's pixel rectangle of a dialog of this many dialog units.
QSize DialogClientSize(const ui::Dialog& model);

class DialogWidget : public QWidget, public ui::ControlObserver {
  Q_OBJECT

 public:
  explicit DialogWidget(ui::Dialog& model, QWidget* parent = nullptr);
  ~DialogWidget() override;

  ui::Dialog& Model() { return model_; }
  // The widget of a control, nullptr for an unknown id.
  QWidget* ControlWidget(int32_t id) const;

  // The client area in model pixels; from the dialog's size in dialog units
  // until set otherwise (the main window fits itself to the board).
  void SetClientSize(int width, int height);
  QSize ClientSize() const { return clientSize_; }

  // Where logic paints (level meters). See QtCanvas.h.
  RetainedCanvas& Canvas() { return canvas_; }

  // A static text drawn as a sunken panel (the status line).
  void SetSunken(int32_t id, bool sunken);

  // What the title-bar button and Escape ask of the model. By default the
  // model's cancel (as a dialog's close box sends it); the main window may
  // post its close message instead.
  void SetCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }
  void RequestClose();

  // Copies every control's state onto its widget.
  void SyncAll();
  // Emits Ended once the model has ended; true when it has.
  bool CheckEnded();

  // ui::ControlObserver
  void ControlChanged(int32_t id) override;
  void ControlsRebuilt() override;

 signals:
  void Ended(ui::DialogResult result);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct View {
    ui::ControlKind kind;
    std::unique_ptr<QWidget> widget;
  };
  void BuildMissing();
  std::unique_ptr<QWidget> Create(const ui::ControlState& state);
  void Sync(int32_t id);
  void SyncGeometry(const ui::ControlState& state, QWidget& widget);
  void SyncFieldText(const ui::ControlState& state, QComboBox& combo);
  static void FitListWidth(QComboBox& combo);
  void ApplyTitle();
  void ApplyTabOrder();
  void AfterUserEvent(int32_t id);
  void CheckEndedLater();
  void ClickDefault();

  ui::Dialog& model_;
  std::map<int32_t, View> views_;
  RetainedCanvas canvas_;
  QSize clientSize_;
  std::function<void()> closeHandler_;
  bool endReported_ = false;
  bool endCheckQueued_ = false;
  bool syncQueued_ = false;
  int applying_ = 0;  // > 0 while model state is copied onto widgets
};

}  // namespace varnel::qt
