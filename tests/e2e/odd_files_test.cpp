// Hand-edited and odd files: folders, fifos and binary junk where a settings
// file should be give the defaults; what cannot be saved is said; gains the
// board does not offer are refused at Run.

#include <gtest/gtest.h>

#include <random>

#include "boards/sim/SimBoardModel.h"
#include "platform/Profile.h"
#include "support/FileModes.h"
#include "support/RecorderRig.h"
#include "support/ShownAsBoxes.h"

namespace varnel {
namespace {

using test::RecorderRig;
using ui::DialogResult;

enum class Odd { Folder, Fifo, Binary };

// Puts something odd under `path`; false when this system has no such thing.
bool MakeOdd(const std::string& path, Odd odd) {
  switch (odd) {
    case Odd::Folder:
      platform::CreateFolders(path);
      break;
    case Odd::Fifo:
      return test::MakeFifo(path);
    case Odd::Binary: {
      std::mt19937 random(7);
      std::string junk(65536, '\0');
      for (char& c : junk) c = static_cast<char>(random());
      test::WriteFile(path, junk);
      break;
    }
  }
  return true;
}

TEST(OddFiles, EverySettingsFileThatIsNoTextFileGivesTheDefaults) {
  for (Odd odd : {Odd::Folder, Odd::Fifo, Odd::Binary}) {
    SCOPED_TRACE(static_cast<int>(odd));
    test::TempDir dir;
    bool made = true;
    for (const char* name : {"varnel.ini", "orvantis.ini", "olsim.ini", "x.cal"}) made = MakeOdd(dir.File(name), odd) && made;
    if (!made) continue;  // no fifos on this system
    ChannelSettingsArray channels = DefaultChannels();
    RecorderSettings settings;
    LoadSettings(dir.File("varnel.ini"), channels, settings);
    EXPECT_EQ(22050, settings.SamplingRate);
    EXPECT_EQ("Channel_3", FieldText(channels[3].szLabel));
    EXPECT_EQ("Orvantis", platform::ReadProfileString(dir.File("orvantis.ini"), "DDE", "ServerName", "Orvantis", 80));
    const std::vector<sim::BoardModel> models = sim::ReadBoardModels(dir.File("olsim.ini"));
    ASSERT_EQ(1u, models.size());
    EXPECT_EQ(sim::DefaultBoardModel(0).name, models[0].name);
    test::ScriptedUiServices ui;
    ui.ExpectMessageBox(DialogResult::OK);  // refused like a missing file
    CalibrationRecord record = ZeroCalibrationRecord();
    EXPECT_FALSE(test::ReadCalibrationShowingProblem(dir.File("x.cal").c_str(), &record, 0, 1, ui));
  }
}

TEST(OddFiles, SettingsThatCannotBeSavedAtCloseAreReportedOnce) {
  RecorderRig rig;
  rig.UseChannels({0}, {0});
  rig.Open();
  const std::string ini(FieldText(rig.app.SettingsFilePath));
  ASSERT_EQ(0, ::unlink(ini.c_str()));
  platform::CreateFolders(ini);
  rig.ui.ExpectMessageBox("The settings could not be saved in " + ini +
                              ".  Please check that the file and its folder are writable.",
                          DialogResult::OK);
  rig.dialog->OnClose();
  rig.dialog->OnClose();
  EXPECT_EQ(1u, rig.ui.Messages().size());
}

TEST(OddFiles, AGainTheBoardDoesNotOfferIsRefusedAtRunNamingChannelAndGain) {
  for (int32_t gain : {3, -8, 0, 16}) {
    RecorderRig rig;
    rig.UseChannels({0, 5}, {0, 5});
    rig.channels[5].Gain = gain;
    rig.Open();
    rig.ui.ExpectMessageBox("Channel 5 has a gain of " + std::to_string(gain) +
                                ", which the board does not offer.  The board offers gains of 1, 2, 4 and 8.",
                            DialogResult::OK);
    rig.dialog->Click(kIdRun);
    EXPECT_EQ(0, rig.dialog->bIsRunning) << gain;
    EXPECT_FALSE(rig.dialog->Engine.Device.IsOpen());
    EXPECT_TRUE(rig.WaveFiles().empty());
  }
}

TEST(OddFiles, ProfileReadsKeepTheFirstSectionAndKeyOfAName) {
  test::TempDir dir;
  const std::string path = dir.File("p.ini");
  test::WriteFile(path, "[A]\nk=1\nK=2\n[b]\nk=3\n[a]\nk=4\nz=5\n[B ]\n j = 7\n[c]\r\n j = ' 6 ' \r\n");
  platform::ProfileReader r(path);
  EXPECT_EQ(1, r.ReadInt("a", "K", 0));
  EXPECT_EQ(3, r.ReadInt("B", "k", 0));
  EXPECT_EQ(0, r.ReadInt("A", "z", 0)) << "a second [a] is never read";
  EXPECT_EQ(0, r.ReadInt("b", "j", 0));
  EXPECT_EQ(" 6 ", r.ReadString("C", "J", "", 80));
  EXPECT_TRUE(r.HasSection("A"));
  EXPECT_FALSE(r.HasSection("D"));
}

}  // namespace
}  // namespace varnel
