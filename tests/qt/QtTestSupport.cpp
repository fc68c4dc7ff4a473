#include "QtTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <QTimer>

namespace varnel::test {

bool RunUntil(const std::function<bool()>& condition, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(5);
  }
  return true;
}

void WhenModal(const std::function<void(QWidget*)>& action, int timeoutMs) {
  auto* poll = new QTimer(qApp);  // deletes itself once done
  auto deadline = std::make_shared<QDeadlineTimer>(timeoutMs);
  QWidget* before = QApplication::activeModalWidget();
  QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, before, action] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != before && modal->isVisible()) {
      poll->stop();
      poll->deleteLater();
      action(modal);
    } else if (deadline->hasExpired()) {
      poll->stop();
      poll->deleteLater();
      ADD_FAILURE() << "no modal window appeared (on top: "
                    << (QApplication::activeModalWidget() ? QApplication::activeModalWidget()->metaObject()->className()
                                                          : "none")
                    << ")";
      // Do not leave the test hanging in a window nobody answers.
      if (QWidget* stuck = QApplication::activeModalWidget()) stuck->close();
    }
  });
  poll->start(10);
}

QString ScreenshotPath(const std::string& name) {
  QString folder = qEnvironmentVariable("VARNEL_BUILD_DIR", QDir::currentPath()) + QStringLiteral("/screenshots");
  QDir().mkpath(folder);
  QString scale = qEnvironmentVariable("QT_SCALE_FACTOR");
  QString suffix = scale.isEmpty() || scale == QStringLiteral("1") ? QString() : QStringLiteral("@") + scale + "x";
  return folder + "/" + QString::fromStdString(name) + suffix + ".png";
}

QString SaveScreenshot(QWidget& widget, const std::string& name) {
  const QString path = ScreenshotPath(name);
  EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
  return path;
}

}  // namespace varnel::test
