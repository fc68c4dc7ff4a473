#include <gtest/gtest.h>

#include <thread>

#include "recovery/WorkingFileSync.h"
#include "support/TempDir.h"

namespace varnel {
namespace {

class WorkingFileSyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a", "b"}) test::WriteFile(dir_.File(name), "data");
  }
  test::TempDir dir_;
};

TEST_F(WorkingFileSyncTest, SyncsEveryWatchedFileAtEachPassUntilForgotten) {
  WorkingFileSync sync(std::chrono::hours(1));  // passes only when asked
  sync.Watch(0, dir_.File("a"));
  sync.Watch(1, dir_.File("b"));
  sync.Watch(1, dir_.File("b"));        // the same file again: still one watch
  sync.Watch(2, dir_.File("missing"));  // nothing to sync
  sync.SyncNow();
  sync.SyncNow();
  EXPECT_EQ(4u, sync.GetStats().syncs);
  sync.Forget(0);
  sync.Forget(1);
  sync.SyncNow();
  EXPECT_EQ(4u, sync.GetStats().syncs);
  EXPECT_EQ(3u, sync.GetStats().passes);
  sync.Stop();
  sync.SyncNow();  // no thread: nothing to wait for
  // A stopped sync starts again with the next watch.
  sync.ResetStats();
  sync.Watch(0, dir_.File("a"));
  sync.SyncNow();
  EXPECT_EQ(1u, sync.GetStats().syncs);
}

TEST_F(WorkingFileSyncTest, PassesComeByThemselvesEachPeriod) {
  WorkingFileSync sync(std::chrono::milliseconds(20));
  sync.Watch(0, dir_.File("a"));
  // Waits for the passes themselves: a busy machine only makes them later.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (sync.GetStats().passes < 3 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const WorkingFileSync::Stats stats = sync.GetStats();
  EXPECT_GE(stats.passes, 3u);
  EXPECT_GE(stats.syncs, stats.passes);
}

}  // namespace
}  // namespace varnel
