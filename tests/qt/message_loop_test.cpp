#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <functional>
#include <thread>
#include <vector>

#include "QtTestSupport.h"
#include "qt/QtMessageLoop.h"
#include "ui/Messages.h"

namespace varnel::qt {
namespace {

class Recorder : public ui::MessageHandler {
 public:
  intptr_t HandleMessage(const ui::Message& message) override {
    EXPECT_EQ(mainThread, std::this_thread::get_id());
    received.push_back(message);
    if (onMessage) onMessage(message);
    return 1;
  }
  std::size_t Count(uint32_t id) const {
    std::size_t n = 0;
    for (const auto& m : received) n += m.id == id;
    return n;
  }
  std::thread::id mainThread = std::this_thread::get_id();
  std::vector<ui::Message> received;
  std::function<void(const ui::Message&)> onMessage;
};

TEST(QtMessageLoop, PostsFromSeveralThreadsArriveOnTheMainThreadInEachThreadsOrder) {
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  constexpr uintptr_t kPerThread = 1000;
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < 3; ++t)
    threads.emplace_back([&, t] {
      for (uintptr_t i = 0; i < kPerThread; ++i) loop.Post({ui::WM_USER + t, i, 0});
    });
  for (auto& thread : threads) thread.join();
  EXPECT_TRUE(handler.received.empty());  // nothing is handled on the posting threads
  ASSERT_TRUE(test::RunUntil([&] { return handler.received.size() == 3 * kPerThread; }));
  std::vector<uintptr_t> next(3, 0);
  for (const auto& m : handler.received) {
    const uint32_t t = m.id - ui::WM_USER;
    ASSERT_LT(t, 3u);
    ASSERT_EQ(next[t]++, m.wParam);
  }
}

TEST(QtMessageLoop, AHandlerThatPostsAgainDoesNotStarveTheOthers) {
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  int repeats = 0;
  handler.onMessage = [&](const ui::Message& m) {
    if (m.id == ui::WM_POKE_CALIBRATION && ++repeats < 50) loop.Post(m);  // retried until it succeeds
  };
  loop.Post({ui::WM_POKE_CALIBRATION, 0, 0});
  loop.Post({ui::kBufferDoneMessage, 0, 0});
  ASSERT_TRUE(test::RunUntil([&] { return repeats == 50; }));
  ASSERT_EQ(1u, handler.Count(ui::kBufferDoneMessage));
  EXPECT_EQ(ui::kBufferDoneMessage, handler.received[1].id);  // handled in turn, before the first retry
}

TEST(QtMessageLoop, TimersTickUntilKilledAndReArmWithANewPeriod) {
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  loop.SetTimer(ui::kRefreshTimerId, 10);
  EXPECT_TRUE(loop.TimerActive(ui::kRefreshTimerId));
  EXPECT_EQ(10u, loop.TimerPeriod(ui::kRefreshTimerId));
  ASSERT_TRUE(test::RunUntil([&] { return handler.Count(ui::WM_TIMER) >= 3; }));
  for (const auto& m : handler.received) EXPECT_EQ(ui::kRefreshTimerId, m.wParam);

  loop.SetTimer(ui::kRefreshTimerId, 600000);  // no tick of its own while the test runs, however busy the machine
  EXPECT_EQ(600000u, loop.TimerPeriod(ui::kRefreshTimerId));
  handler.received.clear();
  QTest::qWait(150);
  EXPECT_EQ(0u, handler.Count(ui::WM_TIMER));  // the old period is gone

  loop.SetTimer(ui::kRefreshTimerId, 5);
  loop.KillTimer(ui::kRefreshTimerId);
  EXPECT_FALSE(loop.TimerActive(ui::kRefreshTimerId));
  EXPECT_EQ(0u, loop.TimerPeriod(ui::kRefreshTimerId));
  QTest::qWait(60);
  EXPECT_EQ(0u, handler.Count(ui::WM_TIMER));
  loop.KillTimer(77);  // never set: nothing happens
}

TEST(QtMessageLoop, AHandlerMayKillTheTimerItIsHandling) {
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  handler.onMessage = [&](const ui::Message& m) {
    if (m.id == ui::WM_TIMER) loop.KillTimer(static_cast<uint32_t>(m.wParam));
  };
  loop.SetTimer(1, 1);
  loop.SetTimer(2, 1);
  ASSERT_TRUE(test::RunUntil([&] { return handler.Count(ui::WM_TIMER) == 2; }));
  QTest::qWait(30);
  EXPECT_EQ(2u, handler.Count(ui::WM_TIMER));
}

TEST(QtMessageLoop, WithoutAHandlerMessagesAreDropped) {
  QtMessageLoop loop;
  int delivered = 0;
  QObject::connect(&loop, &QtMessageLoop::Delivered, [&] { ++delivered; });
  loop.Post({ui::WM_USER, 0, 0});
  ASSERT_TRUE(test::RunUntil([&] { return delivered == 1; }));
  Recorder handler;
  loop.SetHandler(&handler);
  loop.Post({ui::WM_USER, 1, 0});
  ASSERT_TRUE(test::RunUntil([&] { return handler.received.size() == 1; }));
  EXPECT_EQ(1u, handler.received[0].wParam);
}

}  // namespace
}  // namespace varnel::qt
