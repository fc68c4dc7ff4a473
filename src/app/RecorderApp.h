#pragma once
// Where the program and its settings files are.

#include <string_view>

namespace varnel {

class RecorderApp {
 public:
  // Computes the paths from the full path of the program file, with the
  // settings files beside it.
  void SetProgramFile(std::string_view programFile);
  // Puts the settings files (varnel.ini, orvantis.ini, olsim.ini) in `folder`.
  void SetSettingsFolder(std::string_view folder);
  // ... from the running executable, with the settings files where this user
  // keeps them (platform/SettingsFolder.h); that folder is made when missing.
  void InitPathsFromExecutable();

  char ProgramFolder[260] = {};
  char SettingsFolder[260] = {};
  char SettingsFilePath[260] = {};
  char AnalyzerSettingsFilePath[260] = {};
};

}  // namespace varnel
