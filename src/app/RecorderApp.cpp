#include "app/RecorderApp.h"

#include <string>

#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/SettingsFolder.h"

namespace varnel {

void RecorderApp::SetProgramFile(std::string_view programFile) {
  std::string_view path = programFile.substr(0, std::min<std::size_t>(programFile.size(), 259));
  // A separator in the first character is not a folder boundary.
  std::size_t slash = path.size() > 1 ? path.rfind(platform::kPathSeparator) : std::string_view::npos;
  if (slash == 0) slash = std::string_view::npos;
  CopyCut(ProgramFolder, slash == std::string_view::npos ? path : path.substr(0, slash));
  SetSettingsFolder(FieldText(ProgramFolder));
}

void RecorderApp::SetSettingsFolder(std::string_view folder) {
  CopyCut(SettingsFolder, folder);
  const std::string kept(FieldText(SettingsFolder));
  CopyCut(SettingsFilePath, platform::JoinPath(kept, "varnel.ini"));
  CopyCut(AnalyzerSettingsFilePath, platform::JoinPath(kept, "orvantis.ini"));
}

void RecorderApp::InitPathsFromExecutable() {
  const std::string program = platform::ExecutableFolder();
  SetProgramFile(platform::JoinPath(program, "varnel"));
  const std::string settings = platform::SettingsFolderFor(program);
  if (settings == program) return;
  platform::CreateFolders(settings);
  SetSettingsFolder(settings);
}

}  // namespace varnel
