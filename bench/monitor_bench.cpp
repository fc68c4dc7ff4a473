// The live monitor's work per time-series block: both channels' FFT,
// averaging and peaks, then what the window repaints (QPainter on Qt's
// offscreen platform, through the window's own backing store as on a screen,
// or the whole window rendered anew as the worst case).
// The refresh period is 50 ms for 8192-point blocks and 100 ms for 65536, so
// the share of one core is CPU time per block / period.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>

#include "MonitorWindow.h"

namespace {

using namespace varnel::monitor;

std::vector<int16_t> Block(std::size_t frames, double rate) {
  std::vector<int16_t> out(2 * frames);
  uint32_t noise = 1;
  for (std::size_t f = 0; f < frames; ++f) {
    noise = noise * 1664525u + 1013904223u;
    out[2 * f] = static_cast<int16_t>(3276.8 * std::sin(2 * M_PI * 250.0 * f / rate) + (noise >> 28));
    out[2 * f + 1] = static_cast<int16_t>(3276.8 * std::sin(2 * M_PI * 500.0 * f / rate) + (noise >> 28));
  }
  return out;
}

void Label(benchmark::State& state, double periodMs) {
  state.counters["period_ms"] = periodMs;
  state.counters["core_share_%"] = benchmark::Counter(static_cast<double>(state.iterations()) * periodMs * 1e-3 / 100.0,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

double PeriodOf(std::size_t frames) {
  return frames < 16384 ? 50.0 : 100.0;
}

// Model only: FFT of both channels, averaging, decibels, peaks.
void BM_MonitorModel(benchmark::State& state) {
  const auto frames = static_cast<std::size_t>(state.range(0));
  const auto block = Block(frames, 25000.0);
  MonitorModel model;
  for (auto _ : state) {
    model.AddBlock(block);
    benchmark::DoNotOptimize(model.Channel(1).peak.decibels);
  }
  Label(state, PeriodOf(frames));
}

// The whole block as the window takes it: the model, then the widgets the
// block changed repainted into the shown window's backing store.
void BM_MonitorBlockAndPlots(benchmark::State& state) {
  const auto frames = static_cast<std::size_t>(state.range(0));
  const auto block = Block(frames, 25000.0);
  MonitorServer server("MonitorBench", static_cast<uint32_t>(frames));  // never started: no bus needed
  MonitorWindow window(server, {});
  window.resize(1100, 720);
  window.show();
  QCoreApplication::processEvents();
  for (auto _ : state) {
    window.ShowBlock(block);
    QCoreApplication::processEvents();
  }
  Label(state, PeriodOf(frames));
}

// The same, with the whole window rendered into a picture after every block.
void BM_MonitorBlockAndWholeWindow(benchmark::State& state) {
  const auto frames = static_cast<std::size_t>(state.range(0));
  const auto block = Block(frames, 25000.0);
  MonitorServer server("MonitorBench", static_cast<uint32_t>(frames));  // never started: no bus needed
  MonitorWindow window(server, {});
  window.resize(1100, 720);
  QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    window.ShowBlock(block);
    QPainter painter(&image);
    window.render(&painter);
  }
  Label(state, PeriodOf(frames));
}

BENCHMARK(BM_MonitorModel)->Arg(8192)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonitorBlockAndPlots)->Arg(8192)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonitorBlockAndWholeWindow)->Arg(8192)->Arg(65536)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
