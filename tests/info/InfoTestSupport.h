#pragma once
// Recordings for varnel-info's tests and a way to run the program.

#include <string>

#include "WaveInfo.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "wave/WaveTestHelpers.h"

namespace varnel::test {

// The program beside the tests.
inline std::string InfoProgramPath() {
  return platform::JoinPath(platform::ExecutableFolder(), "varnel-info");
}

// Runs varnel-info with the arguments; stdout, or stderr too with "2>&1".
inline std::string RunInfo(const std::string& arguments, int* status) {
  return RunCommand("'" + InfoProgramPath() + "' " + arguments, status);
}

inline std::optional<info::WaveInfo> Inspect(const std::string& path, std::string* why = nullptr, bool levels = true) {
  platform::RiffFile file;
  std::string error;
  auto found = info::ReadWaveInfo(path, file, error);
  if (found && levels && !info::MeasureLevels(file, *found, error)) found.reset();
  if (why) *why = error;
  return found;
}

}  // namespace varnel::test
