// Recording throughput: sixteen WaveIO files fed with blocks of 8192 16-bit
// samples, in either layout (wave, broadcast wave), against plain buffered
// writes of the same bytes to the same folder; and the cost of finalising a
// 100 MiB recording (a rename) next to a copy.
//
// The folder is VARNEL_BENCH_DIR when set, else a fresh one under the system's
// temporary folder.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "ui/QuietUiServices.h"
#include "wave/WaveIO.h"

namespace {

using varnel::SampleFormat;
using varnel::WaveIO;

constexpr int kFiles = 16;
constexpr uint32_t kBlockBytes = 8192 * 2;
constexpr int kBlocksPerFile = 128;  // 2 MiB per file, 32 MiB per recording

using QuietUi = varnel::ui::QuietUiServices;

class BenchFolder {
 public:
  BenchFolder() {
    if (const char* env = std::getenv("VARNEL_BENCH_DIR")) {
      path_ = env;
      return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "varnel-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
    owned_ = true;
  }
  ~BenchFolder() {
    std::error_code ec;
    if (owned_) std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool owned_ = false;
};

BenchFolder& Folder() {
  static BenchFolder folder;
  return folder;
}

const std::vector<int16_t>& Block() {
  static std::vector<int16_t> block = [] {
    std::vector<int16_t> b(kBlockBytes / 2);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<int16_t>(i * 37);
    return b;
  }();
  return block;
}

SampleFormat RecorderFormat() {
  SampleFormat f;
  f.Set(65536, 1, 2);
  return f;
}

varnel::WaveFileChoice Layout(int64_t broadcast) {
  varnel::WaveFileChoice choice;
  if (broadcast == 0) return choice;
  choice.format = varnel::WaveFileFormat::kBroadcast;
  choice.start.utcMicroseconds = 1796824800000123;
  choice.start.sampleRate = RecorderFormat().SampleRate;
  choice.start.label = "Channel";
  return choice;
}

// One recording of 16 channels through WaveIO; returns seconds spent appending.
double RecordWithWaveIO(QuietUi& ui, const varnel::WaveFileChoice& layout = {}) {
  const SampleFormat format = RecorderFormat();
  std::array<std::unique_ptr<WaveIO>, kFiles> files;
  for (int i = 0; i < kFiles; ++i) {
    files[i] = WaveIO::CreateForRecording(ui, format, Folder().Path(), layout);
    files[i]->SetFormat(format);
  }
  const auto start = std::chrono::steady_clock::now();
  for (int b = 0; b < kBlocksPerFile; ++b)
    for (auto& file : files)
      if (file->Append(Block().data(), kBlockBytes) != 1) std::abort();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (auto& file : files) file->DeleteWorkingFile = 1;
  return seconds;
}

// The same bytes (header and blocks) through stdio's buffered writes.
double RecordWithPlainWrites() {
  std::array<std::FILE*, kFiles> files{};
  std::array<std::string, kFiles> names;
  char header[WaveIO::kHeaderSize] = {};
  for (int i = 0; i < kFiles; ++i) {
    names[i] = varnel::platform::ReserveUniqueFileName(Folder().Path(), "raw");
    files[i] = std::fopen(names[i].c_str(), "wb");
    if (!files[i] || std::fwrite(header, 1, sizeof header, files[i]) != sizeof header) std::abort();
  }
  const auto start = std::chrono::steady_clock::now();
  for (int b = 0; b < kBlocksPerFile; ++b)
    for (auto* file : files)
      if (std::fwrite(Block().data(), 1, kBlockBytes, file) != kBlockBytes) std::abort();
  for (auto* file : files) std::fflush(file);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (int i = 0; i < kFiles; ++i) {
    std::fclose(files[i]);
    varnel::platform::DeleteFile(names[i]);
  }
  return seconds;
}

constexpr double kRecordingBytes = double(kFiles) * kBlocksPerFile * kBlockBytes;

void BM_Append16Files_WaveIO(benchmark::State& state) {
  QuietUi ui;
  for (auto _ : state) state.SetIterationTime(RecordWithWaveIO(ui));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecordingBytes));
}
BENCHMARK(BM_Append16Files_WaveIO)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Append16Files_PlainWrites(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(RecordWithPlainWrites());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecordingBytes));
}
BENCHMARK(BM_Append16Files_PlainWrites)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Both ways in turn within each iteration, so that the page cache and the
// disk's write-back treat them alike; the ratio is WaveIO's share of plain
// speed. Argument: 0 wave files, 1 broadcast wave files.
void BM_Append16Files_SideBySide(benchmark::State& state) {
  QuietUi ui;
  const varnel::WaveFileChoice layout = Layout(state.range(0));
  double wave = 0, plain = 0;
  bool waveFirst = true;
  for (auto _ : state) {
    // Turn about, so that neither always inherits the other's write-back.
    double w = 0, p = 0;
    if (waveFirst) {
      w = RecordWithWaveIO(ui, layout);
      p = RecordWithPlainWrites();
    } else {
      p = RecordWithPlainWrites();
      w = RecordWithWaveIO(ui, layout);
    }
    waveFirst = !waveFirst;
    wave += w;
    plain += p;
    state.SetIterationTime(w + p);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["wave_MiBps"] = n * kRecordingBytes / wave / (1 << 20);
  state.counters["plain_MiBps"] = n * kRecordingBytes / plain / (1 << 20);
  state.counters["wave_vs_plain"] = plain / wave;
}
BENCHMARK(BM_Append16Files_SideBySide)
    ->ArgName("broadcast")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(4.0);

// A 100 MiB recording, ready to be finalised under a free final name.
std::unique_ptr<WaveIO> HundredMiBRecording(QuietUi& ui, const std::string& finalName) {
  const SampleFormat format = RecorderFormat();
  auto wave = WaveIO::CreateForRecording(ui, format, Folder().Path());
  wave->SetFormat(format);
  wave->SetFileName(finalName);
  for (int b = 0; b < (100 << 20) / static_cast<int>(kBlockBytes); ++b)
    if (wave->Append(Block().data(), kBlockBytes) != 1) std::abort();
  return wave;
}

void BM_Finalise100MiB_Save(benchmark::State& state) {
  QuietUi ui;
  const std::string finalName = Folder().Path() + "/final.wav";
  for (auto _ : state) {
    state.PauseTiming();
    auto wave = HundredMiBRecording(ui, finalName);
    state.ResumeTiming();
    if (wave->Save() != 1) std::abort();
    state.PauseTiming();
    wave.reset();
    varnel::platform::DeleteFile(finalName);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Finalise100MiB_Save)->Unit(benchmark::kMillisecond)->Iterations(3);

// What a copy of the same file would cost instead.
void BM_Finalise100MiB_CopyForComparison(benchmark::State& state) {
  QuietUi ui;
  const std::string finalName = Folder().Path() + "/final.wav";
  const std::string copyName = Folder().Path() + "/copy.wav";
  auto wave = HundredMiBRecording(ui, finalName);
  if (wave->Close() != 1) std::abort();
  for (auto _ : state) {
    if (!varnel::platform::CopyFileReplacing(finalName, copyName)) std::abort();
    state.PauseTiming();
    varnel::platform::DeleteFile(copyName);
    state.ResumeTiming();
  }
  varnel::platform::DeleteFile(finalName);
}
BENCHMARK(BM_Finalise100MiB_CopyForComparison)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
