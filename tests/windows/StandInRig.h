#pragma once
// The stand-in driver DLLs copied into a temporary folder with an olsim.ini of
// the test's own, so each test loads a driver that reads only its settings.

#include <string>

#include "boards/openlayers/OpenLayersBoard.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace varnel::test {

class StandInRig {
 public:
  explicit StandInRig(const std::string& olsim = "") {
    for (const char* dll : {"oldaapi32.dll", "olmem32.dll"})
      platform::CopyFileReplacing(platform::JoinPath(platform::ExecutableFolder(), dll), dir.File(dll));
    if (!olsim.empty()) WriteFile(dir.File("olsim.ini"), olsim);
  }
  openlayers::DriverFiles Files() const { return {dir.File("oldaapi32.dll"), dir.File("olmem32.dll")}; }
  // The DLL that loads but exports nothing.
  static std::string NoOrdinalsDll() {
    return platform::JoinPath(platform::JoinPath(platform::ExecutableFolder(), "no-ordinals"), "oldaapi32.dll");
  }

  TempDir dir;
};

}  // namespace varnel::test
