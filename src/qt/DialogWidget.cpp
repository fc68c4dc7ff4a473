#include "qt/DialogWidget.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>

#include "ui/DialogUnits.h"
#include "ui/ShortName.h"

namespace varnel::qt {
namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromStdString(text);
}

// Copying state onto a widget must not echo back into the model.
class ApplyingScope {
 public:
  explicit ApplyingScope(int& depth) : depth_(depth) { ++depth_; }
  ~ApplyingScope() { --depth_; }

 private:
  int& depth_;
};

bool IsButton(ui::ControlKind kind) {
  return kind == ui::ControlKind::PushButton || kind == ui::ControlKind::DefaultPushButton ||
         kind == ui::ControlKind::CheckBox || kind == ui::ControlKind::RadioButton;
}

// Static texts show '&' as a mnemonic marker, as buttons do; Qt labels
// would print it, so drop single ones and keep "&&" as one '&'.
QString StaticText(const std::string& text) {
  QString out;
  const QString in = FromUtf8(text);
  for (qsizetype i = 0; i < in.size(); ++i) {
    if (in[i] == u'&' && i + 1 < in.size()) ++i;
    out += in[i];
  }
  return out;
}

}  // namespace

QSize DialogClientSize(const ui::Dialog& model) {
  return QSize(ui::DluToPixelsX(model.WidthDlu()), ui::DluToPixelsY(model.HeightDlu()));
}

DialogWidget::DialogWidget(ui::Dialog& model, QWidget* parent)
    : QWidget(parent), model_(model), canvas_(*this), clientSize_(DialogClientSize(model)) {
  closeHandler_ = [this] { model_.OnCancel(); };
  QFont dialogFont = font();
  dialogFont.setPixelSize(ui::kDialogFontPixelSize);
  setFont(dialogFont);
  setFixedSize(clientSize_);
  model_.SetObserver(this);
  BuildMissing();
  ApplyTitle();
}

DialogWidget::~DialogWidget() {
  model_.SetObserver(nullptr);
}

QWidget* DialogWidget::ControlWidget(int32_t id) const {
  auto it = views_.find(id);
  return it == views_.end() ? nullptr : it->second.widget.get();
}

void DialogWidget::SetClientSize(int width, int height) {
  clientSize_ = QSize(width, height);
  setFixedSize(clientSize_);
}

void DialogWidget::SetSunken(int32_t id, bool sunken) {
  if (auto* label = qobject_cast<QLabel*>(ControlWidget(id))) {
    label->setFrameStyle(sunken ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
  }
}

void DialogWidget::RequestClose() {
  if (closeHandler_) closeHandler_();
  CheckEnded();
}

bool DialogWidget::CheckEnded() {
  if (!model_.IsEnded()) {
    endReported_ = false;  // a model can be run again after ResetResult
    return false;
  }
  if (!endReported_) {
    endReported_ = true;
    emit Ended(model_.Result());
    // A top-level view goes away with its model; DialogView ends its own run.
    if (isWindow() && isVisible()) close();
  }
  return true;
}

void DialogWidget::CheckEndedLater() {
  if (endCheckQueued_) return;
  endCheckQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    endCheckQueued_ = false;
    CheckEnded();
  });
}

void DialogWidget::ControlChanged(int32_t id) {
  if (id == 0) {
    ApplyTitle();
  } else {
    Sync(id);
  }
  // Whatever changed a control may also have ended the dialog.
  CheckEndedLater();
}

void DialogWidget::ControlsRebuilt() {
  BuildMissing();
  // AddControl hands out a reference that callers fill in without a notice;
  // look again once they are done.
  if (syncQueued_) return;
  syncQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    syncQueued_ = false;
    SyncAll();
  });
}

void DialogWidget::BuildMissing() {
  bool added = false;
  for (int32_t id : model_.ControlOrder()) {
    const ui::ControlState& state = model_.Control(id);
    auto it = views_.find(id);
    if (it != views_.end() && it->second.kind == state.kind) continue;
    views_[id] = View{state.kind, Create(state)};
    added = true;
    Sync(id);
  }
  if (added) ApplyTabOrder();
}

