// Loading the settings file: every key of the sixteen channel sections and
// "Main" from a file padded with unknown keys and comments to a given size
// (a hand-edited or appended-to file). The time should grow with the size,
// not with the size times the number of keys.
//
// The file lives in VARNEL_BENCH_DIR when set, else the system's temporary folder.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/SettingsFile.h"

namespace {

std::string MakeSettings(std::size_t bytes) {
  std::string text;
  for (int i = 0; i < varnel::kChannelCount; ++i) {
    text += "[Channel_" + std::to_string(i) + "]\nbIsEnabled=1\nGain=2\nbIsRecording=1\nszLabel=Mic " +
            std::to_string(i) + "\n";
  }
  text += "[Main]\nSamplingRate=31250\nCaption=Bench\n";
  // The padding sits in front of the keys, where a search from the top has to cross it.
  std::string padding = "[Notes]\n";
  for (int n = 0; padding.size() < bytes; ++n)
    padding += "note" + std::to_string(n) + "=a line of text that nobody reads, kept by the editor\n; comment\n";
  return padding + text;
}

std::string BenchFile() {
  const char* dir = std::getenv("VARNEL_BENCH_DIR");
  const char* tmp = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : (tmp && *tmp ? tmp : "/tmp")) + "/varnel-settings-bench-" +
         std::to_string(::getpid()) + ".ini";
}

void LoadSettingsOfSize(benchmark::State& state) {
  const std::string path = BenchFile();
  const std::string text = MakeSettings(static_cast<std::size_t>(state.range(0)));
  std::ofstream(path, std::ios::binary) << text;
  if (!std::ifstream(path)) {
    state.SkipWithError("cannot write the settings file");
    return;
  }
  for (auto _ : state) {
    varnel::ChannelSettingsArray channels = varnel::DefaultChannels();
    varnel::RecorderSettings settings;
    varnel::LoadSettings(path, channels, settings);
    benchmark::DoNotOptimize(settings.SamplingRate);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  ::unlink(path.c_str());
}
BENCHMARK(LoadSettingsOfSize)->Arg(4 << 10)->Arg(512 << 10)->Arg(5 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
