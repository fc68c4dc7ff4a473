// ALSA and the Linux composition of boards: Linux only.
#ifndef _WIN32

#include "boards/PlatformBoards.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "boards/BoardSet.h"
#include "boards/sim/SimulatedBoard.h"
#include "support/AlsaTestConfig.h"
#include "support/TempDir.h"

namespace varnel::boards {
namespace {

using test::AlsaTestConfig;

std::vector<std::string> Names(BoardApi& board) {
  std::vector<std::string> names;
  board.EnumerateBoards([&](std::string_view n) { return names.emplace_back(n), 1; });
  return names;
}

TEST(PlatformBoards, SimulatedBoardsAreListedOnlyWithTheirFileAndSaySo) {
  AlsaTestConfig config{1 << 12};
  test::TempDir dir;
  auto boards = MakePlatformBoards(dir.Path());
  const std::vector<std::string> sound = {AlsaTestConfig::InputName(2), AlsaTestConfig::InputName(8),
                                          AlsaTestConfig::InputName(16), AlsaTestConfig::CardName(),
                                          AlsaTestConfig::Input32Name()};
  EXPECT_EQ(sound, Names(*boards));
  test::WriteFile(dir.File("olsim.ini"), "[Boards]\nCount=2\n[Board1]\nName=Bench rig\n");
  std::vector<std::string> withSim = {"Simulated DT9834(00)", "Simulated Bench rig"};
  withSim.insert(withSim.end(), sound.begin(), sound.end());
  EXPECT_EQ(withSim, Names(*boards));
  std::remove(dir.File("olsim.ini").c_str());
  EXPECT_EQ(sound, Names(*boards));
}

TEST(BoardSetLabels, ALongNameIsCutToTheListAndStillOpens) {
  test::TempDir dir;
  const std::string longName(100, 'x');
  test::WriteFile(dir.File("a.ini"), "[Boards]\nCount=1\n[Board0]\nName=" + longName + "\n");
  std::vector<BoardKind> kinds;
  kinds.push_back({sim::MakeSimulatedBoard(dir.File("a.ini")), "Simulated ", {}});
  BoardSet set(std::move(kinds));
  const std::vector<std::string> names = Names(set);
  ASSERT_EQ(1u, names.size());
  EXPECT_EQ(("Simulated " + longName).substr(0, kListedNameLength), names[0]);
  BoardHandle board = 0;
  EXPECT_EQ(kBoardSuccess, set.InitializeBoard(names[0], &board));
  EXPECT_EQ(kUnknownBoardStatus, set.InitializeBoard(longName, &board));  // only as listed
}

}  // namespace
}  // namespace varnel::boards

#endif  // _WIN32
