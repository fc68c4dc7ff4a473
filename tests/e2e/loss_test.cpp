// A channel that cannot be written, and board overruns, are never silent:
// the user is told at once and once, the status line names what is not being
// recorded, a resumption reports its gap, and the closing list has it all.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include "engine/RunSummary.h"
#include "platform/Messages.h"
#include "support/RecorderRig.h"
#include "support/ShownAsBoxes.h"

namespace varnel {
namespace {

using test::RecorderRig;
using ui::DialogResult;

uint64_t FramesOf(const std::string& path) {
  test::ScriptedUiServices ui;
  WaveIO wave(test::BoxesFor(ui));
  return wave.OpenExisting(path) == 1 ? wave.Length : 0;
}

// Frames in the channel's files plus frames in its gaps: the whole run.
uint64_t Accounted(const RecorderRig& rig, int32_t channel) {
  uint64_t frames = 0;
  const std::string prefix = "Channel_" + std::to_string(channel);
  for (const std::string& f : rig.WaveFiles())
    if (f.rfind(prefix, 0) == 0) frames += FramesOf(rig.wavePath + "/" + f);
  for (const RecordingGap& g : rig.dialog->Engine.Files.Report.Gaps())
    if (g.channel == channel) frames += g.frames;
  return frames;
}

TEST(Losses, AChannelThatCannotBeWrittenIsToldOnceNamedInTheStatusAndItsGapReported) {
  RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.SamplingRate = 20000;
  rig.Open();
  {
    // No file can take even one block: channels 0 and 1 lose two buffers.
    ScopedWaveRiffSizeLimit limit(36 + 100);
    rig.Run();
    rig.ui.ExpectMessageBox(
        "Channel 0 (Channel_0) is not being recorded: the wave file reached the 4 GiB size "
        "limit.  Its samples from 0.000 s on are lost until it can be written again.",
        DialogResult::OK);
    rig.ui.ExpectMessageBox(DialogResult::OK);
    rig.StepBuffers(1);
    EXPECT_EQ(" Running... - channels 0, 1 not recorded", rig.dialog->GetText(kIdStatus));
    rig.loop.DispatchPending();  // the notices follow the buffer at once
    EXPECT_TRUE(rig.ui.AllAnswersUsed());
    rig.StepBuffers(1);  // told once
    rig.loop.DispatchPending();
    EXPECT_EQ(2u, rig.ui.Messages().size() - 1);
  }
  rig.ui.ExpectMessageBox(DialogResult::OK);
  rig.ui.ExpectMessageBox(DialogResult::OK);
  rig.StepBuffers(1);
  rig.loop.DispatchPending();
  EXPECT_EQ(" Running...", rig.dialog->GetText(kIdStatus));
  rig.StepBuffers(1);
  const std::string resumed = rig.ui.Messages().back().text;
  EXPECT_NE(std::string::npos, resumed.find("Channel 1 (Channel_1) is recorded again in " + rig.wavePath)) << resumed;
  EXPECT_NE(std::string::npos, resumed.find("after a gap of 0.819 s (16384 frames).")) << resumed;
  rig.dialog->Click(kIdRun);

  const RunReport& report = rig.dialog->Engine.Files.Report;
  EXPECT_TRUE(report.DataLost());
  ASSERT_EQ(2u, report.Gaps().size());
  EXPECT_EQ(0u, report.Gaps()[0].startFrame);
  EXPECT_TRUE(report.Gaps()[0].resumed);
  for (int32_t c : {0, 1}) EXPECT_EQ(4u * 8192, Accounted(rig, c)) << c;
  const std::string summary = FormatRunSummary(rig.dialog->Engine.Files);
  EXPECT_NE(std::string::npos,
            summary.find("lost channel 0 (Channel_0) from 0.000 s: 0.819 s (16384 frames), the wave file reached"))
      << summary;
  EXPECT_EQ(std::string::npos, summary.find("wrote  (")) << summary;
  EXPECT_EQ(2u, rig.WaveFiles().size());
}

// An overrun never ends a recording: the board has its buffers back and goes
// on, the stretch lost is measured from the clock and listed with its length,
// and every channel goes on in a new file, so that each file is continuous.
TEST(Losses, AnOverrunIsMeasuredListedAndRecordedAcross) {
  RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.SamplingRate = 50000;
  rig.Open();
  rig.ui.AnswerUnscriptedBoxes(DialogResult::OK);
  rig.Run();
  rig.StepBuffers(2);
  // The main thread held up: every queued buffer fills, the board runs dry,
  // 9.83 s after the first two, and the main thread comes back 5 s later.
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(rig.board->StepBuffer());
  EXPECT_FALSE(rig.board->StepBuffer());
  rig.Clock().Advance(9830 + 5000);
  rig.loop.DispatchPending();
  EXPECT_EQ(" ERROR - Buffer Overrun... (1)", rig.dialog->GetText(kIdStatus));
  rig.StepBuffers(3);
  EXPECT_EQ(1, rig.dialog->bIsRunning);
  rig.dialog->Click(kIdRun);
  const RunReport& report = rig.dialog->Engine.Files.Report;
  ASSERT_EQ(1u, report.Overruns().size());
  EXPECT_TRUE(report.DataLost());
  // The overrun message came after the 62 buffers: 62 x 8192 / 50000 s; the
  // 5 s after it are lost, less the buffer the board may have begun since.
  const std::string summary = FormatRunSummary(rig.dialog->Engine.Files);
  EXPECT_NE(std::string::npos, summary.find("overrun 1 after 10.158 s of recording: ")) << summary;
  EXPECT_GE(report.OverrunLosses()[0], 5u * 50000 - 8192 - 100) << summary;
  EXPECT_LE(report.OverrunLosses()[0], 5u * 50000) << summary;
  const std::vector<std::string> files = rig.WaveFiles();
  ASSERT_EQ(4u, files.size()) << summary;
  for (int32_t channel : {0, 1}) {
    EXPECT_EQ(62u * 8192, FramesOf(rig.wavePath + "/Channel_" + std::to_string(channel) + ".wav"));
    EXPECT_EQ(65u * 8192, Accounted(rig, channel)) << summary;
  }
  EXPECT_NE(std::string::npos, rig.ui.Messages().back().text.find("Each channel goes on in a new file."));
}

TEST(Losses, AnOverrunMessageAloneShowsTheCount) {
  RecorderRig rig;
  rig.UseChannels({0}, {0});
  rig.Open();
  rig.Run();
  rig.loop.Post({platform::kBufferOverrunMessage, 0, 0});
  rig.loop.Post({platform::kBufferOverrunMessage, 0, 0});
  rig.loop.DispatchPending();
  EXPECT_EQ(" ERROR - Buffer Overrun... (2)", rig.dialog->GetText(kIdStatus));
  rig.dialog->Click(kIdRun);
}

// A small file system of its own: the disk really fills.
class SmallDisk {
 public:
  SmallDisk(const std::string& where, const char* size) : where_(where) {
    platform::CreateFolders(where);
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", where.c_str(), "tmpfs", 0, size) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string where_;
  bool mounted_ = false;
};

TEST(Losses, AFullDiskIsReportedTheGapMeasuredWhenSpaceReturnsAndNoFileIsDamaged) {
  RecorderRig rig;
  SmallDisk disk(rig.wavePath, "size=256k");
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  const std::string ballast = rig.wavePath + "/ballast";
  test::WriteFile(ballast, std::string(150 * 1024, 'x'));
  rig.UseChannels({0, 1}, {0, 1});
  rig.Open();
  rig.Run();
  rig.ui.AnswerUnscriptedBoxes(DialogResult::OK);
  for (int i = 0; i < 8 && !rig.dialog->Engine.Files.Report.DataLost(); ++i) rig.StepBuffers(1);
  ASSERT_TRUE(rig.dialog->Engine.Files.Report.DataLost());
  rig.loop.DispatchPending();
  ASSERT_GE(rig.ui.Messages().size(), 2u);
  const std::string told = rig.ui.Messages()[1].text;
  EXPECT_NE(std::string::npos, told.find("is not being recorded: the disk is full.")) << told;
  EXPECT_NE(std::string::npos, rig.dialog->GetText(kIdStatus).find("not recorded"));
  rig.StepBuffers(2);
  ::unlink(ballast.c_str());
  rig.StepBuffers(2);
  rig.dialog->Click(kIdRun);
  rig.loop.DispatchPending();

  const RunReport& report = rig.dialog->Engine.Files.Report;
  for (const RecordingGap& g : report.Gaps()) EXPECT_TRUE(g.resumed) << g.channel;
  const uint64_t run = report.Frames();
  for (int32_t c : {0, 1}) EXPECT_EQ(run, Accounted(rig, c)) << c;
  for (const std::string& f : rig.WaveFiles()) {
    int status = 0;
    const std::string info = test::RunCommand("sox --i '" + rig.wavePath + "/" + f + "' 2>&1", &status);
    EXPECT_EQ(0, status) << f << info;
  }
  const std::string summary = FormatRunSummary(rig.dialog->Engine.Files);
  EXPECT_NE(std::string::npos, summary.find("the disk is full")) << summary;
  EXPECT_EQ(std::string::npos, summary.find("wrote  (")) << summary;
}

}  // namespace
}  // namespace varnel
