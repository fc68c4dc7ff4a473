#include "calibration/ChannelCalibrations.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/FixedString.h"
#include "support/ScriptedUiServices.h"
#include "support/ShownAsBoxes.h"
#include "support/TempDir.h"

namespace varnel {
namespace {

using test::ScriptedUiServices;
using test::TempDir;
using test::WriteFile;

class LoadChannelCalibrationsTest : public ::testing::Test {
 protected:
  LoadChannelCalibrationsTest() {
    WriteFile(dir_.File("a.cal"), "[Calibration]\nPctFullScaleLeft=0.25\nLeftChannelName=From file\n");
    for (auto& c : channels_) {
      c.bIsEnabled = 0;
      CopyCut(c.szCalFilename, dir_.File("a.cal"));
    }
    // Records as a previous Run may have left them.
    for (auto& r : records_) std::memset(&r, 0xAB, sizeof r);
  }
  bool Untouched(std::size_t channel) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&records_[channel]);
    for (std::size_t i = 0; i < sizeof(CalibrationRecord); ++i)
      if (bytes[i] != 0xAB) return false;
    return true;
  }

  TempDir dir_;
  ChannelSettingsArray channels_ = DefaultChannels();
  std::array<CalibrationRecord, kChannelCount> records_;
  ScriptedUiServices ui_;
};

TEST_F(LoadChannelCalibrationsTest, ReadsEnabledChannelsOnlyWithTheirGainAndLabel) {
  channels_[2].bIsEnabled = 1;
  channels_[2].bIsRecording = 0;  // recorded or not, an enabled channel needs its file
  channels_[2].Gain = 8;
  CopyCut(channels_[2].szLabel, std::string(60, 'L'));
  channels_[9].bIsEnabled = 1;
  channels_[9].Gain = 2;
  channels_[5].bIsEnabled = 2;  // only 1 counts as set
  ASSERT_TRUE(test::LoadCalibrationsShowingProblem(channels_, records_, ui_));

  const CalibrationRecord& r = records_[2];
  EXPECT_EQ(std::string(39, 'L'), FieldText(r.Left.ChannelName));
  EXPECT_EQ("From file", FieldText(r.Right.ChannelName));
  EXPECT_EQ(2.0f, r.Left.PctFullScale);
  EXPECT_EQ(2.0f, r.Right.PctFullScale);
  const std::size_t nameEnd = offsetof(ChannelCalibration, ChannelName) + sizeof r.Left.ChannelName;
  EXPECT_EQ(0, std::memcmp(&r.Left, &r.Right, offsetof(ChannelCalibration, ChannelName)));
  for (std::size_t i = nameEnd; i < sizeof(ChannelCalibration); ++i) {
    ASSERT_EQ(0, reinterpret_cast<const char*>(&r.Left)[i]) << "Left byte " << i;
    ASSERT_EQ(0, reinterpret_cast<const char*>(&r.Right)[i]) << "Right byte " << i;
  }
  for (char c : r.Reserved) ASSERT_EQ(0, c);

  EXPECT_EQ(0.5f, records_[9].Left.PctFullScale);
  EXPECT_EQ("Channel_9", FieldText(records_[9].Left.ChannelName));
  for (std::size_t i : {0u, 1u, 5u, 15u}) EXPECT_TRUE(Untouched(i)) << "channel " << i;
  EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(LoadChannelCalibrationsTest, StopsAtTheFirstChannelWithoutAFile) {
  for (auto& c : channels_) c.bIsEnabled = 1;
  CopyCut(channels_[3].szCalFilename, "");
  CopyCut(channels_[6].szCalFilename, "");
  ui_.ExpectMessageBox("Calibration file not specified for channel 3", ui::DialogResult::OK);
  EXPECT_FALSE(test::LoadCalibrationsShowingProblem(channels_, records_, ui_));
  EXPECT_EQ("Channel_0", FieldText(records_[0].Left.ChannelName));
  EXPECT_EQ(0, records_[3].Left.CalibrationValid);  // zeroed, then refused
  for (std::size_t i = 4; i < kChannelCount; ++i) EXPECT_TRUE(Untouched(i)) << "channel " << i;
}

TEST_F(LoadChannelCalibrationsTest, MissingFileNamesItsChannel) {
  channels_[12].bIsEnabled = 1;
  CopyCut(channels_[12].szCalFilename, dir_.File("gone.cal"));
  ui_.ExpectMessageBox("Failure opening calibration file: \"" + dir_.File("gone.cal") + " for channel 12",
                       ui::DialogResult::OK);
  EXPECT_FALSE(test::LoadCalibrationsShowingProblem(channels_, records_, ui_));
}

TEST_F(LoadChannelCalibrationsTest, FullLengthFieldsWithoutTerminatorAreCut) {
  channels_[0].bIsEnabled = 1;
  std::memset(channels_[0].szLabel, 'x', sizeof channels_[0].szLabel);
  ASSERT_TRUE(test::LoadCalibrationsShowingProblem(channels_, records_, ui_));
  EXPECT_EQ(std::string(39, 'x'), FieldText(records_[0].Left.ChannelName));
  // A name filling all 260 characters is cut to 259 and is then no file.
  std::memset(channels_[0].szCalFilename, 'y', sizeof channels_[0].szCalFilename);
  ui_.ExpectMessageBox("Failure opening calibration file: \"" + std::string(259, 'y') + " for channel 0",
                       ui::DialogResult::OK);
  EXPECT_FALSE(test::LoadCalibrationsShowingProblem(channels_, records_, ui_));
}

}  // namespace
}  // namespace varnel