std::unique_ptr<QWidget> DialogWidget::Create(const ui::ControlState& state) {
  const int32_t id = state.id;
  std::unique_ptr<QWidget> widget;
  switch (state.kind) {
    case ui::ControlKind::PushButton:
    case ui::ControlKind::DefaultPushButton: {
      auto button = std::make_unique<QPushButton>(this);
      button->setAutoDefault(false);
      button->setDefault(state.kind == ui::ControlKind::DefaultPushButton);
      widget = std::move(button);
      break;
    }
    case ui::ControlKind::CheckBox:
      widget = std::make_unique<QCheckBox>(this);
      break;
    case ui::ControlKind::RadioButton: {
      // The model runs the radio groups; Qt's own exclusion would join all
      // radio buttons of one parent into a single group.
      auto radio = std::make_unique<QRadioButton>(this);
      radio->setAutoExclusive(false);
      widget = std::move(radio);
      break;
    }
    case ui::ControlKind::Edit: {
      auto edit = std::make_unique<QLineEdit>(this);
      connect(edit.get(), &QLineEdit::textEdited, this, [this, id](const QString& text) {
        if (applying_) return;
        model_.TypeText(id, text.toStdString());
        AfterUserEvent(id);
      });
      widget = std::move(edit);
      break;
    }
    case ui::ControlKind::ComboBox: {
      // Every drop-down list of this program can be typed into.
      auto combo = std::make_unique<QComboBox>(this);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      connect(combo.get(), &QComboBox::activated, this, [this, id](int index) {
        if (applying_) return;
        model_.ChooseItem(id, index);
        AfterUserEvent(id);
      });
      connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, id](const QString& text) {
        if (applying_) return;
        model_.TypeText(id, text.toStdString());
        AfterUserEvent(id);
      });
      widget = std::move(combo);
      break;
    }
    case ui::ControlKind::StaticText: {
      auto label = std::make_unique<QLabel>(this);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      widget = std::move(label);
      break;
    }
    case ui::ControlKind::GroupBox: {
      auto group = std::make_unique<QGroupBox>(this);
      group->setFocusPolicy(Qt::NoFocus);
      widget = std::move(group);
      break;
    }
  }
  if (IsButton(state.kind)) {
    connect(static_cast<QAbstractButton*>(widget.get()), &QAbstractButton::clicked, this, [this, id] {
      if (applying_) return;
      model_.Click(id);
      AfterUserEvent(id);
    });
  }
  widget->setObjectName(QStringLiteral("control%1").arg(id));
  widget->show();
  // A frame lies beneath the controls it surrounds, whatever the creation order.
  if (state.kind == ui::ControlKind::GroupBox) widget->lower();
  return widget;
}

void DialogWidget::AfterUserEvent(int32_t id) {
  // The model may have refused the change (a disabled box, a ticked radio
  // button clicked again): show what it holds, not what the widget guessed.
  Sync(id);
  CheckEnded();
}

void DialogWidget::SyncAll() {
  for (int32_t id : model_.ControlOrder()) Sync(id);
  ApplyTitle();
}

void DialogWidget::Sync(int32_t id) {
  auto it = views_.find(id);
  if (it == views_.end() || !model_.Has(id)) return;
  if (it->second.kind != model_.Control(id).kind) {
    BuildMissing();
    return;
  }
  const ui::ControlState& state = model_.Control(id);
  QWidget& widget = *it->second.widget;
  ApplyingScope scope(applying_);
  const QString text = FromUtf8(state.text);
  switch (state.kind) {
    case ui::ControlKind::PushButton:
    case ui::ControlKind::DefaultPushButton:
    case ui::ControlKind::CheckBox:
    case ui::ControlKind::RadioButton: {
      auto& button = static_cast<QAbstractButton&>(widget);
      if (button.text() != text) button.setText(text);
      if (state.kind == ui::ControlKind::CheckBox || state.kind == ui::ControlKind::RadioButton) {
        button.setChecked(state.ticked);
      }
      break;
    }
    case ui::ControlKind::Edit: {
      auto& edit = static_cast<QLineEdit&>(widget);
      if (edit.text() != text) edit.setText(text);
      break;
    }
    case ui::ControlKind::ComboBox: {
      auto& combo = static_cast<QComboBox&>(widget);
      bool same = combo.count() == static_cast<int>(state.items.size());
      for (int i = 0; same && i < combo.count(); ++i)
        same = combo.itemText(i) == FromUtf8(state.items[static_cast<std::size_t>(i)].text);
      if (!same) {
        combo.clear();
        for (const ui::ListItem& item : state.items) combo.addItem(FromUtf8(item.text));
        FitListWidth(combo);
      }
      if (combo.currentIndex() != state.selection) combo.setCurrentIndex(state.selection);
      break;
    }
    case ui::ControlKind::StaticText: {
      auto& label = static_cast<QLabel&>(widget);
      const QString shown = StaticText(state.text);
      if (label.text() != shown) label.setText(shown);
      break;
    }
    case ui::ControlKind::GroupBox: {
      auto& group = static_cast<QGroupBox&>(widget);
      const QString shown = StaticText(state.text);
      if (group.title() != shown) group.setTitle(shown);
      break;
    }
  }
  widget.setEnabled(state.enabled);
  widget.setHidden(!state.shown);
  SyncGeometry(state, widget);
  // The closed field's room is known once the widget has its size.
  if (state.kind == ui::ControlKind::ComboBox) SyncFieldText(state, static_cast<QComboBox&>(widget));
}

