#include "boards/PlatformBoards.h"

#include <vector>

#include "boards/BoardSet.h"
#include "boards/openlayers/OpenLayersBoard.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Files.h"

namespace varnel::boards {

// The driver's boards come first. The simulated boards exist only where
// someone asked for them (olsim.ini in the settings folder, looked for at every
// enumeration), and say what they are, as on Linux: a simulated board named
// like a real one would record synthetic sines under a real board's saved
// name when its driver is gone.
std::unique_ptr<BoardApi> MakePlatformBoards(const std::string& settingsFolder) {
  std::vector<BoardKind> kinds;
  kinds.push_back({openlayers::MakeOpenLayersBoard(), {}, {}});
  const std::string simSettings = platform::JoinPath(settingsFolder, "olsim.ini");
  kinds.push_back({sim::MakeSimulatedBoard(simSettings), "Simulated ",
                   [simSettings] { return platform::FileExists(simSettings); }});
  return std::make_unique<BoardSet>(std::move(kinds));
}

}  // namespace varnel::boards
