// A run's files beside files that are not its own: another recorder's in the
// same folder, and a folder taken away while the files are open.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/RunSummary.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "recovery/RecordingJournal.h"
#include "support/RecorderRig.h"

namespace varnel {
namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SharedFolder : public ::testing::Test {
 protected:
  SharedFolder() {
    rig.UseChannels({0}, {0});
    rig.settings.SamplingRate = 50000;
  }
  // Run, with `answer` to the one question the Run asks after the analyser's.
  static void RunAnswering(test::RecorderRig& run, ui::DialogResult answer) {
    run.ui.ExpectMessageBox(test::kNoAnalyser, ui::DialogResult::Yes);
    run.ui.ExpectMessageBox(answer);
    run.engine->NormaliseChannelFlags();
    run.engine->OnRun();
  }
  test::RecorderRig rig;
};

// The overwrite answer covers the file it was asked about; a file that
// appears under the name during the run is someone else's and stays.
TEST_F(SharedFolder, OnlyAFileTheRunWasAllowedToReplaceIsReplaced) {
  struct Case {
    bool thereAtRun;
    ui::DialogResult answer;
    bool replaced;
  };
  for (const Case& c : {Case{false, ui::DialogResult::Yes, false}, Case{true, ui::DialogResult::Yes, true}}) {
    SCOPED_TRACE(c.thereAtRun);
    test::RecorderRig run;
    run.UseChannels({0}, {0});
    run.OpenEngine();
    const std::string name = run.Wave("Channel_0.wav");
    if (c.thereAtRun) std::ofstream(name) << "before";
    if (c.thereAtRun) {
      RunAnswering(run, c.answer);
    } else {
      run.Run();
    }
    run.StepBuffers(2);
    std::ofstream(name) << "theirs";
    run.engine->StopRecording();
    EXPECT_EQ(c.replaced, Contents(name) != "theirs");
    const std::string second = run.Wave("Channel_0_2.wav");
    EXPECT_EQ(!c.replaced, platform::FileExists(second));
    if (c.replaced) continue;
    EXPECT_EQ("wrote " + second + " (16384 frames)\nsaved as " + second + ": " + name +
                  " appeared during the run and was left as it was\n",
              FormatRunSummary(run.engine->Files));
    EXPECT_FALSE(run.engine->Files.Report.DataLost());
  }
}

TEST_F(SharedFolder, ARunWhereAnotherRecorderWritesGoesAheadOnlyWhenTheUserSaysSo) {
  rig.OpenEngine();
  platform::FileLock theirs;
  ASSERT_TRUE(theirs.WriteDurably(rig.Wave(std::string(kJournalPrefix) + "other.ini"), "[Run]\n", false));
  RunAnswering(rig, ui::DialogResult::No);
  EXPECT_EQ(0, rig.engine->bIsRunning);
  ASSERT_FALSE(rig.ui.Messages().empty());
  EXPECT_NE(std::string::npos, rig.ui.Messages().back().text.find("Another recorder is writing in " + rig.wavePath));
  RunAnswering(rig, ui::DialogResult::Yes);
  EXPECT_EQ(1, rig.engine->bIsRunning);
  rig.engine->StopRecording();
}

// Removing a folder does not end the files open in it (POSIX): they are saved
// in the folder made anew.
TEST_F(SharedFolder, AWaveFolderRemovedDuringTheRunIsMadeAgainWithTheFiles) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows does not remove a folder whose files are open";
#endif
  rig.OpenEngine();
  rig.Run();
  rig.StepBuffers(2);
  std::filesystem::remove_all(rig.wavePath);
  rig.StepBuffers(1);
  rig.engine->StopRecording();
  EXPECT_TRUE(rig.engine->Files.Report.Unsaved().empty());
  EXPECT_EQ("wrote " + rig.Wave("Channel_0.wav") + " (24576 frames)\n", FormatRunSummary(rig.engine->Files));
  EXPECT_GE(std::filesystem::file_size(rig.Wave("Channel_0.wav")), 44u + 24576 * 2);
}

}  // namespace
}  // namespace varnel
