// Per-buffer cost of the level trigger: detection on one channel plus the
// pre-trigger history of every channel, against ProcessBuffer of the same
// buffer (16 channels x 8192 samples). The trigger never fires, as while a
// run waits; the goal is at most half of ProcessBuffer's cost.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "DeviceBench.h"
#include "acquisition/AcquisitionDevice.h"
#include "boards/sim/SimulatedBoard.h"
#include "engine/TriggerStage.h"
#include "platform/Files.h"

namespace varnel {
namespace {

constexpr int32_t kChannels = 16;
constexpr int32_t kRate = 500000 / kChannels;  // buffers of 8192 frames
constexpr int64_t kBufferSamples = int64_t{kChannels} * 8192;

class NullSink : public TriggerSink {
 public:
  void EventBegins(const TriggerEvent&) override {}
  void Write(const ChannelBlocks& piece) override { benchmark::DoNotOptimize(piece.frames); }
  void EventEnds(const TriggerEvent&) override {}
};

ChannelSettingsArray AllRecorded() {
  ChannelSettingsArray channels = DefaultChannels();
  for (ChannelSettings& c : channels) c.bIsEnabled = c.bIsRecording = 1;
  return channels;
}

// On the default simulated board: a tone per channel.
struct Rig : bench::DeviceRig {
  Rig() : DeviceRig("", AllRecorded(), kRate) {}
  ChannelBlocks Blocks() {
    ChannelBlocks b;
    for (int32_t c = 0; c < kChannels; ++c) b.blocks[c] = device->GetChannelBlock(c);
    b.frames = static_cast<uint32_t>(device->GetSamplesPerChannel());
    return b;
  }
};

void SetBufferCounters(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kBufferSamples);
}

void BM_ProcessBuffer(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) {
    rig.board->StepBufferUnchanged();
    benchmark::DoNotOptimize(rig.device->ProcessBuffer());
  }
  SetBufferCounters(state);
}

// state.range(0): seconds of history.
void BM_TriggerWaiting(benchmark::State& state) {
  Rig rig;
  TriggerPlan plan;
  plan.channel = 0;
  plan.thresholds = {32000.0, 327.68, TriggerSlope::kEither};  // beyond the tone: never fires
  plan.preFrames = static_cast<uint32_t>(state.range(0) * kRate);
  plan.recorded.fill(true);
  TriggerStage stage;
  stage.Begin(plan);
  NullSink sink;
  const ChannelBlocks buffer = rig.Blocks();
  for (auto _ : state) {
    stage.Take(buffer, sink);
    benchmark::ClobberMemory();
  }
  SetBufferCounters(state);
  state.counters["history_MiB"] = static_cast<double>(stage.HistoryBytes()) / (1024.0 * 1024.0);
}

BENCHMARK(BM_ProcessBuffer);
BENCHMARK(BM_TriggerWaiting)->Arg(0)->Arg(1)->Arg(10);

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double t = run.GetAdjustedRealTime() / 1e9;
      auto it = seconds.find(run.benchmark_name());
      if (it == seconds.end() || t < it->second) seconds[run.benchmark_name()] = t;
    }
  }
  std::map<std::string, double> seconds;
};

}  // namespace
}  // namespace varnel

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  varnel::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto process = reporter.seconds.find("BM_ProcessBuffer");
  if (process == reporter.seconds.end()) return 0;
  std::printf("\nPer buffer of 16 channels x 8192 samples: ProcessBuffer %.2f us\n", process->second * 1e6);
  for (const auto& [name, t] : reporter.seconds) {
    if (name.rfind("BM_TriggerWaiting", 0) != 0) continue;
    std::printf("  %-24s %8.2f us  %.3f of ProcessBuffer (goal at most 0.5)\n", name.c_str(), t * 1e6,
                t / process->second);
  }
  return 0;
}
