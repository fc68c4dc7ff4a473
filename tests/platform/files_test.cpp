#include "platform/Files.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/Clock.h"
#include "platform/Trace.h"
#include "support/TempDir.h"

namespace varnel::platform {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(Files, ReservedNamesAreUniqueAndExist) {
  TempDir dir;
  std::set<std::string> names;
  for (int i = 0; i < 200; ++i) {
    std::string name = ReserveUniqueFileName(dir.Path(), "wav");
    ASSERT_FALSE(name.empty());
    EXPECT_TRUE(FileExists(name));
    EXPECT_EQ(0u, FileNameOf(name).find("wav"));
    EXPECT_TRUE(names.insert(name).second) << name;
  }
  EXPECT_EQ("", ReserveUniqueFileName(dir.File("missing"), "wav"));
}

TEST(Files, RenameRespectsExistingTarget) {
  TempDir dir;
  WriteFile(dir.File("a"), "A");
  WriteFile(dir.File("b"), "B");
  EXPECT_FALSE(RenameFile(dir.File("a"), dir.File("b"), false));
  EXPECT_EQ("B", ReadFile(dir.File("b")));
  EXPECT_TRUE(RenameFile(dir.File("a"), dir.File("b"), true));
  EXPECT_EQ("A", ReadFile(dir.File("b")));
  EXPECT_FALSE(FileExists(dir.File("a")));
  EXPECT_TRUE(RenameFile(dir.File("b"), dir.File("c"), false));
  EXPECT_EQ("A", ReadFile(dir.File("c")));
}

TEST(Files, CopyReplacesOnlyWithCompleteCopy) {
  TempDir dir;
  WriteFile(dir.File("src"), std::string(200000, 'x'));
  WriteFile(dir.File("dst"), "old");
  EXPECT_TRUE(CopyFileReplacing(dir.File("src"), dir.File("dst")));
  EXPECT_EQ(std::string(200000, 'x'), ReadFile(dir.File("dst")));
  EXPECT_FALSE(CopyFileReplacing(dir.File("nope"), dir.File("dst")));
  EXPECT_EQ(200000u, ReadFile(dir.File("dst")).size());
}

TEST(Files, DeleteExistsAndFolders) {
  TempDir dir;
  WriteFile(dir.File("a"), "A");
  EXPECT_TRUE(DeleteFile(dir.File("a")));
  EXPECT_FALSE(DeleteFile(dir.File("a")));
  EXPECT_FALSE(FileExists(dir.File("a")));
  EXPECT_TRUE(CreateFolders(dir.File("x/y/z")));
  EXPECT_TRUE(FolderExists(dir.File("x/y/z")));
  EXPECT_EQ("/a/b", FolderOf("/a/b/c.wav"));
  EXPECT_EQ("c.wav", FileNameOf("/a/b/c.wav"));
  EXPECT_FALSE(ExecutableFolder().empty());
}

TEST(Trace, CaptureKeepsLinesInOrder) {
  ScopedTraceCapture capture;
  Trace("RunTime = %f\n", 1.5);
  TraceText("Circulate!\n");
  ASSERT_EQ(2u, capture.Sink().Lines().size());
  EXPECT_EQ("RunTime = 1.500000\n", capture.Sink().Lines()[0]);
  EXPECT_EQ(1u, capture.Sink().Count("Circulate!\n"));
}

TEST(Clock, FakeClockIsInstalledAndWraps) {
  FakeClock fake(0xFFFFFFF0u);
  ScopedClock scoped(fake);
  uint32_t start = GetClock().TickCount();
  GetClock().Sleep(32);
  EXPECT_EQ(32u, GetClock().TickCount() - start);  // unsigned difference survives the wrap
  fake.SetLocalTime({2026, 12, 8, 23, 59, 59, 500});
  fake.Advance(600);
  LocalTime t = GetClock().Now();
  EXPECT_EQ(0, t.hour);
  EXPECT_EQ(9, t.day);
  EXPECT_EQ(100, t.millisecond);
}

}  // namespace
}  // namespace varnel::platform