// A chosen entry too long for the closed field shows its end, which tells one
// device from another, with the whole name as the tooltip; typed text shows
// as typed.
void DialogWidget::SyncFieldText(const ui::ControlState& state, QComboBox& combo) {
  const QString text = FromUtf8(state.text);
  QString shown = text;
  const auto selection = static_cast<std::size_t>(state.selection);
  if (state.selection >= 0 && selection < state.items.size() && state.items[selection].text == state.text) {
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    option.frame = combo.hasFrame();
    // QLineEdit keeps two pixels free on either side of its text.
    const int room =
        combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo).width() - 4;
    const QFontMetrics metrics(combo.lineEdit() ? combo.lineEdit()->font() : combo.font());
    shown = FromUtf8(ui::ShortName(state.text, [&](std::string_view part) {
      return metrics.horizontalAdvance(FromUtf8(std::string(part))) <= room;
    }));
  }
  if (combo.currentText() != shown) {
    combo.setEditText(shown);
    if (combo.lineEdit()) combo.lineEdit()->setCursorPosition(0);
  }
  combo.setToolTip(shown != text ? text : QString());
}

// The open list is as wide as its longest entry, whatever the closed field's width.
void DialogWidget::FitListWidth(QComboBox& combo) {
  QAbstractItemView* list = combo.view();
  const QFontMetrics metrics(list->font());
  int widest = 0;
  for (int i = 0; i < combo.count(); ++i) widest = std::max(widest, metrics.horizontalAdvance(combo.itemText(i)));
  const int margins =
      2 * list->frameWidth() + combo.style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * metrics.averageCharWidth();
  list->setMinimumWidth(widest + margins);
}

void DialogWidget::SyncGeometry(const ui::ControlState& state, QWidget& widget) {
  QRect rect = ToQRect(state.rect);
  if (state.kind == ui::ControlKind::ComboBox) {
    // A combo box's rectangle includes its dropped-down list; the closed box
    // is one line high.
    const int lineHeight = widget.sizeHint().height();
    if (rect.height() <= 0 || rect.height() > lineHeight) rect.setHeight(lineHeight);
  }
  if (widget.geometry() != rect) widget.setGeometry(rect);
}

void DialogWidget::ApplyTitle() {
  const QString title = FromUtf8(model_.Title());
  if (window()->windowTitle() != title) window()->setWindowTitle(title);
}

void DialogWidget::ApplyTabOrder() {
  QWidget* previous = nullptr;
  for (int32_t id : model_.ControlOrder()) {
    QWidget* widget = ControlWidget(id);
    if (!widget || widget->focusPolicy() == Qt::NoFocus) continue;
    if (previous) setTabOrder(previous, widget);
    previous = widget;
  }
}

void DialogWidget::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  QtCanvas canvas(painter);
  canvas_.Replay(canvas);
}

void DialogWidget::closeEvent(QCloseEvent* event) {
  if (!model_.IsEnded()) RequestClose();
  if (model_.IsEnded()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void DialogWidget::ClickDefault() {
  QWidget* focused = focusWidget();
  for (int32_t id : model_.ControlOrder()) {
    const ui::ControlState& state = model_.Control(id);
    const bool isPush = state.kind == ui::ControlKind::PushButton || state.kind == ui::ControlKind::DefaultPushButton;
    if (isPush && focused == ControlWidget(id)) {
      model_.Click(id);
      AfterUserEvent(id);
      return;
    }
  }
  for (int32_t id : model_.ControlOrder()) {
    if (model_.Control(id).kind == ui::ControlKind::DefaultPushButton) {
      model_.Click(id);
      AfterUserEvent(id);
      return;
    }
  }
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
  // Inside a QDialog the dialog handles these keys; a top-level view does
  // what a dialog would.
  if (isWindow() && event->modifiers() == Qt::NoModifier) {
    if (event->key() == Qt::Key_Escape) {
      RequestClose();
      return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      ClickDefault();
      return;
    }
  }
  QWidget::keyPressEvent(event);
}

}  // namespace varnel::qt
