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

// The driver found by name is the stand-in beside this program (olsim.ini-less:
// one board). The simulated boards, named as the driver's, say what they are,
// from the moment olsim.ini is there.
TEST(WindowsBoards, TheDriversBoardsComeFirstThenTheSimulatedOnesWhenSetUp) {
  ASSERT_FALSE(platform::FileExists(platform::JoinPath(platform::ExecutableFolder(), "olsim.ini")));
  test::TempDir folder;
  auto boards = MakePlatformBoards(folder.Path());
  EXPECT_EQ((std::vector<std::string>{"DT9834(00)"}), Listed(*boards));

  test::WriteFile(folder.File("olsim.ini"), "[Boards]\nCount=1\n[Board0]\nName=DT9834(00)\n");
  EXPECT_EQ((std::vector<std::string>{"DT9834(00)", "Simulated DT9834(00)"}), Listed(*boards));
}

}  // namespace
}  // namespace varnel::boards
