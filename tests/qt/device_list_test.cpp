// The device list as a user reads it: the open list as wide as its longest
// name, the closed field showing the end of a name too long for it (which
// tells one device from another) with the whole name as its tooltip.

#include <gtest/gtest.h>

#include "app/RecorderApp.h"
#include "app/RecorderDialog.h"
#include "boards/BoardSet.h"
#include "boards/sim/SimulatedBoard.h"
#include "support/TempDir.h"
#include "transport/dbus/DbusTransport.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTimer>

#include "DeviceFieldDialog.h"
#include "QtTestSupport.h"
#include "qt/DialogWidget.h"
#include "qt/QtMessageLoop.h"
#include "qt/QtUiServices.h"
#include "qt/RecorderWindow.h"
#include "ui/DialogUnits.h"

namespace varnel {
namespace {

using test::DeviceFieldDialog;
using test::kShortName;
using test::kSimulatedName;
using test::kSoundCardName;

QString Shown(QComboBox* combo) {
  return combo->lineEdit()->text();
}

int FieldRoom(QComboBox* combo) {
  QStyleOptionComboBox option;
  option.initFrom(combo);
  option.editable = true;
  option.frame = combo->hasFrame();
  return combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width() - 4;
}

TEST(DeviceList, ALongNameShowsItsEndInTheFieldAndWholeInTheListAndTooltip) {
  DeviceFieldDialog model;
  qt::DialogWidget view(model);
  view.show();
  auto* combo = qobject_cast<QComboBox*>(view.ControlWidget(DeviceFieldDialog::kList));
  ASSERT_NE(nullptr, combo);
  const QFontMetrics metrics(combo->lineEdit()->font());

  struct Case {
    const char* name;
    const char* end;  // what the field must still show
  } cases[] = {{kSoundCardName, "(hw:CODEC,0)"}, {kSimulatedName, "DT9834(00)"}};
  for (const Case& c : cases) {
    model.SelectListItem(DeviceFieldDialog::kList, c.name == kSimulatedName ? 0 : 1);
    SCOPED_TRACE(c.name);
    ASSERT_GT(metrics.horizontalAdvance(c.name), FieldRoom(combo)) << "the name must be too long for the field";
    EXPECT_TRUE(Shown(combo).startsWith(QStringLiteral("…"))) << Shown(combo).toStdString();
    EXPECT_TRUE(Shown(combo).endsWith(c.end)) << Shown(combo).toStdString();
    EXPECT_LE(metrics.horizontalAdvance(Shown(combo)), FieldRoom(combo));
    EXPECT_EQ(QString(c.name), combo->toolTip());
    EXPECT_EQ(c.name, model.GetText(DeviceFieldDialog::kList)) << "the model keeps the whole name";
  }

  // The open list fits its longest name, beyond the field's own width.
  combo->showPopup();
  ASSERT_TRUE(test::RunUntil([&] { return combo->view()->isVisible(); }));
  const QWidget* list = combo->view()->window();
  EXPECT_GT(list->width(), combo->width());
  EXPECT_GE(combo->view()->viewport()->width(), combo->view()->fontMetrics().horizontalAdvance(kSoundCardName));
  combo->hidePopup();

  // A name that fits shows whole, without a tooltip; typing shows as typed.
  model.ChooseItem(DeviceFieldDialog::kList, 2);
  EXPECT_EQ(QString(kShortName), Shown(combo));
  EXPECT_TRUE(combo->toolTip().isEmpty());
  model.TypeText(DeviceFieldDialog::kList, "USB Audio CODEC: USB Audio typed by hand");
  EXPECT_EQ(QStringLiteral("USB Audio CODEC: USB Audio typed by hand"), Shown(combo));

  // The layout stays: the field keeps its width.
  EXPECT_EQ(DeviceFieldDialog::kListRect.Width(), combo->width());
}

// The lowest edge a canvas was asked to draw.
struct MeterBounds : ui::Canvas {
  void FrameRect(const ui::Rect& rect, ui::Rgb) override { bottom = std::max(bottom, rect.bottom); }
  void FillRect(const ui::Rect& rect, ui::Rgb) override { bottom = std::max(bottom, rect.bottom); }
  int32_t bottom = 0;
};

// The README's picture: the main window with a sound card's long name chosen
// and the list open. The second board stands in for a USB audio interface,
// named as the ALSA boards name one.
TEST(Screenshot, TheDeviceListWithASoundCardsLongName) {
  test::TempDir dir;
  test::WriteFile(dir.File("olsim.ini"), "[Boards]\nCount=1\n");
  test::WriteFile(dir.File("card.ini"),
                  std::string("[Boards]\nCount=1\n[Board0]\nName=") + kSoundCardName + "\nChannels=2\n");
  test::WriteFile(dir.File("orvantis.ini"), "[DDE]\nServerName=\n");
  RecorderApp app;
  app.SetProgramFile(dir.File("varnel"));
  qt::QtMessageLoop loop;
  qt::QtUiServices ui(&loop);
  std::vector<boards::BoardKind> kinds;
  kinds.push_back({sim::MakeSimulatedBoard(dir.File("olsim.ini")), "Simulated ", {}});
  kinds.push_back({sim::MakeSimulatedBoard(dir.File("card.ini")), "", {}});
  RecorderServices services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = std::make_unique<boards::BoardSet>(std::move(kinds));
  services.transport = MakeDbusTransport();
  services.app = &app;
  RecorderDialog recorder(std::move(services));
  loop.SetHandler(&recorder);
  qt::RecorderWindow window(recorder, loop);
  qt::DialogView* view = nullptr;
  ui.SetViewConfigurator([&](ui::Dialog& d, qt::DialogView& v) {
    if (&d != &recorder) return;
    view = &v;
    window.Attach(v);
  });
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(test::RunUntil([&] { return view && view->isVisible(); }));
    auto* combo = qobject_cast<QComboBox*>(view->Widget().ControlWidget(kIdDeviceList));
    ASSERT_NE(nullptr, combo);
    recorder.ChooseItem(kIdDeviceList, 1);
    EXPECT_TRUE(Shown(combo).endsWith(QStringLiteral("(hw:CODEC,0)"))) << Shown(combo).toStdString();
    // Two channels: no meter of the sixteen rows before is left below the grid.
    MeterBounds meters;
    view->Widget().Canvas().Replay(meters);
    EXPECT_LT(meters.bottom, recorder.GetRect(kIdStatus).top);
    combo->showPopup();
    ASSERT_TRUE(test::RunUntil([&] { return combo->view()->isVisible(); }));
    QTest::qWait(50);
    // The window with the open list drawn where it lies over and beside it.
    QWidget* list = combo->view()->window();
    const QRect windowRect(view->mapToGlobal(QPoint(0, 0)), view->size());
    const QRect listRect(list->mapToGlobal(QPoint(0, 0)), list->size());
    const QRect all = windowRect.united(listRect);
    QImage picture(all.size() * view->devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(view->devicePixelRatio());
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.drawPixmap(windowRect.topLeft() - all.topLeft(), view->grab());
    painter.drawPixmap(listRect.topLeft() - all.topLeft(), list->grab());
    painter.end();
    const QString path = test::ScreenshotPath("main-window-device-list");
    EXPECT_TRUE(picture.save(path)) << path.toStdString();
    combo->hidePopup();
    view->close();
  });
  ui.RunModal(recorder);
  loop.SetHandler(nullptr);
}

}  // namespace
}  // namespace varnel
