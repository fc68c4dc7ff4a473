#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "boards/PlatformBoards.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace varnel::boards {
namespace {

std::vector<std::string> Listed(BoardApi& boards) {
  std::vector<std::string> names;
  boards.EnumerateBoards([&](std::string_view name) {
    names.emplace_back(name);
    return 1;
  });
  return names;
}

// The driver found by name is the stand-in beside this program (olsim.ini-less: one board).
TEST(WindowsBoards, TheDriversBoardsComeFirstThenTheSimulatedOnesWhenSetUp) {
  ASSERT_FALSE(platform::FileExists(platform::JoinPath(platform::ExecutableFolder(), "olsim.ini")));
  test::TempDir folder;
  auto without = MakePlatformBoards(folder.Path());
  EXPECT_EQ((std::vector<std::string>{"DT9834(00)"}), Listed(*without));

  test::WriteFile(folder.File("olsim.ini"), "[Boards]\nCount=1\n[Board0]\nName=Simulated\n");
  auto with = MakePlatformBoards(folder.Path());
  EXPECT_EQ((std::vector<std::string>{"DT9834(00)", "Simulated"}), Listed(*with));
}

}  // namespace
}  // namespace varnel::boards
