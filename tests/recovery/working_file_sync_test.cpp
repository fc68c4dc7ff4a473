#include <gtest/gtest.h>

#include <thread>

#include "recovery/WorkingFileSync.h"
#include "support/TempDir.h"

namespace varnel {
namespace {

TEST(WorkingFileSync, SyncsEveryWatchedFileEachPeriodUntilForgotten) {
  test::TempDir dir;
  for (const char* name : {"a", "b"}) test::WriteFile(dir.File(name), "data");
  WorkingFileSync sync(std::chrono::milliseconds(20));
  sync.Watch(0, dir.File("a"));
  sync.Watch(1, dir.File("b"));
  sync.Watch(1, dir.File("b"));  // the same file again: still one watch
  sync.Watch(2, dir.File("missing"));  // nothing to sync
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  const uint64_t both = sync.GetStats().syncs;
  EXPECT_GE(both, 6u);
  sync.Forget(0);
  sync.Forget(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  const uint64_t after = sync.GetStats().syncs;
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(after, sync.GetStats().syncs);
  sync.Stop();
  // A stopped sync starts again with the next watch.
  sync.ResetStats();
  sync.Watch(0, dir.File("a"));
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_GE(sync.GetStats().syncs, 1u);
}

}  // namespace
}  // namespace varnel
