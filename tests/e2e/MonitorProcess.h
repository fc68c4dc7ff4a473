#pragma once
// varnel-monitor run as a child process on the offscreen platform.

#include "ChildProcess.h"

namespace varnel::test {

class MonitorProcess : public ChildProcess {
 public:
  MonitorProcess(std::vector<std::string> args, std::string logPath)
      : ChildProcess(WithProgram(std::move(args)), std::move(logPath), {{"QT_QPA_PLATFORM", "offscreen"}}) {}

 private:
  static std::vector<std::string> WithProgram(std::vector<std::string> args) {
    args.insert(args.begin(), BuildProgram("varnel-monitor"));
    return args;
  }
};

}  // namespace varnel::test
