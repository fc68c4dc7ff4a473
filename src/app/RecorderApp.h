#pragma once
// Where the program and its settings files are.

#include <string_view>

namespace varnel {

class RecorderApp {
 public:
  // Computes the three paths from the full path of the program file.
  void SetProgramFile(std::string_view programFile);
  // ... and from the running executable.
  void InitPathsFromExecutable();

  char ProgramFolder[260] = {};
  char SettingsFilePath[260] = {};
  char AnalyzerSettingsFilePath[260] = {};
};

}  // namespace varnel
