#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <cstdio>

#include "QtTestSupport.h"
#include "qt/DeviceChangeMonitor.h"
#include "qt/QtMessageLoop.h"
#include "support/TempDir.h"
#include "ui/Messages.h"

namespace varnel::qt {
namespace {

class Recorder : public ui::MessageHandler {
 public:
  intptr_t HandleMessage(const ui::Message& message) override {
    received.push_back(message);
    return 1;
  }
  std::vector<ui::Message> received;
};

TEST(DeviceChangeMonitor, TheSimulatedBoardsFilePostsADeviceChangeWhenCreatedChangedOrRemoved) {
  test::TempDir dir;
  const std::string ini = dir.File("olsim.ini");
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  DeviceChangeMonitor monitor;
  monitor.SetSettleTime(20);
  monitor.WatchFile(QString::fromStdString(ini));
  monitor.PostTo(loop);

  auto expectOneMore = [&](const char* what) {
    const std::size_t before = handler.received.size();
    EXPECT_TRUE(test::RunUntil([&] { return handler.received.size() > before; })) << what;
    QTest::qWait(60);  // a burst of events is one report
    ASSERT_EQ(before + 1, handler.received.size()) << what;
    EXPECT_EQ(ui::WM_DEVICECHANGE, handler.received.back().id);
    EXPECT_EQ(kDbtDevNodesChanged, handler.received.back().wParam);
  };
  test::WriteFile(ini, "[Board0]\nChannels=8\n");
  expectOneMore("created");
  test::WriteFile(ini, "[Board0]\nChannels=16\n");
  expectOneMore("written in place");
  test::WriteFile(dir.File("olsim.ini.new"), "[Board0]\nChannels=4\n");
  QTest::qWait(150);
  const std::size_t beforeReplace = handler.received.size();
  std::rename(dir.File("olsim.ini.new").c_str(), ini.c_str());  // an editor's save
  EXPECT_TRUE(test::RunUntil([&] { return handler.received.size() > beforeReplace; })) << "replaced";
  QTest::qWait(150);
  const std::size_t beforeOther = handler.received.size();
  test::WriteFile(ini, "[Board0]\nChannels=2\n");  // still watched after the replacement
  EXPECT_TRUE(test::RunUntil([&] { return handler.received.size() > beforeOther; })) << "after replace";
  QTest::qWait(150);
  std::remove(ini.c_str());
  expectOneMore("removed");
}

TEST(DeviceChangeMonitor, OtherFilesBesideItAreNotADeviceChange) {
  test::TempDir dir;
  DeviceChangeMonitor monitor;
  monitor.SetSettleTime(20);
  monitor.WatchFile(QString::fromStdString(dir.File("olsim.ini")));
  QSignalSpy spy(&monitor, &DeviceChangeMonitor::DeviceChanged);
  test::WriteFile(dir.File("varnel.ini"), "[Main]\n");
  test::WriteFile(dir.File("wav1234.tmp"), "RIFF");
  QTest::qWait(300);
  EXPECT_EQ(0, spy.count());
}

TEST(DeviceChangeMonitor, TheUsbMonitorStartsOrSaysItCannot) {
  DeviceChangeMonitor monitor;
  const bool started = monitor.StartUsbMonitor();
  EXPECT_EQ(started, monitor.UsbMonitoring());
  EXPECT_EQ(started, monitor.StartUsbMonitor());  // a second start changes nothing
  if (!started) GTEST_SKIP() << "udev is not reachable here";
  QSignalSpy spy(&monitor, &DeviceChangeMonitor::DeviceChanged);
  QTest::qWait(100);  // no USB device comes or goes in a test run
  EXPECT_EQ(0, spy.count());
}

}  // namespace
}  // namespace varnel::qt
