// Stop keeps every sample the board delivered: buffers completed while the
// board is being stopped and the part of the buffer it was filling.

#include <gtest/gtest.h>

#include "engine/RunSummary.h"
#include "support/RecorderRig.h"
#include "support/ShownAsBoxes.h"

namespace varnel {
namespace {

using test::RecorderRig;

struct Boundary {
  int32_t rate;
  int handled;          // buffers handled while running
  int pending;          // completed, their messages not yet handled at Stop
  std::size_t partial;  // scans of the buffer being filled at Stop
};

TEST(StopBoundary, FilesHoldEveryCompletedBufferAndThePartOneAtEveryRate) {
  for (const Boundary b :
       {Boundary{1000, 1, 0, 500}, Boundary{10000, 2, 1, 4000}, Boundary{31250, 3, 2, 8191}, Boundary{50000, 2, 0, 0},
        Boundary{100000, 1, 1, 12499}, Boundary{20000, 1, kQueuedBuffers, 0}}) {
    SCOPED_TRACE(b.rate);
    RecorderRig rig;
    rig.UseChannels({0, 2}, {0, 2});
    rig.settings.SamplingRate = b.rate;
    rig.Open();
    rig.Run();
    ASSERT_EQ(1, rig.dialog->bIsRunning);
    const int32_t perBuffer = rig.dialog->Engine.Device.GetSamplesPerChannel();
    rig.StepBuffers(b.handled);
    const std::vector<uint16_t> pendingCodes{32768 + 123, 32768 + 456};
    for (int i = 0; i < b.pending; ++i) ASSERT_TRUE(rig.board->StepBuffer(pendingCodes));
    // With every buffer completed there is none left to be filling.
    if (b.pending < kQueuedBuffers) {
      ASSERT_TRUE(rig.board->StepPartialBuffer(b.partial));
    }
    rig.dialog->Click(kIdRun);
    rig.loop.DispatchPending();  // the late messages find nothing more to write

    const uint64_t frames = static_cast<uint64_t>(b.handled + b.pending) * perBuffer + b.partial;
    EXPECT_EQ(frames, rig.dialog->Engine.Files.Report.Frames());
    for (const char* name : {"Channel_0.wav", "Channel_2.wav"}) {
      const std::string path = rig.wavePath + "/" + name;
      test::ScriptedUiServices ui;
      WaveIO wave(test::BoxesFor(ui));
      ASSERT_EQ(1, wave.OpenExisting(path)) << name;
      EXPECT_EQ(frames, wave.Length) << name;
      if (b.pending > 0) {
        // The first pending buffer follows the handled ones, sample for sample.
        const std::string bytes = test::ReadFile(path);
        int16_t sample = 0;
        std::memcpy(&sample, bytes.data() + 44 + 2 * static_cast<std::size_t>(b.handled) * perBuffer, 2);
        EXPECT_EQ(name[8] == '0' ? 123 : 456, sample) << name;
      }
      if (!test::HostToolsAvailable()) continue;
      const std::string info = test::RunCommand("sndfile-info '" + path + "' 2>&1");
      EXPECT_NE(std::string::npos, info.find("Frames      : " + std::to_string(frames))) << info;
    }
    EXPECT_FALSE(rig.dialog->Engine.Files.Report.DataLost());
  }
}

TEST(StopBoundary, AStopWhileWaitingForTheTriggerWritesNothingAndSaysSo) {
  RecorderRig rig;
  rig.UseChannels({0}, {0});
  rig.settings.TriggerEnable = 1;
  rig.Open();
  rig.Run();
  rig.dialog->Click(kIdRun);
  rig.loop.DispatchPending();
  EXPECT_TRUE(rig.WaveFiles().empty());
  EXPECT_EQ(0u, rig.dialog->Engine.Files.Report.Frames());
  EXPECT_EQ(0u, rig.board->AllocatedBuffers());
  EXPECT_EQ(" Stopped: no trigger came; nothing was recorded", rig.dialog->GetText(kIdStatus));
  EXPECT_EQ("no trigger came; nothing was recorded\n", FormatRunSummary(rig.dialog->Engine.Files));
}

// At 1000 Hz a buffer lasts 8.2 s: a Stop 4 s after the trigger used to
// discard the 4000 frames the board held, as no buffer had been completed.
TEST(StopBoundary, AStopAfterTheTriggerKeepsWhatTheBoardFilledSinceIt) {
  RecorderRig rig;
  rig.UseChannels({0}, {0});
  rig.settings.SamplingRate = 1000;
  rig.settings.TriggerEnable = 1;
  rig.settings.PostTriggerRunTime = 60.0f;
  rig.Open();
  rig.Run();
  ASSERT_TRUE(rig.board->StepPartialBuffer(4000));
  rig.dialog->Click(kIdRun);
  rig.loop.DispatchPending();
  EXPECT_EQ(" Stopped", rig.dialog->GetText(kIdStatus));
  EXPECT_EQ("wrote " + platform::JoinPath(rig.wavePath, "Channel_0.wav") + " (4000 frames)\n",
            FormatRunSummary(rig.dialog->Engine.Files));
}

}  // namespace
}  // namespace varnel
