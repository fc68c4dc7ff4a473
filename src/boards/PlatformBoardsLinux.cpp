#include <vector>

#include "boards/BoardSet.h"
#include "boards/PlatformBoards.h"
#include "boards/alsa/AlsaBoard.h"
#include "boards/comedi/ComediBoard.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Files.h"

namespace varnel::boards {

// The simulated boards exist only where someone asked for them (olsim.ini
// in the settings folder), and say what they are, so that nobody records a
// simulated signal believing it real (the file is looked for at every
// enumeration, as the window watches it). They come first: the demo's and the
// tests' device index stays theirs whatever sound devices come and go.
std::unique_ptr<BoardApi> MakePlatformBoards(const std::string& settingsFolder) {
  std::vector<BoardKind> kinds;
  const std::string simSettings = settingsFolder + "/olsim.ini";
  kinds.push_back({sim::MakeSimulatedBoard(simSettings), "Simulated ",
                   [simSettings] { return platform::FileExists(simSettings); }});
  kinds.push_back({std::make_unique<alsa::AlsaBoard>(), {}, {}});
  // Data-acquisition boards after the sound cards, so the devices listed before them keep their places.
  kinds.push_back({std::make_unique<comedi::ComediBoard>(), {}, {}});
  return std::make_unique<BoardSet>(std::move(kinds));
}

}  // namespace varnel::boards
