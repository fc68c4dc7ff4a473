#include "qt/QtWindowHost.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "QtTestSupport.h"
#include "SampleDialog.h"
#include "platform/Profile.h"
#include "qt/DialogWidget.h"
#include "support/TempDir.h"

namespace varnel::qt {
namespace {

TEST(QtWindowHost, ThePlacementIsSavedAndRestoredThroughTheSettingsFile) {
  test::TempDir dir;
  const std::string settings = dir.File("varnel.ini");
  test::SampleDialog model;
  {
    DialogWidget window(model);
    window.move(40, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QtWindowHost host(window);
    const WindowPlacement placement = host.GetPlacement();
    EXPECT_EQ(1, placement.showCmd);
    EXPECT_EQ(window.frameGeometry().left(), placement.normal.left);
    EXPECT_EQ(window.frameGeometry().top(), placement.normal.top);
    EXPECT_EQ(window.frameGeometry().width(), placement.normal.Width());
    EXPECT_EQ(window.frameGeometry().height(), placement.normal.Height());
    const ui::Rect desktop = host.DesktopRect();
    EXPECT_GT(desktop.Width(), 0);
    EXPECT_GT(desktop.Height(), 0);
    SaveWindowPosition(settings, host);
  }
  DialogWidget window(model);
  QtWindowHost host(window);
  RestoreWindowPosition(settings, host);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(QPoint(40, 30), window.frameGeometry().topLeft());
  EXPECT_EQ(DialogClientSize(model), window.size());  // never resized by a placement
}

TEST(QtWindowHost, AWindowClosedMinimisedStartsMinimisedAtItsNormalPlace) {
  test::SampleDialog model;
  DialogWidget window(model);
  QtWindowHost host(window);
  WindowPlacement placement;
  placement.showCmd = 2;
  placement.normal = ui::Rect{25, 35, 25 + 300, 35 + 200};
  host.ApplyPlacement(placement);
  EXPECT_TRUE(window.windowState() & Qt::WindowMinimized);
  const WindowPlacement read = host.GetPlacement();
  EXPECT_EQ(2, read.showCmd);
  EXPECT_EQ(25, read.normal.left);
  EXPECT_EQ(35, read.normal.top);
  placement.showCmd = 1;
  host.ApplyPlacement(placement);
  EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
}

}  // namespace
}  // namespace varnel::qt
