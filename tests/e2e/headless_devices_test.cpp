// The headless recorder's device list and its choice of a device for one run,
// on the simulated board beside it and a private ALSA configuration.

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(HeadlessDevices, TheDeviceChosenForARunIsUsedAndNotSaved) {
  AlsaTestConfig config{1 << 12};
  test::RecorderRig rig;
  rig.UseChannels({0, 1}, {0, 1});
  rig.settings.SamplingRate = 44100;
  const std::string ini = rig.dir.File("devices.ini");
  SaveSettings(ini, rig.channels, rig.settings);
  int status = -1;
  // The card runs 48000 Hz only: the run is refused before any file is made.
  std::string out = test::RunCommand(
      Tool() + " --device 4 --seconds 1 --continue-without-analyser --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(1, status) << out;
  EXPECT_NE(std::string::npos, out.find("device: 4 " + AlsaTestConfig::CardName())) << out;
  EXPECT_NE(std::string::npos, out.find("Rates it runs: 48000 Hz.")) << out;
  EXPECT_TRUE(rig.WaveFiles().empty());
  EXPECT_NE(std::string::npos, test::ReadFile(ini).find("DeviceIndex=0")) << test::ReadFile(ini);

  // Without --device the settings' own device; a list that changed since is
  // said once, and the next run records from the device now there.
  rig.settings.SamplingRate = 20000;
  CopyCut(rig.settings.szDeviceName, "USB Audio CODEC: USB Audio (hw:CODEC,0)");
  SaveSettings(ini, rig.channels, rig.settings);
  const std::string run = Tool() + " --seconds 0.5 --continue-without-analyser --settings '" + ini + "' 2>&1";
  out = test::RunCommand(run, &status);
  EXPECT_EQ(1, status) << out;
  EXPECT_NE(std::string::npos, out.find("device 0 is now \"Simulated DT9834(00)\"")) << out;
  out = test::RunCommand(run, &status);
  EXPECT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos, out.find("device: 0 Simulated DT9834(00)")) << out;
  EXPECT_NE(std::string::npos, test::ReadFile(ini).find("szDeviceName=Simulated DT9834(00)"));

  out = test::RunCommand(Tool() + " --device 9 --settings '" + ini + "' 2>&1", &status);
  EXPECT_EQ(2, status) << out;
  EXPECT_NE(std::string::npos, out.find("there is no device 9")) << out;
}

}  // namespace
}  // namespace varnel
