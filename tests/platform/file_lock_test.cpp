// The lock a running recorder holds on its journal, as any other holder sees it.

#include "platform/FileLock.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace varnel::platform {
namespace {

using Outcome = FileLock::Outcome;

std::string Contents(const std::string& path) {
  return ReadRegularFile(path).value_or("<unreadable>");
}

TEST(FileLock, OneHolderAtATimeThroughEveryRewriteAndReadableMeanwhile) {
  test::TempDir dir;
  const std::string path = dir.File("journal.ini");
  FileLock writer, other;
  ASSERT_TRUE(writer.WriteDurably(path, "first", false));
  EXPECT_EQ(Outcome::kHeldElsewhere, other.Take(path));
  EXPECT_EQ("first", Contents(path));

  ASSERT_TRUE(writer.WriteDurably(path, "second", true));
  EXPECT_EQ(Outcome::kHeldElsewhere, other.Take(path)) << "the rewritten file is held too";
  EXPECT_EQ("second", Contents(path));
  EXPECT_FALSE(other.Held());

  writer.Release();
  ASSERT_EQ(Outcome::kTaken, other.Take(path));
  EXPECT_EQ(Outcome::kHeldElsewhere, writer.Take(path)) << "whoever takes it keeps everyone else out";
  EXPECT_TRUE(other.Remove());
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(other.Held());
}

TEST(FileLock, ANewFileNeverTakesAnExistingNameAndAMissingOneIsNamedAsSuch) {
  test::TempDir dir;
  const std::string path = dir.File("journal.ini");
  test::WriteFile(path, "another recorder's");
  FileLock lock;
  EXPECT_FALSE(lock.WriteDurably(path, "mine", false));
  EXPECT_FALSE(lock.Held());
  EXPECT_EQ("another recorder's", Contents(path));

  std::string reason;
  EXPECT_EQ(Outcome::kFailed, lock.Take(dir.File("absent.ini"), &reason));
  EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace varnel::platform
