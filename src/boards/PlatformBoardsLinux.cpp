#include "boards/PlatformBoards.h"

#include <vector>

#include "boards/BoardSet.h"
#include "boards/sim/SimulatedBoard.h"

namespace varnel::boards {

std::unique_ptr<BoardApi> MakePlatformBoards(const std::string& programFolder) {
  std::vector<std::unique_ptr<BoardApi>> kinds;
  kinds.push_back(sim::MakeSimulatedBoard(programFolder + "/olsim.ini"));
  return std::make_unique<BoardSet>(std::move(kinds));
}

}  // namespace varnel::boards
