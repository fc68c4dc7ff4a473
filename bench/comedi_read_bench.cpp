// Per-buffer cost of the comedi board's read path: 16 channels at the
// scripted board's fastest rate (250 kS/s over all channels: 15625 scans a
// second), buffers of 8192 scans, from a scripted device
// (tests/support/FakeComedi.h) that delivers as fast as it is read. Each
// iteration waits for one filled buffer and queues it again, so the time per
// iteration is what the capture thread spends per buffer: the wait, the
// reads straight into the queued buffer (the device's own making of its
// samples included) and the buffer-done message. Quoted as a fraction of the
// buffer's real duration (8192 / 15625 s), for 16-bit and for 18-bit boards
// (whose 32-bit samples are narrowed on the way).

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <chrono>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tests/support/FakeComedi.h"
#include "BoardBench.h"
#include "boards/comedi/ComediBoard.h"
#include "platform/Trace.h"

namespace varnel {
namespace {

constexpr int32_t kChannels = 16;
constexpr int32_t kScans = 8192;
constexpr double kScanRate = 15625.0;
constexpr double kBufferSeconds = kScans / kScanRate;

using bench::DoneLoop;
using bench::NullTraces;

// A folder of the system's temporary one for the device file, gone at the end.
class Folder {
 public:
  Folder() {
    char name[] = "/tmp/varnel_comedi_bench_XXXXXX";
    path = ::mkdtemp(name) ? name : "/tmp";
  }
  ~Folder() {
    std::remove((path + "/comedi0").c_str());
    ::rmdir(path.c_str());
  }
  std::string path;
};

void ReadPath(benchmark::State& state, lsampl_t maxdata) {
  NullTraces traces;
  platform::SetTraceSink(&traces);
  Folder folder;
  auto calls = std::make_shared<test::FakeComediCalls>(folder.path);
  const auto device = calls->Add("comedi0", {.maxdata = maxdata});
  DoneLoop loop;  // outlives the board's thread
  comedi::ComediBoard board(calls);
  board.EnumerateBoards([](std::string_view) { return 1; });
  BoardHandle handle = 0, sub = 0;
  RunSettings run{kScanRate * kChannels, std::vector<int32_t>(kChannels), std::vector<double>(kChannels, 1.0),
                  kTriggerImmediate};
  for (int32_t e = 0; e < kChannels; ++e) run.channels[e] = e;
  if (board.InitializeBoard("comedi0: fake_daq fake-6016", &handle) != kBoardSuccess ||
      board.GetSubsystem(handle, &sub) != kBoardSuccess || board.Configure(sub, run) != kBoardSuccess) {
    state.SkipWithError("the scripted board cannot run 16 channels at its fastest rate");
    return;
  }
  TimeReadPath(state, board, handle, sub, loop, 16, kChannels * kScans, kBufferSeconds,
               [&] { device->AllowUnlimited(); });
  platform::SetTraceSink(nullptr);
}

void BM_ComediReadPath16Bit(benchmark::State& state) {
  ReadPath(state, 0xFFFF);
}
void BM_ComediReadPath18Bit(benchmark::State& state) {
  ReadPath(state, 0x3FFFF);
}
BENCHMARK(BM_ComediReadPath16Bit)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComediReadPath18Bit)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The scripted device's making of one buffer's samples alone: what of the
// read path's cost is the fake's, not the board's.
void BM_ScriptedDeviceAlone(benchmark::State& state) {
  Folder folder;
  test::FakeComediCalls calls(folder.path);
  const auto device = calls.Add("comedi0");
  std::vector<unsigned> list(kChannels);
  for (int32_t e = 0; e < kChannels; ++e) list[e] = CR_PACK(e, 0, AREF_GROUND);
  comedi_cmd cmd{};
  cmd.start_src = TRIG_NOW;
  cmd.scan_begin_src = TRIG_TIMER;
  cmd.scan_begin_arg = 64000;
  cmd.convert_src = TRIG_TIMER;
  cmd.convert_arg = 4000;
  cmd.scan_end_src = TRIG_COUNT;
  cmd.scan_end_arg = kChannels;
  cmd.stop_src = TRIG_NONE;
  cmd.chanlist = list.data();
  cmd.chanlist_len = kChannels;
  if (device->Start(cmd) != 0) {
    state.SkipWithError("the scripted device refuses the command");
    return;
  }
  device->AllowUnlimited();
  std::vector<sampl_t> out(static_cast<std::size_t>(kChannels) * kScans);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    benchmark::DoNotOptimize(device->Read(out.data(), out.size() * sizeof(sampl_t)));
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["fraction_of_real_time"] = elapsed / (static_cast<double>(state.iterations()) * kBufferSeconds);
}
BENCHMARK(BM_ScriptedDeviceAlone)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace varnel

BENCHMARK_MAIN();
