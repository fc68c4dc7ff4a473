#include "qt/TerminationSignals.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <thread>
#include <vector>

#include "QtTestSupport.h"

namespace varnel::qt {
namespace {

TEST(TerminationSignals, SigtermReachesTheHandlerOnTheMainThreadAndIsRestoredAfterwards) {
  std::vector<int> received;
  const auto mainThread = std::this_thread::get_id();
  {
    TerminationSignals first([&](int signal) {
      EXPECT_EQ(mainThread, std::this_thread::get_id());
      received.push_back(signal);
    });
    ASSERT_TRUE(first.Installed());
    TerminationSignals second([](int) {});
    EXPECT_FALSE(second.Installed());  // one owner of the signals at a time
    std::thread([] { kill(getpid(), SIGTERM); }).join();
    raise(SIGINT);
    raise(SIGHUP);
    ASSERT_TRUE(test::RunUntil([&] { return received.size() == 3; }));
  }
  EXPECT_EQ((std::vector<int>{SIGTERM, SIGINT, SIGHUP}), received);
  for (int signal : {SIGTERM, SIGHUP}) {
    struct sigaction now {};
    sigaction(signal, nullptr, &now);
    EXPECT_EQ(SIG_DFL, now.sa_handler) << signal;
  }
}

}  // namespace
}  // namespace varnel::qt
