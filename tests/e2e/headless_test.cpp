#include <gtest/gtest.h>

#include <cstdlib>

#include "ChildProcess.h"
#include "RecorderRig.h"

namespace varnel {
namespace {

std::string Tool() {
  const char* build = std::getenv("VARNEL_BUILD_DIR");
  return std::string(build ? build : "build") + "/bin/varnel-record";
}

// A settings file with channels 0 and 1 recorded into the rig's folders.
std::string PrepareSettings(test::RecorderRig& rig) {
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.SamplingRate = 20000;
  const std::string ini = rig.dir.File("headless.ini");
  SaveSettings(ini, rig.channels, rig.settings);
  return ini;
}

TEST(Headless, CtrlCStopsAndSavesEverything) {
  test::RecorderRig rig;
  const std::string ini = PrepareSettings(rig);
  test::ChildProcess recorder({Tool(), "--continue-without-analyser", "--settings", ini}, rig.dir.File("out.log"));
  ASSERT_NE(std::string::npos, recorder.WaitFor("status: Running...", 120000)) << recorder.Output();
  recorder.Signal(SIGINT);
  EXPECT_EQ(0, recorder.Wait(120000));
  const std::string out = recorder.Output();
  EXPECT_NE(std::string::npos, out.find("status: Saving Wave Files....")) << out;
  EXPECT_NE(std::string::npos, out.find("wrote " + rig.wavePath + "/Channel_0.wav (")) << out;
  EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_1.wav"}), rig.WaveFiles());
  std::string info = test::RunCommand("sndfile-info '" + rig.wavePath + "/Channel_1.wav' 2>&1");
  EXPECT_NE(std::string::npos, info.find("Sample Rate : 20000")) << info;
  // The settings were written at close: ChannelIndex is written, never read.
  EXPECT_NE(std::string::npos, test::ReadFile(ini).find("ChannelIndex=1")) << test::ReadFile(ini);
}

TEST(Headless, AnswersComeFromTheCommandLine) {
  test::RecorderRig rig;
  const std::string ini = PrepareSettings(rig);
  test::WriteFile(rig.wavePath + "/Channel_0.wav", "old");
  int status = 0;
  // Without an analyser and without permission to go on, nothing is recorded.
  std::string out = test::RunCommand(Tool() + " --seconds 0.5 --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(1, status) << out;
  EXPECT_NE(std::string::npos, out.find("Continue anyway? -> No")) << out;
  // The overwrite question answered No: channel 0 keeps its old file.
  out = test::RunCommand(Tool() + " --seconds 1.5 --overwrite no --continue-without-analyser --settings '" + ini +
                             "' 2>&1",
                         &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_EQ("old", test::ReadFile(rig.wavePath + "/Channel_0.wav"));
  EXPECT_TRUE(platform::FileExists(rig.wavePath + "/Channel_1.wav"));

  out = test::RunCommand(Tool() + " --seconds soon 2>&1", &status);
  EXPECT_EQ(2, status);
  EXPECT_NE(std::string::npos, out.find("--seconds needs a positive number")) << out;
}

}  // namespace
}  // namespace varnel
