#pragma once
// varnel-monitor run as a child process on the offscreen platform, its output
// in a file the test reads while it runs.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace varnel::test {

inline std::string MonitorProgram() {
  const char* build = std::getenv("VARNEL_BUILD_DIR");
  return std::string(build ? build : "build") + "/bin/varnel-monitor";
}

class MonitorProcess {
 public:
  MonitorProcess(std::vector<std::string> args, std::string logPath) : log_(std::move(logPath)) {
    args.insert(args.begin(), MonitorProgram());
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~MonitorProcess() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  MonitorProcess(const MonitorProcess&) = delete;
  MonitorProcess& operator=(const MonitorProcess&) = delete;

  std::string Output() const { return ReadFile(log_); }

  // Waits until the output holds `text` after `from`; its position, or npos.
  std::size_t WaitFor(const std::string& text, int timeoutMs, std::size_t from = 0) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const std::string out = Output();
      const std::size_t at = out.find(text, from);
      if (at != std::string::npos || std::chrono::steady_clock::now() > end) return at;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  // The exit status once it ended by itself, -1 when it did not within the time.
  int Wait(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
  bool exited_ = false;
};

}  // namespace varnel::test
