#include <gtest/gtest.h>

#include <cstring>

#include "app/LabelDialog.h"
#include "app/RecordingOptionsDialog.h"
#include "platform/Files.h"
#include "support/ScriptedUiServices.h"
#include "support/TempDir.h"

namespace varnel {
namespace {

using ui::DialogResult;
using ui::kIdCancel;
using ui::kIdOk;
using D = RecordingOptionsDialog;

const ChannelSettingsArray kChannels = DefaultChannels();

TEST(LabelDialog, ShowsPromptRefusesEmptyAndCutsLongLabels) {
  test::ScriptedUiServices ui;
  char buffer[256] = "Mic";
  LabelDialog d(ui, 3, buffer);
  d.OnInitDialog();
  EXPECT_EQ("Enter the label for channel 3:", d.GetText(LabelDialog::kIdPrompt));
  EXPECT_EQ("Mic", d.GetText(LabelDialog::kIdLabel));
  EXPECT_EQ("Edit Channel Label", d.Title());

  d.TypeText(LabelDialog::kIdLabel, "");
  ui.ExpectMessageBox("The channel label must have at least one character", DialogResult::OK);
  d.Click(kIdOk);
  EXPECT_FALSE(d.IsEnded());
  EXPECT_EQ(ui::mb::kIconError, ui.Messages().back().style & ui::mb::kIconMask);
  EXPECT_EQ("Tessaline", ui.Messages().back().caption);
  d.Click(kIdCancel);
  EXPECT_EQ(DialogResult::Cancel, d.Result());
  EXPECT_STREQ("Mic", buffer);

  LabelDialog e(ui, 0, buffer);
  e.OnInitDialog();
  e.TypeText(LabelDialog::kIdLabel, std::string(300, 'q'));
  e.Click(kIdOk);
  EXPECT_EQ(DialogResult::OK, e.Result());
  EXPECT_EQ(std::string(255, 'q'), buffer);

  LabelDialog f(ui, 0, buffer);
  f.OnInitDialog();
  f.TypeText(LabelDialog::kIdLabel, " ");
  f.Click(kIdOk);
  EXPECT_STREQ(" ", buffer);
}

TEST(RecordingOptionsDialog, ShowsAndStoresOnlyOnOk) {
  test::ScriptedUiServices ui;
  RecorderSettings s = DefaultRecorderSettings();
  s.PostTriggerRunTime = 2.5f;
  s.TriggerEnable = 0;
  D d(ui, s, kChannels);
  d.OnInitDialog();
  EXPECT_EQ(" 2.500", d.GetText(D::kIdPostTriggerTime));
  EXPECT_FALSE(d.IsEnabled(D::kIdPostTriggerTime));
  EXPECT_TRUE(d.IsTicked(D::kIdStoreCalibration));
  d.Click(D::kIdTriggerEnable);
  EXPECT_TRUE(d.IsEnabled(D::kIdPostTriggerTime));
  d.TypeText(D::kIdWavePath, "/data/w");
  d.Click(D::kIdOverwrite);
  d.Click(kIdCancel);
  EXPECT_EQ(0, s.TriggerEnable);
  EXPECT_EQ(0, s.bOverwriteWaveFiles);
  EXPECT_NE(std::string("/data/w"), s.szWavePath);

  D e(ui, s, kChannels);
  e.OnInitDialog();
  e.Click(kIdOk);
  EXPECT_FLOAT_EQ(2.5f, s.PostTriggerRunTime);

  D f(ui, s, kChannels);
  f.OnInitDialog();
  f.Click(D::kIdTriggerEnable);
  f.TypeText(D::kIdWavePath, "/data/w");
  f.TypeText(D::kIdPostTriggerTime, "0.1");
  EXPECT_EQ(0, f.ListSelection(D::kIdFileFormat));
  ASSERT_EQ(2u, f.ListCount(D::kIdFileFormat));
  EXPECT_EQ("Broadcast wave (RF64 past 4 GiB)", f.Control(D::kIdFileFormat).items[1].text);
  f.ChooseItem(D::kIdFileFormat, 1);
  f.Click(kIdOk);
  EXPECT_EQ(kFileFormatBroadcast, s.FileFormat);
  EXPECT_EQ(1, s.TriggerEnable);
  EXPECT_STREQ("/data/w", s.szWavePath);
  EXPECT_FLOAT_EQ(0.1f, s.PostTriggerRunTime);
}

TEST(RecordingOptionsDialog, RefusesShortTimesEvenWhenTriggeringIsOff) {
  test::ScriptedUiServices ui;
  RecorderSettings s = DefaultRecorderSettings();
  D d(ui, s, kChannels);
  d.OnInitDialog();
  for (const char* bad : {"0.09", "abc", "0.05"}) {
    d.TypeText(D::kIdPostTriggerTime, bad);
    ui.ExpectMessageBox("The post trigger run time must be at least 0.100 sec.", DialogResult::OK);
    d.Click(kIdOk);
    EXPECT_FALSE(d.IsEnded()) << bad;
  }
  EXPECT_FLOAT_EQ(1.0f, s.PostTriggerRunTime);
}

TEST(RecordingOptionsDialog, DeletesChosenWaveFilesAfterAsking) {
  test::TempDir dir;
  test::ScriptedUiServices ui;
  RecorderSettings s = DefaultRecorderSettings();
  D d(ui, s, kChannels);
  d.OnInitDialog();
  d.TypeText(D::kIdWavePath, dir.Path());
  const std::string a = dir.File("a.wav"), b = dir.File("b.wav"), c = dir.File("c.wav");
  for (const auto& f : {a, b, c}) test::WriteFile(f, "x");

  // Cancelled file dialog: starts in the edited folder, nothing happens.
  ui.ExpectOpenFile(std::nullopt);
  d.Click(D::kIdDeleteWaveFiles);
  ASSERT_EQ(1u, ui.FileRequests().size());
  EXPECT_EQ(dir.Path(), ui.FileRequests()[0].initialFolder);
  EXPECT_EQ("Select Files to Delete", ui.FileRequests()[0].title);
  EXPECT_EQ("Wave Files (*.wav)|*.wav||", ui.FileRequests()[0].filter);
  EXPECT_TRUE(ui.FileRequests()[0].options & ui::fd::kAllowMultiSelect);

  ui.ExpectOpenFile(std::vector<std::string>{a});
  ui.ExpectMessageBox("Are you sure you want to delete " + a + "?", DialogResult::No);
  d.Click(D::kIdDeleteWaveFiles);
  EXPECT_TRUE(platform::FileExists(a));

  ui.ExpectOpenFile(std::vector<std::string>{a});
  ui.ExpectMessageBox(DialogResult::Yes);
  d.Click(D::kIdDeleteWaveFiles);
  EXPECT_FALSE(platform::FileExists(a));

  // The first failure stops a multiple deletion.
  ui.ExpectOpenFile(std::vector<std::string>{a, b, c});
  ui.ExpectMessageBox("Multiple file deletion - are you sure you want to delete these files?", DialogResult::Yes);
  ui.ExpectMessageBox("Failure deleting file!  Make sure that the file exists and that you have write privileges.",
                      DialogResult::OK);
  d.Click(D::kIdDeleteWaveFiles);
  EXPECT_TRUE(platform::FileExists(b));
  EXPECT_TRUE(platform::FileExists(c));

  ui.ExpectOpenFile(std::vector<std::string>{b, c});
  ui.ExpectMessageBox(DialogResult::Yes);
  d.Click(D::kIdDeleteWaveFiles);
  EXPECT_FALSE(platform::FileExists(b));
  EXPECT_FALSE(platform::FileExists(c));
  EXPECT_FALSE(d.IsEnded());
}

}  // namespace
}  // namespace varnel
