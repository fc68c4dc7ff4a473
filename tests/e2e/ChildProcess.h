#pragma once
// A program of the build run as a child process, its output in a file the test
// reads while it runs. Every wait is for an event, bounded generously: a busy
// machine makes the events later, never different.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/TempDir.h"

namespace varnel::test {

inline std::string BuildProgram(const std::string& name) {
  const char* build = std::getenv("VARNEL_BUILD_DIR");
  return std::string(build ? build : "build") + "/bin/" + name;
}

// Polls `done` until it holds or `timeoutMs` passed; whether it holds.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

class ChildProcess {
 public:
  // args[0] is the program; `env` is added to the child's environment.
  ChildProcess(std::vector<std::string> args, std::string logPath,
               std::vector<std::pair<std::string, std::string>> env = {})
      : log_(std::move(logPath)) {
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~ChildProcess() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  std::string Output() const { return ReadFile(log_); }

  // Waits until the output holds `text` after `from`; its position, or npos.
  std::size_t WaitFor(const std::string& text, int timeoutMs, std::size_t from = 0) const {
    std::size_t at = std::string::npos;
    WaitUntil([&] { return (at = Output().find(text, from)) != std::string::npos; }, timeoutMs);
    return at;
  }

  void Signal(int signal) const {
    if (pid_ > 0 && !exited_) ::kill(pid_, signal);
  }

  // The exit status once it ended by itself (128 + the signal that ended it),
  // -1 when it did not within the time.
  int Wait(int timeoutMs) {
    int status = 0;
    if (!WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, timeoutMs)) return -1;
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
  bool exited_ = false;
};

}  // namespace varnel::test
