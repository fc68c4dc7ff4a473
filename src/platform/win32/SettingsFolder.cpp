#include "platform/SettingsFolder.h"

#include <cstdlib>

#include "platform/Files.h"

namespace varnel::platform {

std::string UserSettingsFolder() {
  const char* appData = std::getenv("APPDATA");
  return appData && *appData ? JoinPath(appData, "Varnel") : "";
}

// Windows answers who may write a folder only through its access lists; a
// file made and removed again is the plain answer.
bool ProgramFolderTakesSettings(const std::string& programFolder) {
  const std::string probe = ReserveUniqueFileName(programFolder, "vst");
  if (probe.empty()) return false;
  DeleteFile(probe);
  return true;
}

}  // namespace varnel::platform
