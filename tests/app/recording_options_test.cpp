// The Recording Options' level trigger and timing groups, driven as the user
// drives them: what they show, what OK stores, what OK refuses and why.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/RecordingOptionsDialog.h"
#include "platform/FixedString.h"
#include "support/RecorderFolder.h"
#include "support/ScriptedUiServices.h"

namespace varnel {
namespace {

using D = RecordingOptionsDialog;
using ui::DialogResult;

// Channels 0, 3 and 5 enabled; channel 3 measures in pascals, the others in volts.
class RecordingOptions : public ::testing::Test {
 protected:
  RecordingOptions() {
    folder.UseChannels({0, 3, 5});
    folder.MeasureInPascals(3);
    s.LevelTriggerEnable = 1;
    s.LevelTriggerChannel = 3;
    s.LevelTrigger = {2.5, false};
    s.LevelTriggerSlope = TriggerSlope::kFalling;
    s.PreTriggerSeconds = 0.1;
    s.TriggerEvents = 0;
    CopyCut(s.StartAt, "14:00");
    s.StopAfterSeconds = 5400;
    CopyCut(s.StopAt, "2026-12-24T18:00:30");
    s.SplitEverySeconds = 3600;
  }
  D& Open() {
    dialog = std::make_unique<D>(ui, s, folder.channels);
    dialog->OnInitDialog();
    return *dialog;
  }

