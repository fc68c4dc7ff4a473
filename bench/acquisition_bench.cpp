// Per-buffer cost of acquisition: ProcessBuffer and ComputeLevels for 16
// channels x 8192 samples, against a plain memcpy of the same bytes, and how
// many times faster than real time one buffer is handled at the board's
// maximum aggregate rate.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "DeviceBench.h"
#include "acquisition/AcquisitionDevice.h"
#include "boards/sim/SimulatedBoard.h"
#include "platform/Files.h"
#include "platform/Trace.h"

#include <unistd.h>

namespace varnel {
namespace {

constexpr int32_t kChannels = 16;
constexpr int32_t kSamplesPerChannel = 8192;
constexpr int64_t kBufferSamples = int64_t{kChannels} * kSamplesPerChannel;
constexpr int32_t kMaxAggregateRate = 500000;

class NullTraces : public platform::TraceSink {
 public:
  void Write(std::string_view) override {}
};

// All 16 channels enabled at gains 1, 2, 4, 8 in turn, two of them monitored.
ChannelSettingsArray BenchChannels() {
  ChannelSettingsArray channels = DefaultChannels();
  const int32_t gains[4] = {1, 2, 4, 8};
  for (int32_t i = 0; i < kChannels; ++i) {
    channels[i].bIsEnabled = 1;
    channels[i].Gain = gains[i % 4];
  }
  channels[0].bIsMonitoringLeft = 1;
  channels[1].bIsMonitoringRight = 1;
  return channels;
}

struct Rig : bench::DeviceRig {
  explicit Rig(const std::string& ini) : DeviceRig(ini, BenchChannels(), kMaxAggregateRate / kChannels) {}
};

void SetBufferCounters(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kBufferSamples);
  state.SetBytesProcessed(state.iterations() * kBufferSamples * 2);
}

void BM_Memcpy(benchmark::State& state) {
  std::vector<uint16_t> from(kBufferSamples, 1234);
  std::vector<uint16_t> to(kBufferSamples);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kBufferSamples * 2);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  SetBufferCounters(state);
}

void RunProcessBuffer(benchmark::State& state, const std::string& ini) {
  Rig rig(ini);
  if (rig.device->GetSamplesPerChannel() != kSamplesPerChannel || rig.device->GetListSize() != kChannels) {
    state.SkipWithError("unexpected buffer shape");
    return;
  }
  for (auto _ : state) {
    rig.board->StepBufferUnchanged();
    benchmark::DoNotOptimize(rig.device->ProcessBuffer());
  }
  SetBufferCounters(state);
  state.counters["offset_path"] = rig.device->UsedOffsetPath() ? 1 : 0;
}

void BM_ProcessBuffer_DefaultBoard(benchmark::State& state) { RunProcessBuffer(state, ""); }
void BM_ProcessBuffer_TwosComplement12Bit(benchmark::State& state) {
  RunProcessBuffer(state, "[Board0]\nEncoding=0\nResolution=12\nRangeHigh=5\nRangeLow=-5\n");
}

void BM_ComputeLevels(benchmark::State& state) {
  Rig rig("");
  for (auto _ : state) {
    rig.device->ComputeLevels();
    benchmark::DoNotOptimize(rig.channels[0].Level);
  }
  SetBufferCounters(state);
}

// The same bytes from the board's 60 queued buffers in turn, as ProcessBuffer
// meets them: the source is no longer in the cache.
void BM_MemcpyQueuedBuffers(benchmark::State& state) {
  std::vector<std::vector<uint16_t>> from(kQueuedBuffers, std::vector<uint16_t>(kBufferSamples, 1234));
  std::vector<uint16_t> to(kBufferSamples);
  std::size_t next = 0;
  for (auto _ : state) {
    std::memcpy(to.data(), from[next].data(), kBufferSamples * 2);
    next = (next + 1) % from.size();
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  SetBufferCounters(state);
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_MemcpyQueuedBuffers);
BENCHMARK(BM_ProcessBuffer_DefaultBoard);
BENCHMARK(BM_ProcessBuffer_TwosComplement12Bit);
BENCHMARK(BM_ComputeLevels);

// Keeps each benchmark's best time per iteration for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        // With repetitions the best run stands for the machine's speed.
        const double t = run.GetAdjustedRealTime() / 1e9;
        const std::string name = run.run_name.function_name;
        auto it = seconds.find(name);
        if (it == seconds.end() || t < it->second) seconds[name] = t;
      }
    }
  }
  std::map<std::string, double> seconds;
};

void PrintSummary(const std::map<std::string, double>& seconds) {
  auto at = [&](const char* name) {
    auto it = seconds.find(name);
    return it == seconds.end() ? 0.0 : it->second;
  };
  const double copy = at("BM_Memcpy");
  const double queuedCopy = at("BM_MemcpyQueuedBuffers");
  if (copy <= 0.0 || queuedCopy <= 0.0) return;
  const double bufferSeconds = static_cast<double>(kSamplesPerChannel) / (kMaxAggregateRate / kChannels);
  std::printf("\nPer buffer of %d channels x %d samples (memcpy %.2f us from one buffer, %.2f us from the 60 queued):\n",
              kChannels, kSamplesPerChannel, copy * 1e6, queuedCopy * 1e6);
  struct Line {
    const char* name;
    const char* label;
    double target;
    double baseline;
  };
  // ProcessBuffer reads the board's queued buffers in turn; ComputeLevels reads the blocks.
  const Line lines[] = {{"BM_ProcessBuffer_DefaultBoard", "ProcessBuffer, default board", 0.25, queuedCopy},
                        {"BM_ProcessBuffer_TwosComplement12Bit", "ProcessBuffer, other configuration", 0.03, queuedCopy},
                        {"BM_ComputeLevels", "ComputeLevels", 0.5, copy}};
  for (const Line& line : lines) {
    const double t = at(line.name);
    if (t <= 0.0) continue;
    std::printf("  %-36s %8.2f us  %7.1f Msamples/s  %.3f of memcpy from one buffer, %.3f of memcpy from the same "
                "buffers (target %.2f)\n",
                line.label, t * 1e6, static_cast<double>(kBufferSamples) / t / 1e6, copy / t, line.baseline / t,
                line.target);
  }
  const double whole = at("BM_ProcessBuffer_DefaultBoard");
  if (whole > 0.0) {
    std::printf("  whole per-buffer work at %d Hz aggregate: %.0f times faster than real time (%.3f s of data)\n",
                kMaxAggregateRate, bufferSeconds / whole, bufferSeconds);
  }
}

}  // namespace
}  // namespace varnel

int main(int argc, char** argv) {
  varnel::NullTraces traces;
  varnel::platform::SetTraceSink(&traces);
  benchmark::Initialize(&argc, argv);
  varnel::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  varnel::PrintSummary(reporter.seconds);
  benchmark::Shutdown();
  varnel::platform::SetTraceSink(nullptr);
  return 0;
}
