#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <functional>
#include <thread>
#include <vector>

#include "QtTestSupport.h"
#include "platform/Messages.h"
#include "qt/QtMessageLoop.h"

namespace varnel::qt {
namespace {

class Recorder : public platform::MessageHandler {
 public:
  intptr_t HandleMessage(const platform::Message& message) override {
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
  std::vector<platform::Message> received;
  std::function<void(const platform::Message&)> onMessage;
};

TEST(QtMessageLoop, PostsFromSeveralThreadsArriveOnTheMainThreadInEachThreadsOrder) {
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  constexpr uintptr_t kPerThread = 1000;
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < 3; ++t)
    threads.emplace_back([&, t] {
      for (uintptr_t i = 0; i < kPerThread; ++i) loop.Post({platform::WM_USER + t, i, 0});
    });
  for (auto& thread : threads) thread.join();
  EXPECT_TRUE(handler.received.empty());  // nothing is handled on the posting threads
  ASSERT_TRUE(test::RunUntil([&] { return handler.received.size() == 3 * kPerThread; }));
  std::vector<uintptr_t> next(3, 0);
  for (const auto& m : handler.received) {
    const uint32_t t = m.id - platform::WM_USER;
    ASSERT_LT(t, 3u);
    ASSERT_EQ(next[t]++, m.wParam);
  }
}

TEST(QtMessageLoop, AHandlerThatPostsAgainDoesNotStarveTheOthers) {
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  int repeats = 0;
  handler.onMessage = [&](const platform::Message& m) {
    if (m.id == platform::WM_POKE_CALIBRATION && ++repeats < 50) loop.Post(m);  // retried until it succeeds
  };
  loop.Post({platform::WM_POKE_CALIBRATION, 0, 0});
  loop.Post({platform::kBufferDoneMessage, 0, 0});
  ASSERT_TRUE(test::RunUntil([&] { return repeats == 50; }));
  ASSERT_EQ(1u, handler.Count(platform::kBufferDoneMessage));
  EXPECT_EQ(platform::kBufferDoneMessage, handler.received[1].id);  // handled in turn, before the first retry
}

TEST(QtMessageLoop, TimersTickUntilKilledAndReArmWithANewPeriod) {
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  loop.SetTimer(platform::kRefreshTimerId, 10);
  EXPECT_TRUE(loop.TimerActive(platform::kRefreshTimerId));
  EXPECT_EQ(10u, loop.TimerPeriod(platform::kRefreshTimerId));
  ASSERT_TRUE(test::RunUntil([&] { return handler.Count(platform::WM_TIMER) >= 3; }));
  for (const auto& m : handler.received) EXPECT_EQ(platform::kRefreshTimerId, m.wParam);

  loop.SetTimer(platform::kRefreshTimerId, 600000);  // no tick of its own while the test runs, however busy the machine
  EXPECT_EQ(600000u, loop.TimerPeriod(platform::kRefreshTimerId));
  handler.received.clear();
  QTest::qWait(150);
  EXPECT_EQ(0u, handler.Count(platform::WM_TIMER));  // the old period is gone

  loop.SetTimer(platform::kRefreshTimerId, 5);
  loop.KillTimer(platform::kRefreshTimerId);
  EXPECT_FALSE(loop.TimerActive(platform::kRefreshTimerId));
  EXPECT_EQ(0u, loop.TimerPeriod(platform::kRefreshTimerId));
  QTest::qWait(60);
  EXPECT_EQ(0u, handler.Count(platform::WM_TIMER));
  loop.KillTimer(77);  // never set: nothing happens
}

TEST(QtMessageLoop, AHandlerMayKillTheTimerItIsHandling) {
  QtMessageLoop loop;
  Recorder handler;
  loop.SetHandler(&handler);
  handler.onMessage = [&](const platform::Message& m) {
    if (m.id == platform::WM_TIMER) loop.KillTimer(static_cast<uint32_t>(m.wParam));
  };
  loop.SetTimer(1, 1);
  loop.SetTimer(2, 1);
  ASSERT_TRUE(test::RunUntil([&] { return handler.Count(platform::WM_TIMER) == 2; }));
  QTest::qWait(30);
  EXPECT_EQ(2u, handler.Count(platform::WM_TIMER));
}

TEST(QtMessageLoop, WithoutAHandlerMessagesAreDropped) {
  QtMessageLoop loop;
  int delivered = 0;
  QObject::connect(&loop, &QtMessageLoop::Delivered, [&] { ++delivered; });
  loop.Post({platform::WM_USER, 0, 0});
  ASSERT_TRUE(test::RunUntil([&] { return delivered == 1; }));
  Recorder handler;
  loop.SetHandler(&handler);
  loop.Post({platform::WM_USER, 1, 0});
  ASSERT_TRUE(test::RunUntil([&] { return handler.received.size() == 1; }));
  EXPECT_EQ(1u, handler.received[0].wParam);
}

}  // namespace
}  // namespace varnel::qt