  test::RecorderFolder folder;
  test::ScriptedUiServices ui;
  RecorderSettings s = DefaultRecorderSettings();
  std::unique_ptr<D> dialog;
};

TEST_F(RecordingOptions, ShowTheSettingsAndTheChosenChannelsUnit) {
  D& d = Open();
  ASSERT_EQ(3u, d.ListCount(D::kIdTriggerChannel));
  EXPECT_EQ("3  Channel_3", d.Control(D::kIdTriggerChannel).items[1].text);
  EXPECT_EQ(1, d.ListSelection(D::kIdTriggerChannel));
  EXPECT_EQ("Pa, or % of full scale", d.GetText(D::kIdTriggerUnit));
  EXPECT_EQ("falling", d.Control(D::kIdTriggerSlope).items[d.ListSelection(D::kIdTriggerSlope)].text);
  const std::vector<std::pair<int32_t, std::string>> fields = {
      {D::kIdTriggerLevel, "2.5"}, {D::kIdPreTrigger, "0.1"},        {D::kIdTriggerEvents, "all"},
      {D::kIdStartAt, "14:00"},    {D::kIdStopAfter, "90m"},         {D::kIdStopAt, "2026-12-24T18:00:30"},
      {D::kIdSplitEvery, "1h"},    {D::kIdPostTriggerTime, " 1.000"}};
  for (const auto& [id, text] : fields) EXPECT_EQ(text, d.GetText(id)) << id;
  EXPECT_TRUE(d.IsEnabled(D::kIdPostTriggerTime));

  d.ChooseItem(D::kIdTriggerChannel, 0);
  EXPECT_EQ("V, or % of full scale", d.GetText(D::kIdTriggerUnit));
  d.Click(D::kIdLevelTriggerEnable);
  for (int32_t id : {D::kIdTriggerChannel, D::kIdTriggerLevel, D::kIdTriggerSlope, D::kIdPreTrigger,
                     D::kIdTriggerEvents, D::kIdPostTriggerTime})
    EXPECT_FALSE(d.IsEnabled(id)) << id;
  EXPECT_TRUE(d.IsEnabled(D::kIdStartAt));

  // Cancel keeps every setting, typed over or not.
  d.TypeText(D::kIdStartAt, "09:00");
  d.TypeText(D::kIdSplitEvery, "");
  d.Click(ui::kIdCancel);
  EXPECT_EQ(1, s.LevelTriggerEnable);
  EXPECT_EQ(3, s.LevelTriggerChannel);
  EXPECT_STREQ("14:00", s.StartAt);
  EXPECT_EQ(3600, s.SplitEverySeconds);
}

TEST_F(RecordingOptions, OkStoresWhatWasTyped) {
  D& d = Open();
  d.ChooseItem(D::kIdTriggerChannel, 2);
  d.ChooseItem(D::kIdTriggerSlope, 2);
  const std::pair<int32_t, const char*> typed[] = {
      {D::kIdTriggerLevel, " -25% "}, {D::kIdPreTrigger, "60"},
      {D::kIdTriggerEvents, "3"},     {D::kIdStartAt, " 2027-01-02T03:04 "},
      {D::kIdStopAfter, "90"},        {D::kIdStopAt, ""},
      {D::kIdSplitEvery, "10min"}};
  for (const auto& [id, text] : typed) d.TypeText(id, text);
  d.Click(ui::kIdOk);
  ASSERT_EQ(DialogResult::OK, d.Result());
  EXPECT_EQ(5, s.LevelTriggerChannel);
  EXPECT_EQ(TriggerSlope::kEither, s.LevelTriggerSlope);
  EXPECT_DOUBLE_EQ(-25.0, s.LevelTrigger.value);
  EXPECT_TRUE(s.LevelTrigger.percent);
  EXPECT_DOUBLE_EQ(60.0, s.PreTriggerSeconds);
  EXPECT_EQ(3, s.TriggerEvents);
  EXPECT_STREQ("2027-01-02T03:04", s.StartAt);
  EXPECT_EQ(90, s.StopAfterSeconds);
  EXPECT_STREQ("", s.StopAt);
  EXPECT_EQ(600, s.SplitEverySeconds);
}

// A trigger that is off is not argued about: what reads is kept, the rest stays as it was.
TEST_F(RecordingOptions, AnUnusedTriggerKeepsWhatItCannotRead) {
  D& d = Open();
  d.Click(D::kIdLevelTriggerEnable);
  d.TypeText(D::kIdTriggerLevel, "loud");
  d.TypeText(D::kIdTriggerEvents, "2");
  d.Click(ui::kIdOk);
  ASSERT_EQ(DialogResult::OK, d.Result());
  EXPECT_EQ(0, s.LevelTriggerEnable);
  EXPECT_DOUBLE_EQ(2.5, s.LevelTrigger.value);
  EXPECT_EQ(2, s.TriggerEvents);
}

// The box names the field and says why, in the Run's words where the Run has them.
TEST_F(RecordingOptions, OkRefusesAWrongFieldSayingWhichAndWhy) {
  const auto type = [](int32_t id, const char* text) { return [=](D& d) { d.TypeText(id, text); }; };
  const std::vector<std::pair<std::function<void(D&)>, std::string>> rows = {
      {type(D::kIdTriggerLevel, "loud"), "The level trigger's level \"loud\" is not a number."},
      {type(D::kIdTriggerLevel, "999999"), "The level trigger's level 999999 Pa on channel 3 is beyond the full scale"},
      {type(D::kIdPreTrigger, "61"), "The pre-trigger time \"61\" must be a number of seconds from 0 to 60."},
      {type(D::kIdTriggerEvents, "0"), "The number of events \"0\" must be a count of at least 1, or \"all\""},
      {[](D& d) { d.Click(D::kIdTriggerEnable); },
       "The level trigger and the external (TTL) trigger cannot both be on."},
      {type(D::kIdStartAt, "24:00"), "The start time \"24:00\" is not a time: write HH:MM or HH:MM:SS"},
      {type(D::kIdStopAt, "2027-02-29T10:00"), "The stop time \"2027-02-29T10:00\" is not a time"},
      {type(D::kIdStopAfter, "1.5h"), "The stop-after time \"1.5h\" is not a duration"},
      {type(D::kIdSplitEvery, "745h"), "The split period \"745h\" must be from 1 s to 31 days"},
  };
  for (const auto& [act, message] : rows) {
    D& d = Open();
    d.TypeText(D::kIdStopAfter, "");  // a field typed right is not stored when another is refused
    act(d);
    ui.ExpectMessageBox(DialogResult::OK);
    d.Click(ui::kIdOk);
    EXPECT_FALSE(d.IsEnded()) << message;
    EXPECT_EQ(0u, ui.Messages().back().text.rfind(message, 0)) << ui.Messages().back().text;
    EXPECT_EQ(5400, s.StopAfterSeconds) << message;
  }
  EXPECT_EQ(rows.size(), ui.Messages().size());
}

// A channel the settings name that is no longer enabled is in no list: OK says so.
TEST_F(RecordingOptions, OkRefusesATriggerChannelThatIsNotEnabled) {
  s.LevelTriggerChannel = 7;
  D& d = Open();
  EXPECT_EQ(-1, d.ListSelection(D::kIdTriggerChannel));
  EXPECT_EQ("% of full scale", d.GetText(D::kIdTriggerUnit));
  ui.ExpectMessageBox("The level trigger watches channel 7, which is not enabled.  Enable it or choose another.",
                      DialogResult::OK);
  d.Click(ui::kIdOk);
  EXPECT_FALSE(d.IsEnded());
  d.ChooseItem(D::kIdTriggerChannel, 0);
  d.Click(ui::kIdOk);
  EXPECT_EQ(DialogResult::OK, d.Result());
  EXPECT_EQ(0, s.LevelTriggerChannel);
}

}  // namespace
}  // namespace varnel
