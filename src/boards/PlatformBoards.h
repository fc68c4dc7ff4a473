#pragma once
// The one place that knows which kinds of board this platform offers and in
// which order the device list shows them. The programs call it; nothing else
// above src/boards knows which kind it drives.

#include <memory>
#include <string>

#include "boards/BoardApi.h"

namespace varnel::boards {

// `settingsFolder` is where the boards' own settings files sit (olsim.ini):
// the program's settings folder (platform/SettingsFolder.h).
std::unique_ptr<BoardApi> MakePlatformBoards(const std::string& settingsFolder);

}  // namespace varnel::boards
