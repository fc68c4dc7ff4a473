#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "QtTestSupport.h"
#include "SampleDialog.h"
#include "qt/DialogView.h"
#include "qt/QtCanvas.h"
#include "qt/QtUiServices.h"

namespace varnel::qt {
namespace {

using test::SampleDialog;

template <typename T>
T* Control(DialogWidget& view, int32_t id) {
  T* widget = qobject_cast<T*>(view.ControlWidget(id));
  EXPECT_NE(nullptr, widget) << "control " << id;
  return widget;
}

class DialogWidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }
  SampleDialog model;
  DialogWidget view{model};
};

TEST(DialogUnits, ConvertWithTheDialogFontsBaseUnits) {
  // A gain button of 11 x 10 units, and a meter frame 40 pixels wider than it.
  EXPECT_EQ((ui::Rect{212, 106, 228, 122}), ui::DluRect(141, 65, 11, 10));
  EXPECT_EQ(56, ui::DluRect(141, 65, 11, 10).Width() + 40);  // "about 56 pixels"
  EXPECT_EQ(-3, ui::DluToPixelsX(-2));
  EXPECT_EQ(309, ui::DluToPixelsX(206));
  EXPECT_EQ(401, ui::DluToPixelsY(247));
}

TEST_F(DialogWidgetTest, BuildsOneWidgetOfTheRightKindPerControlAtItsRectangle) {
  EXPECT_EQ(QStringLiteral("Sample Options"), view.windowTitle());
  EXPECT_EQ(QSize(270, 179), view.size());
  EXPECT_EQ(QStringLiteral("Channels"), Control<QGroupBox>(view, SampleDialog::kFrame)->title());
  EXPECT_EQ(QStringLiteral("Name:"), Control<QLabel>(view, SampleDialog::kPrompt)->text());
  EXPECT_EQ(QStringLiteral("&Loud"), Control<QCheckBox>(view, SampleDialog::kLoud)->text());
  EXPECT_TRUE(Control<QComboBox>(view, SampleDialog::kUnits)->isEditable());
  EXPECT_TRUE(Control<QPushButton>(view, ui::kIdOk)->isDefault());
  EXPECT_FALSE(Control<QPushButton>(view, ui::kIdCancel)->isDefault());
  EXPECT_EQ(ToQRect(model.GetRect(SampleDialog::kName)), view.ControlWidget(SampleDialog::kName)->geometry());
  EXPECT_EQ(ToQRect(model.GetRect(ui::kIdOk)), view.ControlWidget(ui::kIdOk)->geometry());
  // A combo box's rectangle includes its list; the closed box is one line.
  QWidget* units = view.ControlWidget(SampleDialog::kUnits);
  EXPECT_EQ(model.GetRect(SampleDialog::kUnits).top, units->y());
  EXPECT_LT(units->height(), model.GetRect(SampleDialog::kUnits).Height());
  EXPECT_EQ(nullptr, view.ControlWidget(999));
}

TEST_F(DialogWidgetTest, ClicksReachTheModelAndCheckBoxesFollowIt) {
  QTest::mouseClick(Control<QCheckBox>(view, SampleDialog::kLoud), Qt::LeftButton);
  EXPECT_TRUE(model.IsTicked(SampleDialog::kLoud));
  EXPECT_EQ(std::vector<int32_t>{SampleDialog::kLoud}, model.commands);
  QTest::mouseClick(Control<QCheckBox>(view, SampleDialog::kLoud), Qt::LeftButton);
  EXPECT_FALSE(model.IsTicked(SampleDialog::kLoud));
  EXPECT_FALSE(Control<QCheckBox>(view, SampleDialog::kLoud)->isChecked());
}

TEST_F(DialogWidgetTest, RadioGroupsExcludeWithinTheirGroupOnly) {
  auto* left0 = Control<QRadioButton>(view, SampleDialog::kLeft0);
  auto* left1 = Control<QRadioButton>(view, SampleDialog::kLeft1);
  auto* right0 = Control<QRadioButton>(view, SampleDialog::kRight0);
  QTest::mouseClick(left0, Qt::LeftButton);
  QTest::mouseClick(right0, Qt::LeftButton);
  QTest::mouseClick(left1, Qt::LeftButton);
  EXPECT_FALSE(model.IsTicked(SampleDialog::kLeft0));
  EXPECT_TRUE(model.IsTicked(SampleDialog::kLeft1));
  EXPECT_TRUE(model.IsTicked(SampleDialog::kRight0));
  EXPECT_FALSE(left0->isChecked());
  EXPECT_TRUE(left1->isChecked());
  EXPECT_TRUE(right0->isChecked());
  // Clicking the ticked button again leaves it ticked, on screen too.
  QTest::mouseClick(left1, Qt::LeftButton);
  EXPECT_TRUE(model.IsTicked(SampleDialog::kLeft1));
  EXPECT_TRUE(left1->isChecked());
}

