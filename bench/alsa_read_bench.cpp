// Per-buffer cost of the ALSA backend's read path: 16 channels at 48000 Hz,
// buffers of 8192 frames, from a device of a private configuration (a `null`
// capture behind a `plug` fixed at 16 channels and 48000 Hz, which delivers
// as fast as it is read). Each iteration waits for one filled buffer and
// queues it again, so the time per iteration is what the capture thread
// spends per buffer: poll, mmap, the one copy into the queued buffer,
// commit and the buffer-done message. Quoted as a fraction of the buffer's
// real duration (8192 / 48000 s), for the channel list in the card's order
// (a straight copy) and reversed (a scatter), and for the copy alone.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "BoardBench.h"
#include "boards/alsa/AlsaBoard.h"
#include "platform/Trace.h"

namespace varnel {
namespace {

constexpr int32_t kChannels = 16;
constexpr int32_t kFrames = 8192;
constexpr double kRate = 48000.0;
constexpr double kBufferSeconds = kFrames / kRate;

using bench::DoneLoop;
using bench::NullTraces;

std::string WriteConfig() {
  const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/varnel_alsa_bench_" +
                           std::to_string(::getpid()) + ".conf";
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fputs(
      "pcm.varnel_bench {\n  type plug\n  slave { pcm { type null } channels 16 rate 48000 format S16_LE }\n"
      "  hint { show on description \"Varnel bench\" }\n}\n",
      f);
  std::fclose(f);
  setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
  return path;
}

void ReadPath(benchmark::State& state, bool reversed) {
  NullTraces traces;
  platform::SetTraceSink(&traces);
  const std::string config = WriteConfig();
  DoneLoop loop;  // outlives the board's thread
  alsa::AlsaBoard board;
  board.EnumerateBoards([](std::string_view) { return 1; });
  BoardHandle handle = 0, sub = 0;
  if (board.InitializeBoard("Varnel bench (varnel_bench)", &handle) != kBoardSuccess ||
      board.GetSubsystem(handle, &sub) != kBoardSuccess) {
    state.SkipWithError("the bench device cannot be opened");
    return;
  }
  RunSettings run{kRate, std::vector<int32_t>(kChannels), std::vector<double>(kChannels, 1.0), kTriggerImmediate};
  for (int32_t e = 0; e < kChannels; ++e) run.channels[e] = reversed ? kChannels - 1 - e : e;
  board.Configure(sub, run);
  TimeReadPath(state, board, handle, sub, loop, 60, kChannels * kFrames, kBufferSeconds);
  std::remove(config.c_str());
  platform::SetTraceSink(nullptr);
}

void BM_AlsaReadPathInCardOrder(benchmark::State& state) {
  ReadPath(state, false);
}
void BM_AlsaReadPathReversed(benchmark::State& state) {
  ReadPath(state, true);
}
BENCHMARK(BM_AlsaReadPathInCardOrder)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AlsaReadPathReversed)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_CopyInListOrderReversed(benchmark::State& state) {
  std::vector<int16_t> in(static_cast<std::size_t>(kChannels) * kFrames, 7);
  std::vector<uint16_t> out(in.size());
  std::vector<int32_t> list(kChannels);
  std::iota(list.rbegin(), list.rend(), 0);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    alsa::CopyInListOrder(in.data(), kChannels, list, kFrames, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["fraction_of_real_time"] = elapsed / (static_cast<double>(state.iterations()) * kBufferSeconds);
}
BENCHMARK(BM_CopyInListOrderReversed)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace varnel

BENCHMARK_MAIN();
