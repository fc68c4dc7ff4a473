// The native main window on the simulated board, driven as a user would.

#include <gtest/gtest.h>

#include "MainWindowRig.h"
#include "app/LabelDialog.h"
#include "app/MainWindowLayout.h"
#include "app/RecordingOptionsDialog.h"
#include "app/SettingsFile.h"
#include "app/WindowPosition.h"
#include "platform/FixedString.h"
#include "platform/Files.h"
#include "platform/Profile.h"

namespace varnel::test {
namespace {

const GridRow& Row(int i) {
  return kGridRows[static_cast<std::size_t>(i)];
}

void LoadSaved(const MainWindowRig& rig, ChannelSettingsArray& channels, RecorderSettings& settings) {
  channels = DefaultChannels();
  settings = DefaultRecorderSettings();
  LoadSettings(rig.SettingsPath(), channels, settings);
}

TEST(MainWindow, GridClicksChangeTheRecordsAndTheControlsAtOnce) {
  MainWindowRig rig;
  rig.script.Then([&] { return rig.Window() != nullptr; })
      .Do([&] {
        EXPECT_EQ("OV5 Tessaline", WindowTextOf(rig.Window()));
        EXPECT_EQ(" Stopped", rig.Text(kIdStatus));
        EXPECT_EQ("&Start", rig.Text(kIdRun));
        EXPECT_EQ(1, SendMessageW(rig.Control(kIdDeviceList), CB_GETCOUNT, 0, 0));
        EXPECT_FALSE(IsWindowEnabled(rig.Control(Row(3).rec)));
        UserClick(rig.Control(Row(3).enable));
        EXPECT_EQ(1, rig.recorder->Channels[3].bIsEnabled);
        EXPECT_TRUE(IsWindowEnabled(rig.Control(Row(3).rec)));
        UserClick(rig.Control(Row(0).rec));
        EXPECT_EQ(1, rig.recorder->Channels[0].bIsRecording);
        EXPECT_TRUE(IsChecked(rig.Control(Row(0).rec)));
        UserClick(rig.Control(Row(1).left));
        UserClick(rig.Control(Row(2).left));
        EXPECT_FALSE(IsChecked(rig.Control(Row(1).left)));
        EXPECT_TRUE(IsChecked(rig.Control(Row(2).left)));
        UserClick(rig.Control(Row(2).right));
        UserClick(rig.Control(Row(0).gain));
        EXPECT_EQ("2", rig.Text(Row(0).gain));
        EXPECT_EQ(2, rig.recorder->Channels[0].Gain);
        UserClick(rig.Control(Row(1).enable));  // off: its Rec, L and R cleared and locked
        EXPECT_FALSE(IsWindowEnabled(rig.Control(Row(1).rec)));
        EXPECT_FALSE(IsWindowEnabled(rig.Control(Row(1).cal)));
        EXPECT_EQ(0, rig.recorder->Channels[1].bIsEnabled);
      })
      .Do([&] { PostMessageW(rig.Window(), WM_CLOSE, 0, 0); });  // the title bar's close button
  EXPECT_EQ(ui::DialogResult::OK, rig.Run());
  ChannelSettingsArray channels;
  RecorderSettings settings;
  LoadSaved(rig, channels, settings);
  EXPECT_EQ(1, channels[3].bIsEnabled);
  EXPECT_EQ(1, channels[0].bIsRecording);
  EXPECT_EQ(2, channels[0].Gain);
  EXPECT_EQ(1, channels[2].bIsMonitoringLeft);
  EXPECT_EQ(1, channels[2].bIsMonitoringRight);
  EXPECT_EQ(0, channels[1].bIsEnabled);
  EXPECT_TRUE(rig.boxes.Seen().empty());
}

TEST(MainWindow, LabelEditorRefusesAnEmptyLabel) {
  MainWindowRig rig;
  rig.script.Then([&] { return rig.Window() != nullptr; })
      .Do([&] { UserClickLater(rig.Control(Row(1).label)); })
      .Then([&] { return rig.OpenDialogs() == 2; })
      .Do([&] {
        EXPECT_EQ("Edit Channel Label", WindowTextOf(rig.TopDialog()));
        EXPECT_EQ("Enter the label for channel 1:", WindowTextOf(rig.TopControl(LabelDialog::kIdPrompt)));
        EXPECT_EQ("Channel_1", WindowTextOf(rig.TopControl(LabelDialog::kIdLabel)));
        UserType(rig.TopControl(LabelDialog::kIdLabel), "");
        UserClick(rig.TopControl(ui::kIdOk));
      })
      .Then([&] { return rig.boxes.Seen().size() == 1; })
      .Do([&] {
        EXPECT_EQ(2u, rig.OpenDialogs());  // still open
        UserType(rig.TopControl(LabelDialog::kIdLabel), "Mic left");
        UserClick(rig.TopControl(ui::kIdOk));
      })
      .Then([&] { return rig.OpenDialogs() == 1; })
      .Do([&] {
        EXPECT_EQ("Mic left", rig.Text(Row(1).label));
        EXPECT_STREQ("Mic left", rig.recorder->Channels[1].szLabel);
        PostMessageW(rig.Window(), WM_CLOSE, 0, 0);
      });
  rig.Run();
  ASSERT_EQ(1u, rig.boxes.Seen().size());
  EXPECT_EQ("The channel label must have at least one character", rig.boxes.Seen()[0].text);
  EXPECT_EQ("Tessaline", rig.boxes.Seen()[0].caption);
  EXPECT_EQ(ui::mb::kIconError, rig.boxes.Seen()[0].icon);
  EXPECT_EQ(ui::mb::kOk, rig.boxes.Seen()[0].buttons);
}

TEST(MainWindow, OptionsDialogFollowsTheTriggerBoxAndCancelKeepsTheSettings) {
  MainWindowRig rig;
  rig.script.Then([&] { return rig.Window() != nullptr; })
      .Do([&] { UserClickLater(rig.Control(kIdOptions)); })
      .Then([&] { return rig.OpenDialogs() == 2; })
      .Do([&] {
        EXPECT_EQ("Recording Options", WindowTextOf(rig.TopDialog()));
        EXPECT_EQ(rig.wavePath, WindowTextOf(rig.TopControl(RecordingOptionsDialog::kIdWavePath)));
        EXPECT_EQ(" 1.000", WindowTextOf(rig.TopControl(RecordingOptionsDialog::kIdPostTriggerTime)));
        EXPECT_FALSE(IsWindowEnabled(rig.TopControl(RecordingOptionsDialog::kIdPostTriggerTime)));
        UserClick(rig.TopControl(RecordingOptionsDialog::kIdTriggerEnable));
        EXPECT_TRUE(IsWindowEnabled(rig.TopControl(RecordingOptionsDialog::kIdPostTriggerTime)));
        // The level trigger's fields follow their own box; the level shows its channel's unit.
        EXPECT_FALSE(IsWindowEnabled(rig.TopControl(RecordingOptionsDialog::kIdTriggerLevel)));
        UserClick(rig.TopControl(RecordingOptionsDialog::kIdLevelTriggerEnable));
        EXPECT_TRUE(IsWindowEnabled(rig.TopControl(RecordingOptionsDialog::kIdTriggerLevel)));
        EXPECT_EQ("V, or % of full scale", WindowTextOf(rig.TopControl(RecordingOptionsDialog::kIdTriggerUnit)));
        EXPECT_EQ("1", WindowTextOf(rig.TopControl(RecordingOptionsDialog::kIdTriggerEvents)));
        UserType(rig.TopControl(RecordingOptionsDialog::kIdSplitEvery), "1h");
        UserKey(rig.TopControl(RecordingOptionsDialog::kIdWavePath), VK_ESCAPE);
      })
      .Then([&] { return rig.OpenDialogs() == 1; })
      .Do([&] {
        EXPECT_EQ(0, rig.recorder->Settings.TriggerEnable);
        EXPECT_EQ(0, rig.recorder->Settings.LevelTriggerEnable);
        EXPECT_EQ(0, rig.recorder->Settings.SplitEverySeconds);
        PostMessageW(rig.Window(), WM_CLOSE, 0, 0);
      });
  rig.Run();
}

TEST(MainWindow, EscapeLeavesTheMainWindowOpen) {
  MainWindowRig rig;
  rig.script.Then([&] { return rig.Window() != nullptr; })
      .Do([&] { UserKey(rig.Control(kIdRun), VK_ESCAPE); })
      .Then([&] { return rig.WaitedMs(200); })
      .Do([&] {
        EXPECT_EQ(1u, rig.OpenDialogs());
        PostMessageW(rig.Window(), WM_CLOSE, 0, 0);
      });
  rig.Run();
}

TEST(MainWindow, RecordsShowsStatusAndMetersAndStopsWithTheFiles) {
  MainWindowRig rig;
  int metersBefore = 0;
  rig.script.Then([&] { return rig.Window() != nullptr; })
      .Do([&] {
        UserClick(rig.Control(Row(0).rec));
        UserClick(rig.Control(Row(2).rec));
        metersBefore = rig.window->MeterUpdates();
        UserClick(rig.Control(kIdRun));  // asks about the analyser; the hook answers Yes
      })
      // Three buffers shown and two seconds recorded, however long a busy machine takes.
      .Then([&] {
        return rig.recorder->bIsRunning == 1 && rig.window->MeterUpdates() >= metersBefore + 3 &&
               rig.recorder->Engine.Device.GetRunTime() >= 2.0f;
      })
      .Do([&] {
        EXPECT_EQ(" Running...", rig.Text(kIdStatus));
        EXPECT_EQ("&Stop", rig.Text(kIdRun));
        EXPECT_FALSE(IsWindowEnabled(rig.Control(kIdOptions)));
        EXPECT_FALSE(IsWindowEnabled(rig.Control(Row(0).enable)));
        EXPECT_TRUE(IsWindowEnabled(rig.Control(Row(0).rec)));
        EXPECT_GE(rig.window->MeterUpdates(), metersBefore + 3);  // one per buffer of 8192 frames
        EXPECT_GT(rig.recorder->Channels[0].Level, 0);
        UserClick(rig.Control(kIdRun));
      })
      .Then([&] { return rig.recorder->bIsRunning == 0; })
      .Do([&] {
        EXPECT_EQ(" Stopped", rig.Text(kIdStatus));
        EXPECT_EQ("&Start", rig.Text(kIdRun));
        EXPECT_TRUE(IsWindowEnabled(rig.Control(kIdOptions)));
        PostMessageW(rig.Window(), WM_CLOSE, 0, 0);
      });
  rig.boxes.Answer({IDYES});
  rig.Run();
  ASSERT_EQ(1u, rig.boxes.Seen().size());
  EXPECT_EQ(kNoAnalyser, rig.boxes.Seen()[0].text);
  EXPECT_EQ("Tessaline", rig.boxes.Seen()[0].caption);
  EXPECT_EQ(ui::mb::kYesNo, rig.boxes.Seen()[0].buttons);
  EXPECT_EQ(0u, rig.boxes.Seen()[0].icon);  // a question without an icon
  // 20000 frames a second, two bytes each, for at least two seconds.
  EXPECT_GT(WaveDataBytes(rig.WaveFile("Channel_0.wav")), 40000);
  EXPECT_GT(WaveDataBytes(rig.WaveFile("Channel_2.wav")), 40000);
  EXPECT_FALSE(platform::FileExists(rig.WaveFile("Channel_1.wav")));
}

TEST(MainWindow, MeterRepaintInvalidatesOnlyTheMeterColumn) {
  MainWindowRig rig;
  rig.script.Then([&] { return rig.Window() != nullptr && IsWindowVisible(rig.Window()); })
      .Do([&] {
        UpdateWindow(rig.Window());
        ValidateRect(rig.Window(), nullptr);
        rig.recorder->onMetersChanged();
        RECT update{};
        ASSERT_TRUE(GetUpdateRect(rig.Window(), &update, FALSE));
        const RECT column = rig.window->MeterColumn();
        EXPECT_EQ(column.left, update.left);
        EXPECT_EQ(column.right, update.right);
        EXPECT_EQ(column.top, update.top);
        EXPECT_EQ(column.bottom, update.bottom);
        // Right of the gain buttons, inside the grid frame.
        RECT gain;
        GetWindowRect(rig.Control(Row(0).gain), &gain);
        MapWindowPoints(nullptr, rig.Window(), reinterpret_cast<POINT*>(&gain), 2);
        EXPECT_GT(column.left, gain.right);
        RECT frame;
        GetWindowRect(rig.Control(kIdGridFrame), &frame);
        MapWindowPoints(nullptr, rig.Window(), reinterpret_cast<POINT*>(&frame), 2);
        EXPECT_LT(column.right, frame.right);
        PostMessageW(rig.Window(), WM_CLOSE, 0, 0);
      });
  rig.Run();
}

TEST(MainWindow, ClosingWhileRecordingSavesTheFilesBeforeTheSettings) {
  MainWindowRig rig;
  rig.script.Then([&] { return rig.Window() != nullptr; })
      .Do([&] {
        UserClick(rig.Control(Row(1).rec));
        UserClick(rig.Control(kIdRun));
      })
      // A buffer in the file, however long a busy machine takes for it.
      .Then([&] { return rig.recorder->bIsRunning == 1 && rig.recorder->Engine.Device.GetRunTime() > 0; })
      .Do([&] { PostMessageW(rig.Window(), WM_CLOSE, 0, 0); });
  rig.boxes.Answer({IDYES});
  EXPECT_EQ(ui::DialogResult::OK, rig.Run());
  EXPECT_EQ(0, rig.recorder->bIsRunning);
  const std::string file = rig.WaveFile("Channel_1.wav");
  EXPECT_GT(WaveDataBytes(file), 0);
  EXPECT_LE(WriteTime(file), WriteTime(rig.SettingsPath()));
  ChannelSettingsArray channels;
  RecorderSettings settings;
  LoadSaved(rig, channels, settings);
  EXPECT_EQ(1, channels[1].bIsRecording);
}

TEST(MainWindow, EndOfTheWindowsSessionSavesARunningRecording) {
  MainWindowRig rig;
  LRESULT query = 0;
  rig.script.Then([&] { return rig.Window() != nullptr; })
      .Do([&] {
        UserClick(rig.Control(Row(2).rec));
        UserClick(rig.Control(kIdRun));
      })
      // A buffer in the file, however long a busy machine takes for it.
      .Then([&] { return rig.recorder->bIsRunning == 1 && rig.recorder->Engine.Device.GetRunTime() > 0; })
      .Do([&] {
        query = SendMessageW(rig.Window(), WM_QUERYENDSESSION, 0, 0);
        EXPECT_EQ(1, rig.recorder->bIsRunning);  // only asked: nothing stops yet
        SendMessageW(rig.Window(), WM_ENDSESSION, TRUE, 0);
        EXPECT_EQ(0, rig.recorder->bIsRunning);  // saved before the message returns
      });
  rig.boxes.Answer({IDYES});
  rig.Run();
  EXPECT_EQ(TRUE, query);
  EXPECT_GT(WaveDataBytes(rig.WaveFile("Channel_2.wav")), 0);
  EXPECT_NE(std::string::npos, ReadFile(rig.SettingsPath()).find("WindowPosition="));
}

TEST(MainWindow, DeviceChangeRescansTheBoards) {
  MainWindowRig rig;
  LRESULT answer = 0;
  rig.script.Then([&] { return rig.Window() != nullptr; })
      .Do([&] {
        answer = SendMessageW(rig.Window(), WM_DEVICECHANGE, 0x0007, 0);  // devices added or removed
        EXPECT_EQ(1, SendMessageW(rig.Control(kIdDeviceList), CB_GETCOUNT, 0, 0));
        EXPECT_EQ(0, SendMessageW(rig.Control(kIdDeviceList), CB_GETCURSEL, 0, 0));
        PostMessageW(rig.Window(), WM_CLOSE, 0, 0);
      });
  rig.Run();
  EXPECT_EQ(1, answer);
}

TEST(MainWindow, PlacementIsRestoredAndSavedAsTheTenNumbers) {
  MainWindowRig rig("0, 1, {-1,-1}, {-1,-1}, {30,40,420,600}");
  WINDOWPLACEMENT placed{};
  rig.script.Then([&] { return rig.Window() != nullptr; })
      .Do([&] {
        placed.length = sizeof placed;
        GetWindowPlacement(rig.Window(), &placed);
        PostMessageW(rig.Window(), WM_CLOSE, 0, 0);
      });
  rig.Run();
  EXPECT_EQ(30, placed.rcNormalPosition.left);
  EXPECT_EQ(40, placed.rcNormalPosition.top);
  EXPECT_EQ(420, placed.rcNormalPosition.right);
  // The height is the grid's: 32 pixels below the last row's label button.
  EXPECT_NE(600, placed.rcNormalPosition.bottom);
  auto saved = ParseWindowPosition(platform::ReadProfileString(rig.SettingsPath(), "Main", "WindowPosition", "", 128));
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(1, saved->showCmd);
  EXPECT_EQ(30, saved->normal.left);
  EXPECT_EQ(40, saved->normal.top);
  EXPECT_EQ(420, saved->normal.right);
  EXPECT_EQ(placed.rcNormalPosition.bottom, saved->normal.bottom);
}

}  // namespace
}  // namespace varnel::test
