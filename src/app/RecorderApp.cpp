#include "app/RecorderApp.h"

#include <string>

#include "platform/Files.h"
#include "platform/FixedString.h"

namespace varnel {

void RecorderApp::SetProgramFile(std::string_view programFile) {
  std::string_view path = programFile.substr(0, std::min<std::size_t>(programFile.size(), 259));
  // A separator in the first character is not a folder boundary.
  std::size_t slash = path.size() > 1 ? path.rfind(platform::kPathSeparator) : std::string_view::npos;
  if (slash == 0) slash = std::string_view::npos;
  CopyCut(ProgramFolder, slash == std::string_view::npos ? path : path.substr(0, slash));
  std::string folder(FieldText(ProgramFolder));
  CopyCut(SettingsFilePath, platform::JoinPath(folder, "varnel.ini"));
  CopyCut(AnalyzerSettingsFilePath, platform::JoinPath(folder, "orvantis.ini"));
}

void RecorderApp::InitPathsFromExecutable() {
  SetProgramFile(platform::JoinPath(platform::ExecutableFolder(), "varnel"));
}

}  // namespace varnel
