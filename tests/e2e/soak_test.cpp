// Real-time recording through the simulated board's producer thread, with the
// main thread held up once for longer than a buffer. Short by default; the
// soak script in bench/ runs it for ten minutes (VARNEL_SOAK_SECONDS).

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "RecorderRig.h"
#include "ui/Messages.h"

namespace varnel {
namespace {

// Counts what the board posts and holds the main thread up once.
class CountingHandler : public ui::MessageHandler {
 public:
  explicit CountingHandler(RecorderDialog& dialog) : dialog_(dialog) {}
  intptr_t HandleMessage(const ui::Message& m) override {
    if (m.id == ui::kBufferDoneMessage) {
      ++posted;
      if (dialog_.bIsRunning == 1) ++whileRunning;
      if (posted == 5) std::this_thread::sleep_for(std::chrono::milliseconds(700));  // > 2.5 buffers
    }
    if (m.id == ui::kBufferOverrunMessage) ++overruns;
    const auto start = std::chrono::steady_clock::now();
    const intptr_t result = dialog_.HandleMessage(m);
    if (m.id == ui::kBufferDoneMessage && dialog_.bIsRunning == 1) {
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      longestBufferMs = std::max(longestBufferMs, ms);
      totalBufferMs += ms;
    }
    return result;
  }
  double longestBufferMs = 0;  // the main thread's work for one buffer
  double totalBufferMs = 0;
  int64_t posted = 0;
  int64_t whileRunning = 0;
  int64_t overruns = 0;

 private:
  RecorderDialog& dialog_;
};

TEST(Soak, RealTimeRecordingKeepsEveryAcquiredFrame) {
  const char* env = std::getenv("VARNEL_SOAK_SECONDS");
  const double seconds = env ? std::atof(env) : 4.0;
  platform::SystemClock realClock;
  platform::ScopedClock useRealTime(realClock);

  test::RecorderRig rig;
  std::vector<int> all;
  for (int i = 0; i < kChannelCount; ++i) all.push_back(i);
  rig.UseChannels(all, all);
  rig.settings.SamplingRate = 31250;
  rig.Open();
  // VARNEL_SOAK_NO_SYNC=1 measures the same run without the periodic sync, for comparison.
  const bool sync = std::getenv("VARNEL_SOAK_NO_SYNC") == nullptr;
  rig.dialog->Files.SetPeriodicSync(sync);
  rig.board->SetStepMode(false);
  CountingHandler counter(*rig.dialog);
  rig.loop.SetHandler(&counter);
  rig.Run();
  ASSERT_EQ(1, rig.dialog->bIsRunning);

  // At least `seconds`, then on until the hold-up is well behind and the
  // periodic sync has passed twice, however long a busy machine takes for that.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
  const auto bound = end + std::chrono::minutes(2);
  const auto enough = [&] {
    return counter.whileRunning >= 10 && (!sync || rig.dialog->Files.SyncStats().passes >= 2);
  };
  for (auto now = std::chrono::steady_clock::now(); now < bound && (now < end || !enough());
       now = std::chrono::steady_clock::now())
    rig.loop.WaitAndDispatch(50);
  const WorkingFileSync::Stats stats = rig.dialog->Files.SyncStats();
  rig.dialog->Click(kIdRun);
  rig.loop.DispatchPending();
  std::printf("soak: periodic sync %s: %llu fdatasync calls, longest %.2f ms, mean %.2f ms, longest pass over all "
              "files %.2f ms; main thread per buffer: longest %.2f ms, mean %.2f ms\n",
              sync ? "on" : "off", static_cast<unsigned long long>(stats.syncs), stats.longestMs,
              stats.syncs ? stats.totalMs / stats.syncs : 0.0, stats.longestRoundMs, counter.longestBufferMs,
              counter.whileRunning ? counter.totalBufferMs / counter.whileRunning : 0.0);
  if (sync) {
    EXPECT_GE(stats.passes, 2u);
    EXPECT_GE(stats.syncs, 16u);  // the second pass began with every file watched
  }

  // The buffers completed while the board stopped, and the part of the last
  // one, are written too.
  const auto expectedFrames = static_cast<int64_t>(rig.dialog->Files.Report.Frames());
  EXPECT_GE(expectedFrames, counter.whileRunning * 8192);
  std::printf("soak: %.0f s, %lld buffers filled, %lld written, %lld overruns, %lld frames per file\n", seconds,
              static_cast<long long>(counter.posted), static_cast<long long>(counter.whileRunning),
              static_cast<long long>(counter.overruns), static_cast<long long>(expectedFrames));
  EXPECT_EQ(0, counter.overruns);
  EXPECT_GE(counter.whileRunning, 10);
  std::vector<std::string> files = rig.WaveFiles();
  ASSERT_EQ(16u, files.size());
  for (const std::string& f : files) {
    test::ScriptedUiServices ui;
    WaveIO wave(ui);
    ASSERT_EQ(1, wave.OpenExisting(rig.wavePath + "/" + f)) << f;
    EXPECT_EQ(expectedFrames, static_cast<int64_t>(wave.Length)) << f;
  }
}

}  // namespace
}  // namespace varnel
