#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QPaintEvent>
#include <QTest>

#include "QtTestSupport.h"
#include "SampleDialog.h"
#include "qt/DialogView.h"
#include "qt/QtCanvas.h"

namespace varnel::qt {
namespace {

constexpr ui::Rgb kBlack{0, 0, 0};
constexpr ui::Rgb kGrey{128, 128, 128};
constexpr ui::Rgb kGreen{0, 200, 0};
constexpr ui::Rgb kYellow{255, 255, 0};
constexpr ui::Rgb kRed{255, 0, 0};

// A meter the way the main window draws them: frame, grey inside, then the bar.
void DrawMeter(ui::Canvas& canvas, const ui::Rect& frame, int level, bool enabled = true) {
  canvas.FrameRect(frame, kBlack);
  ui::Rect inner{frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
  canvas.FillRect(inner, kGrey);
  if (!enabled || level <= frame.Width()) return;
  inner.right -= 100 - level;
  canvas.FillRect(inner, level == 100 ? kRed : level >= 95 ? kYellow : kGreen);
}

ui::Rect MeterFrame(int row) {
  return ui::Rect{170, 80 + 14 * row, 227, 90 + 14 * row};
}

QColor PixelAt(const QImage& image, qreal dpr, int x, int y) {
  return image.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
}

class PaintRegions : public QObject {
 public:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted |= static_cast<QPaintEvent*>(event)->region();
    return false;
  }
  QRegion painted;
};

class CanvasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }
  QImage Grab() { return view.grab().toImage(); }
  test::SampleDialog model;
  DialogWidget view{model};
};

TEST_F(CanvasTest, MetersShowTheirColoursInsideABlackFrame) {
  DrawMeter(view.Canvas(), MeterFrame(0), 100);
  DrawMeter(view.Canvas(), MeterFrame(1), 96);
  DrawMeter(view.Canvas(), MeterFrame(2), 80);
  DrawMeter(view.Canvas(), MeterFrame(3), 30);  // at or below the width: empty box
  const QImage image = Grab();
  const qreal dpr = view.devicePixelRatioF();
  const ui::Rect f = MeterFrame(0);
  EXPECT_EQ(QColor(0, 0, 0), PixelAt(image, dpr, f.left, f.top));
  EXPECT_EQ(QColor(0, 0, 0), PixelAt(image, dpr, f.right - 1, f.bottom - 1));
  EXPECT_NE(QColor(0, 0, 0), PixelAt(image, dpr, f.right, f.bottom));  // right and bottom exclusive
  EXPECT_EQ(QColor(255, 0, 0), PixelAt(image, dpr, f.right - 2, f.top + 3));
  EXPECT_EQ(QColor(255, 255, 0), PixelAt(image, dpr, MeterFrame(1).left + 3, MeterFrame(1).top + 3));
  EXPECT_EQ(QColor(128, 128, 128), PixelAt(image, dpr, MeterFrame(1).right - 2, MeterFrame(1).top + 3));
  EXPECT_EQ(QColor(0, 200, 0), PixelAt(image, dpr, MeterFrame(2).left + 3, MeterFrame(2).top + 3));
  EXPECT_EQ(QColor(128, 128, 128), PixelAt(image, dpr, MeterFrame(3).left + 3, MeterFrame(3).top + 3));
}

TEST_F(CanvasTest, RedrawingMetersRepaintsOnlyTheMeterColumnAndKeepsTheListShort) {
  for (int row = 0; row < 4; ++row) DrawMeter(view.Canvas(), MeterFrame(row), 90);
  const std::size_t operations = view.Canvas().OperationCount();
  QTest::qWait(20);
  PaintRegions regions;
  view.installEventFilter(&regions);
  for (int buffer = 0; buffer < 20; ++buffer)
    for (int row = 0; row < 4; ++row) DrawMeter(view.Canvas(), MeterFrame(row), 60 + buffer + row);
  ASSERT_TRUE(test::RunUntil([&] { return !regions.painted.isEmpty(); }));
  QTest::qWait(20);
  const QRect column(170, 80, 57, 14 * 3 + 10);
  EXPECT_TRUE(column.contains(regions.painted.boundingRect()))
      << regions.painted.boundingRect().x() << "," << regions.painted.boundingRect().y() << " "
      << regions.painted.boundingRect().width() << "x" << regions.painted.boundingRect().height();
  EXPECT_EQ(operations, view.Canvas().OperationCount());

  // A disabled row goes back to the empty grey box.
  DrawMeter(view.Canvas(), MeterFrame(2), 99, false);
  QTest::qWait(20);
  const QImage image = Grab();
  EXPECT_EQ(QColor(128, 128, 128),
            PixelAt(image, view.devicePixelRatioF(), MeterFrame(2).left + 3, MeterFrame(2).top + 3));
}

TEST_F(CanvasTest, ClearingRemovesTheDrawing) {
  DrawMeter(view.Canvas(), MeterFrame(0), 100);
  view.Canvas().Clear();
  EXPECT_EQ(0u, view.Canvas().OperationCount());
  const QImage image = Grab();
  EXPECT_NE(QColor(255, 0, 0), PixelAt(image, view.devicePixelRatioF(), MeterFrame(0).left + 3, MeterFrame(0).top + 3));
}

TEST(Screenshot, ASampleDialogWithMetersIsSavedAtItsSizeAndScale) {
  test::SampleDialog model;
  DialogView view(model);
  view.Widget().Canvas();
  model.Click(test::SampleDialog::kFill);
  model.SetTicked(test::SampleDialog::kLeft1, true);
  model.SetTicked(test::SampleDialog::kLoud, true);
  for (int row = 0; row < 3; ++row) DrawMeter(view.Widget().Canvas(), MeterFrame(row), 85 + 7 * row);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  const QString path = test::SaveScreenshot(view, "sample_dialog");
  QFileInfo file(path);
  ASSERT_TRUE(file.exists());
  EXPECT_GT(file.size(), 1000);
  QImage image(path);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(view.size() * view.devicePixelRatioF(), image.size());
  EXPECT_EQ(DialogClientSize(model), view.size());
}

}  // namespace
}  // namespace varnel::qt
