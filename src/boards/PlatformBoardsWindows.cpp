#include "boards/PlatformBoards.h"

#include <vector>

#include "boards/BoardSet.h"
#include "boards/openlayers/OpenLayersBoard.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Files.h"

namespace varnel::boards {

std::unique_ptr<BoardApi> MakePlatformBoards(const std::string& settingsFolder) {
  std::vector<std::unique_ptr<BoardApi>> kinds;
  kinds.push_back(openlayers::MakeOpenLayersBoard());
  const std::string simSettings = platform::JoinPath(settingsFolder, "olsim.ini");
  // The simulated board only where it has been set up, so that a lab PC lists its real boards alone.
  if (platform::FileExists(simSettings)) kinds.push_back(sim::MakeSimulatedBoard(simSettings));
  return std::make_unique<BoardSet>(std::move(kinds));
}

}  // namespace varnel::boards
