// A device index whose device is not the one chosen is never recorded from
// without a word.

#include <gtest/gtest.h>

#include "support/RecorderRig.h"

namespace varnel {
namespace {

struct Case {
  std::string chosen;  // szDeviceName of the settings
  bool refused;
};

TEST(DeviceChoice, AStaleIndexIsSaidOnceBeforeAnythingIsMade) {
  for (const Case& c : {Case{"", false}, Case{"Board B", false}, Case{"USB Audio CODEC: USB Audio (hw:CODEC,0)", true},
                        Case{"Board A", true}}) {
    SCOPED_TRACE(c.chosen);
    test::RecorderRig rig;
    test::WriteFile(rig.dir.File("olsim.ini"), "[Boards]\nCount=2\n[Board0]\nName=Board A\n[Board1]\nName=Board B\n");
    rig.UseChannels({0}, {0});
    rig.settings.DeviceIndex = 1;
    CopyCut(rig.settings.szDeviceName, c.chosen);
    rig.Open();
    if (c.refused) {
      rig.ui.ExpectMessageBox(ui::DialogResult::OK);
      rig.dialog->Click(kIdRun);
      EXPECT_EQ(0, rig.dialog->bIsRunning);
      EXPECT_NE(std::string::npos, rig.ui.Messages().back().text.find("device 1 is now \"Board B\""))
          << rig.ui.Messages().back().text;
      EXPECT_TRUE(rig.WaveFiles().empty());
      EXPECT_FALSE(rig.dialog->Engine.Device.IsOpen());
    }
    rig.Run();  // the device now shown
    EXPECT_EQ(1, rig.dialog->bIsRunning);
    rig.dialog->OnClose();
    EXPECT_NE(std::string::npos, test::ReadFile(rig.app.SettingsFilePath).find("szDeviceName=Board B"));
  }
}

}  // namespace
}  // namespace varnel
