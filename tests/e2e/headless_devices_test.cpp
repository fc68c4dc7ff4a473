// The headless recorder's device list and its choice of a device for one run,
// on the simulated board beside it and a private ALSA configuration.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/AlsaTestConfig.h"
#include "support/RecorderRig.h"

namespace varnel {
namespace {

using test::AlsaTestConfig;

std::string Tool() {
  const char* build = std::getenv("VARNEL_BUILD_DIR");
  return std::string(build ? build : "build") + "/bin/varnel-record";
}

TEST(HeadlessDevices, ListsEveryDeviceWithItsChannelsAndRates) {
  AlsaTestConfig config{1 << 12};
  int status = -1;
  const std::string out = test::RunCommand(Tool() + " --list-devices 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  for (const std::string& line :
       {std::string("0  Simulated DT9834(00)\n   16 channels, any rate up to 500000 Hz for all channels together\n"),
        "1  " + AlsaTestConfig::InputName(2) + "\n   2 channels, rates 8000, 11025, 16000, 22050,",
        "3  " + AlsaTestConfig::InputName(16) + "\n   16 channels, rates 8000,",
        "4  " + AlsaTestConfig::CardName() + "\n   2 channels, rates 48000 Hz\n"}) {
    EXPECT_NE(std::string::npos, out.find(line)) << line << "\nin\n" << out;
  }
}

// A sound server's device offers float samples only: it is listed as one that records.
TEST(HeadlessDevices, AFloatOnlyDeviceIsListedWithItsChannelsAndRates) {
  AlsaTestConfig config{1 << 12, true};
  int status = -1;
  const std::string out = test::RunCommand(Tool() + " --list-devices 2>&1", &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos, out.find("  " + AlsaTestConfig::FloatName() + "\n   4 channels, rates 8000,")) << out;
}

// A device named for one run, refused or not, changes nothing that is saved:
// a 2-channel card used to clear Enable and Rec of channels 2-15 for good.
TEST(HeadlessDevices, TheDeviceChosenForARunIsUsedAndChangesNothingSaved) {
  AlsaTestConfig config{1 << 16};
  test::RecorderRig rig;
  std::vector<int> all;
  for (int i = 0; i < kChannelCount; ++i) all.push_back(i);
  rig.UseChannels(all, all);
  rig.settings.SamplingRate = 44100;
  const std::string ini = rig.dir.File("devices.ini");
  SaveSettings(ini, rig.channels, rig.settings);
  const std::string saved = test::ReadFile(ini);
  const struct {
    int device;
    int status;
    std::string said;
  } cases[] = {
      // The card runs 48000 Hz only: the run is refused before any file is made.
      {4, 1, "Rates it runs: 48000 Hz."},
      {1, 0, "device: 1 " + AlsaTestConfig::InputName(2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    int status = -1;
    const std::string out =
        test::RunCommand(Tool() + " --device " + std::to_string(c.device) +
                             " --seconds 0.5 --continue-without-analyser --settings '" + ini + "' 2>&1",
                         &status);
    EXPECT_EQ(c.status, status) << out;
    EXPECT_NE(std::string::npos, out.find(c.said)) << out;
    EXPECT_EQ(saved, test::ReadFile(ini));
  }
  EXPECT_EQ((std::vector<std::string>{"Channel_0.wav", "Channel_1.wav"}), rig.WaveFiles());
}

// Without --device the settings' own device, only where it was: a list that
// changed is refused at every run (it used to save the device now at that
// place, and the next unattended run recorded from another card), until the
// user names a device.
TEST(HeadlessDevices, AStaleDeviceIsRefusedAtEveryRunUntilOneIsNamed) {
  AlsaTestConfig config{1 << 12};
  test::RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.SamplingRate = 20000;
  CopyCut(rig.settings.szDeviceName, "USB Audio CODEC: USB Audio (hw:CODEC,0)");
  const std::string ini = rig.dir.File("devices.ini");
  SaveSettings(ini, rig.channels, rig.settings);
  const std::string saved = test::ReadFile(ini);
  const std::string run = Tool() + " --seconds 0.5 --continue-without-analyser --settings '" + ini + "' 2>&1";
  int status = -1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::string out = test::RunCommand(run, &status);
    EXPECT_EQ(1, status) << out;
    EXPECT_NE(std::string::npos, out.find("device 0 of the settings, \"USB Audio CODEC: USB Audio (hw:CODEC,0)\", "
                                          "is not there any more"))
        << out;
    EXPECT_EQ(saved, test::ReadFile(ini));
  }
  EXPECT_TRUE(rig.WaveFiles().empty());
  std::string out = test::RunCommand(Tool() + " --device 0 " + run.substr(Tool().size()), &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos, out.find("device: 0 Simulated DT9834(00)")) << out;
  EXPECT_EQ(saved, test::ReadFile(ini));

  out = test::RunCommand(Tool() + " --device 9 --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(2, status) << out;
  EXPECT_NE(std::string::npos, out.find("there is no device 9")) << out;
}

}  // namespace
}  // namespace varnel
