#pragma once
// The recorder's console lines, written by a thread of their own: a stalled
// terminal (Ctrl-S, a stalled ssh session, a pipe nobody reads) holds that
// thread only, never the buffer path. Lines that say what happened (status,
// messages, the closing list) are all kept; level lines are dropped while
// the writer is behind. A write that fails loses its line, nothing more.

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace varnel::record {

class ConsoleOutput {
 public:
  // Level lines are dropped while `levelRoom` lines wait.
  explicit ConsoleOutput(std::size_t levelRoom = 16);
  // Waits until every kept line is written (or failed).
  ~ConsoleOutput();
  ConsoleOutput(const ConsoleOutput&) = delete;
  ConsoleOutput& operator=(const ConsoleOutput&) = delete;

  // Any thread; never waits for the console.
  void Line(std::FILE* stream, std::string text);
  void Level(std::string text);
  // Level lines dropped so far.
  std::size_t Dropped() const;

 private:
  struct Pending {
    std::FILE* stream;
    std::string text;
  };
  void Write();

  const std::size_t levelRoom_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Pending> lines_;
  std::size_t dropped_ = 0;
  bool ending_ = false;
  std::thread writer_;
};

}  // namespace varnel::record
