#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/TempDir.h"

namespace varnel::test {

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return output;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int rc = ::pclose(pipe);
  const int exit = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  // The shell's own "not found": a program the tests rely on is missing, which
  // is the machine's fault, not the code's; say so instead of a puzzling mismatch.
  if (exit == 127)
    ADD_FAILURE() << "a program of `" << command << "` was not found: scripts/install-deps.sh installs it";
  if (status) *status = exit;
  return output;
}

bool HostToolsAvailable() {
  return true;
}

}  // namespace varnel::test
