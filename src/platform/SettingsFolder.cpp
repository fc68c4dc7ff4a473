#include "platform/SettingsFolder.h"

namespace varnel::platform {

std::string SettingsFolderFor(const std::string& programFolder) {
  if (ProgramFolderTakesSettings(programFolder)) return programFolder;
  const std::string user = UserSettingsFolder();
  return user.empty() ? programFolder : user;
}

}  // namespace varnel::platform