TEST_F(DialogWidgetTest, TypingAndChoosingBecomeModelEvents) {
  model.SetText(SampleDialog::kName, "");
  QTest::keyClicks(Control<QLineEdit>(view, SampleDialog::kName), "Mic 3");
  EXPECT_EQ("Mic 3", model.GetText(SampleDialog::kName));
  EXPECT_EQ(5u, model.edits.size());

  QTest::mouseClick(Control<QPushButton>(view, SampleDialog::kFill), Qt::LeftButton);
  auto* units = Control<QComboBox>(view, SampleDialog::kUnits);
  ASSERT_EQ(2, units->count());
  EXPECT_EQ(QStringLiteral("Volts"), units->currentText());
  QTest::keyClick(units, Qt::Key_Down);
  EXPECT_EQ(1, model.ListSelection(SampleDialog::kUnits));
  EXPECT_EQ("Millivolts", model.GetText(SampleDialog::kUnits));
  EXPECT_EQ(std::vector<int32_t>{SampleDialog::kUnits}, model.selections);

  // The edit part of the list can be typed into.
  units->lineEdit()->clear();
  QTest::keyClicks(units->lineEdit(), "Pa");
  EXPECT_EQ("Pa", model.GetText(SampleDialog::kUnits));
  EXPECT_EQ(2, units->count());  // typing adds no item
}

TEST_F(DialogWidgetTest, EveryModelChangeShowsAtOnce) {
  model.SetText(SampleDialog::kName, "new label");
  model.SetTicked(SampleDialog::kLoud, true);
  model.Enable(SampleDialog::kName, false);
  model.Show(SampleDialog::kRight1, false);
  model.SetRect(SampleDialog::kFill, ui::Rect{20, 100, 120, 124});
  model.SetText(ui::kIdOk, "&Stop");
  model.SetTitle("Renamed");
  // No event processing in between: the observer updates the widgets directly.
  EXPECT_EQ(QStringLiteral("new label"), Control<QLineEdit>(view, SampleDialog::kName)->text());
  EXPECT_TRUE(Control<QCheckBox>(view, SampleDialog::kLoud)->isChecked());
  EXPECT_FALSE(view.ControlWidget(SampleDialog::kName)->isEnabled());
  EXPECT_TRUE(view.ControlWidget(SampleDialog::kRight1)->isHidden());
  EXPECT_EQ(QRect(20, 100, 100, 24), view.ControlWidget(SampleDialog::kFill)->geometry());
  EXPECT_EQ(QStringLiteral("&Stop"), Control<QPushButton>(view, ui::kIdOk)->text());
  EXPECT_EQ(QStringLiteral("Renamed"), view.windowTitle());
  // A disabled control ignores the user; the widget shows what the model holds.
  model.Enable(SampleDialog::kLoud, false);
  QTest::mouseClick(Control<QCheckBox>(view, SampleDialog::kLoud), Qt::LeftButton);
  EXPECT_TRUE(model.IsTicked(SampleDialog::kLoud));
  EXPECT_TRUE(Control<QCheckBox>(view, SampleDialog::kLoud)->isChecked());
}

TEST_F(DialogWidgetTest, ControlsAddedLaterGetWidgetsWithTheirFinalState) {
  ui::ControlState& added = model.AddControl(200, ui::ControlKind::StaticText, "late", ui::DluRect(10, 76, 40, 8));
  added.enabled = false;  // filled in through the reference, without a notice
  ASSERT_NE(nullptr, view.ControlWidget(200));
  ASSERT_TRUE(test::RunUntil([&] { return !view.ControlWidget(200)->isEnabled(); }));
  // Same id, another kind: a new widget of that kind.
  model.AddControl(200, ui::ControlKind::CheckBox, "late box", ui::DluRect(10, 76, 40, 10));
  EXPECT_NE(nullptr, qobject_cast<QCheckBox*>(view.ControlWidget(200)));
}

TEST_F(DialogWidgetTest, TabOrderIsCreationOrder) {
  view.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  view.ControlWidget(SampleDialog::kName)->setFocus();
  const std::vector<int32_t> expected = {SampleDialog::kName,   SampleDialog::kUnits, SampleDialog::kLoud,
                                         SampleDialog::kLeft0,  SampleDialog::kLeft1, SampleDialog::kRight0,
                                         SampleDialog::kRight1, SampleDialog::kFill,  ui::kIdOk,
                                         ui::kIdCancel,         SampleDialog::kName};
  std::vector<int32_t> visited;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    QWidget* focus = QApplication::focusWidget();
    int32_t id = -1;
    for (QWidget* w = focus; w && id < 0; w = w->parentWidget())
      for (int32_t candidate : model.ControlOrder())
        if (view.ControlWidget(candidate) == w) id = candidate;
    visited.push_back(id);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(expected, visited);
}

