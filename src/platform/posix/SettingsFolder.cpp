#include "platform/SettingsFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/Files.h"

namespace varnel::platform {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool IsUnder(std::string_view path, std::string_view folder) {
  return path == folder ||
         (path.size() > folder.size() && path.substr(0, folder.size()) == folder && path[folder.size()] == '/');
}

}  // namespace

std::string UserSettingsFolder() {
  // XDG base directories must be absolute: a relative XDG_CONFIG_HOME is ignored.
  const std::string config = Environment("XDG_CONFIG_HOME");
  if (!config.empty() && config.front() == '/') return JoinPath(config, "varnel");
  const std::string home = Environment("HOME");
  if (home.empty()) return "";
  return JoinPath(JoinPath(home, ".config"), "varnel");
}

bool ProgramFolderTakesSettings(const std::string& programFolder) {
  const std::string folder = ResolvedPath(programFolder);
  for (std::string_view system : {"/usr", "/bin", "/sbin", "/opt"})
    if (IsUnder(folder, system)) return false;
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

}  // namespace varnel::platform
