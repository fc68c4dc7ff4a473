#pragma once
// What the boards' read-path benchmarks share: traces that go nowhere, and a
// wake-up at every buffer a board tells of.

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <functional>
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

// Queues `buffers` buffers of `samples` samples, starts the board (then
// `started`), hands every buffer back as soon as it is told of, and ends the
// board. The counter is the wall time per buffer over a buffer's duration.
inline void TimeReadPath(benchmark::State& state, BoardApi& board, BoardHandle handle, BoardHandle sub,
                         DoneLoop& loop, int buffers, uint32_t samples, double bufferSeconds,
                         const std::function<void()>& started = {}) {
  for (int i = 0; i < buffers; ++i) {
    BoardHandle buffer = 0;
    board.AllocateBuffer(samples, &buffer);
    board.QueueReadyBuffer(sub, buffer);
  }
  board.StartAcquisition(sub, &loop);
  if (started) started();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    loop.WaitForOne();
    BoardHandle buffer = 0;
    board.TakeDoneBuffer(sub, &buffer);
    board.QueueReadyBuffer(sub, buffer);
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  board.EndAcquisitionAndFlush(sub);
  board.ReleaseSubsystem(sub);
  board.TerminateBoard(handle);
  state.counters["fraction_of_real_time"] = elapsed / (static_cast<double>(state.iterations()) * bufferSeconds);
}

}  // namespace varnel::bench
