// The main window's message queue: posting from any thread, timers on the clock.

#include "platform/QueueMessageLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Messages.h"

namespace varnel::platform {
namespace {

class Counter : public MessageHandler {
 public:
  intptr_t HandleMessage(const Message& m) override {
    seen.push_back(m);
    return 1;
  }
  std::vector<Message> seen;
};

TEST(QueueMessageLoop, PostsFromOtherThreadsArriveInOrder) {
  QueueMessageLoop loop;
  Counter counter;
  loop.SetHandler(&counter);
  std::thread producer([&] {
    for (uintptr_t i = 0; i < 1000; ++i) loop.Post({kBufferDoneMessage, i, 0});
  });
  producer.join();
  EXPECT_EQ(1000u, loop.DispatchPending());
  for (uintptr_t i = 0; i < 1000; ++i) EXPECT_EQ(i, counter.seen[i].wParam);
}

TEST(QueueMessageLoop, TimersFollowTheClock) {
  FakeClock clock;
  ScopedClock scoped(clock);
  QueueMessageLoop loop;
  Counter counter;
  loop.SetHandler(&counter);
  loop.SetTimer(kRefreshTimerId, 50);
  EXPECT_EQ(0u, loop.DispatchPending());
  clock.Advance(49);
  EXPECT_EQ(0u, loop.DispatchPending());
  clock.Advance(1);
  EXPECT_EQ(1u, loop.DispatchPending());
  ASSERT_EQ(1u, counter.seen.size());
  EXPECT_EQ(WM_TIMER, counter.seen[0].id);
  EXPECT_EQ(kRefreshTimerId, counter.seen[0].wParam);
  clock.Advance(500);  // missed ticks collapse into one
  EXPECT_EQ(1u, loop.DispatchPending());
  loop.SetTimer(kRefreshTimerId, 250);
  EXPECT_EQ(250u, loop.TimerPeriod(kRefreshTimerId));
  loop.KillTimer(kRefreshTimerId);
  EXPECT_FALSE(loop.FireTimer(kRefreshTimerId));
  clock.Advance(1000);
  EXPECT_EQ(0u, loop.DispatchPending());
}

class Reposter : public MessageHandler {
 public:
  explicit Reposter(QueueMessageLoop& loop) : loop_(loop) {}
  intptr_t HandleMessage(const Message& m) override {
    ++count;
    loop_.Post(m);
    return 1;
  }
  int count = 0;

 private:
  QueueMessageLoop& loop_;
};

TEST(QueueMessageLoop, HandlerThatRepostsDoesNotSpinOneDispatch) {
  QueueMessageLoop loop;
  Reposter handler(loop);
  loop.SetHandler(&handler);
  loop.Post({WM_POKE_CALIBRATION, 0, 0});
  EXPECT_EQ(1u, loop.DispatchPending());
  EXPECT_EQ(1u, loop.PendingCount());
}

}  // namespace
}  // namespace varnel::platform