TEST(DialogView, OkEndsTheRunWithTheModelsResult) {
  SampleDialog model;
  model.initialName = "Mic 1";
  DialogView view(model);
  test::WhenModal([&](QWidget*) {
    EXPECT_EQ(QStringLiteral("Mic 1"),
              qobject_cast<QLineEdit*>(view.Widget().ControlWidget(SampleDialog::kName))->text());
    QTest::mouseClick(qobject_cast<QPushButton*>(view.Widget().ControlWidget(ui::kIdOk)), Qt::LeftButton);
  });
  EXPECT_EQ(ui::DialogResult::OK, view.Run());
  EXPECT_EQ(1, model.initCount);
  EXPECT_FALSE(view.isVisible());
  EXPECT_EQ(QStringLiteral("Sample Options"), view.windowTitle());
}

TEST(DialogView, EscapeAsksTheModelToCancelAndCanBeRunAgain) {
  SampleDialog model;
  DialogView view(model);
  test::WhenModal([&](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
  EXPECT_EQ(ui::DialogResult::Cancel, view.Run());
  test::WhenModal([&](QWidget*) { view.close(); });  // the title-bar button
  EXPECT_EQ(ui::DialogResult::Cancel, view.Run());
  EXPECT_EQ(2, model.initCount);
}

TEST(DialogView, ARefusedOkKeepsTheDialogOpenWhileAMessageBoxIsAnswered) {
  QtUiServices services;
  SampleDialog model(&services);
  model.initialName = "";
  DialogView view(model);
  std::string boxText;
  test::WhenModal([&](QWidget*) {
    test::WhenModal([&](QWidget* box) {
      auto* message = qobject_cast<QMessageBox*>(box);
      ASSERT_NE(nullptr, message);
      boxText = message->text().toStdString();
      QTest::mouseClick(message->button(QMessageBox::Ok), Qt::LeftButton);
      // Back in the dialog, which is still open: give a name and accept.
      QTimer::singleShot(50, &view, [&] {
        EXPECT_TRUE(view.isVisible());
        QTest::keyClicks(view.Widget().ControlWidget(SampleDialog::kName), "x");
        QTest::mouseClick(qobject_cast<QPushButton*>(view.Widget().ControlWidget(ui::kIdOk)), Qt::LeftButton);
      });
    });
    QTest::mouseClick(qobject_cast<QPushButton*>(view.Widget().ControlWidget(ui::kIdOk)), Qt::LeftButton);
  });
  EXPECT_EQ(ui::DialogResult::OK, view.Run());
  EXPECT_EQ("The name must have at least one character", boxText);
  EXPECT_EQ("x", model.GetText(SampleDialog::kName));
}

TEST(DialogView, AModelThatEndsItselfClosesItsView) {
  SampleDialog model;
  DialogView view(model);
  QTimer::singleShot(50, &view, [&] {
    model.EndDialog(ui::DialogResult::Yes);
    model.SetText(SampleDialog::kName, "z");
  });
  EXPECT_EQ(ui::DialogResult::Yes, view.Run());
}

}  // namespace
}  // namespace varnel::qt

namespace varnel::qt {
namespace {

TEST(DialogWidgetAsMainWindow, CloseAndEscapeAskTheModelWhichMayRefuse) {
  test::SampleDialog model;
  DialogWidget window(model);
  int asked = 0;
  bool allow = false;
  window.SetCloseHandler([&] {
    ++asked;
    if (allow) model.EndDialog(ui::DialogResult::OK);
  });
  std::vector<ui::DialogResult> ended;
  QObject::connect(&window, &DialogWidget::Ended, [&](ui::DialogResult r) { ended.push_back(r); });
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.close();
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(2, asked);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(ended.empty());
  allow = true;
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(3, asked);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(std::vector<ui::DialogResult>{ui::DialogResult::OK}, ended);
}

TEST(DialogWidgetAsMainWindow, EnterPressesTheDefaultButton) {
  test::SampleDialog model;
  model.SetText(test::SampleDialog::kName, "x");
  DialogWidget window(model);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::keyClick(&window, Qt::Key_Return);
  EXPECT_TRUE(model.IsEnded());
  EXPECT_EQ(ui::DialogResult::OK, model.Result());
}

TEST(DialogView, AMainWindowHasMinimiseAndCloseButtons) {
  test::SampleDialog model;
  DialogView view(model);
  view.SetMainWindow(QIcon());
  EXPECT_TRUE(view.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(view.windowFlags() & Qt::WindowCloseButtonHint);
  QTimer::singleShot(20, &view, [&] { QTest::keyClick(&view, Qt::Key_Escape); });
  EXPECT_EQ(ui::DialogResult::Cancel, view.Run());
}

}  // namespace
}  // namespace varnel::qt
