#pragma once
// What the boards' read-path benchmarks share: traces that go nowhere, and a
// wake-up at every buffer a board tells of.

#include <condition_variable>
#include <mutex>
#include <string_view>

#include "boards/BoardApi.h"
#include "platform/Trace.h"

namespace varnel::bench {

class NullTraces : public platform::TraceSink {
 public:
  void Write(std::string_view) override {}
};

class DoneLoop : public BoardEvents {
 public:
  void BufferDone() override {
    std::lock_guard lock(mutex_);
    ++done_;
    posted_.notify_one();
  }
  void WaitForOne() {
    std::unique_lock lock(mutex_);
    posted_.wait(lock, [this] { return done_ > 0; });
    --done_;
  }
  void Overrun() override {}

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  int done_ = 0;
};

}  // namespace varnel::bench
