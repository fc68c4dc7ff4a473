#include "ui/Dialog.h"

#include <gtest/gtest.h>

#include "support/ScriptedUiServices.h"

namespace varnel::ui {
namespace {

class Recorded : public Dialog, public ControlObserver {
 public:
  Recorded() : Dialog("T", 100, 50) {
    AddControl(10, ControlKind::CheckBox, "box");
    AddControl(20, ControlKind::RadioButton, "L0");
    AddControl(21, ControlKind::RadioButton, "L1");
    AddControl(30, ControlKind::RadioButton, "R0");
    SetRadioGroup(20, 1);
    SetRadioGroup(21, 1);
    SetRadioGroup(30, 2);
    AddControl(40, ControlKind::ComboBox, "");
    AddControl(kIdOk, ControlKind::DefaultPushButton, "OK");
    SetObserver(this);
  }
  void OnCommand(int32_t id) override { commands.push_back(id); }
  void ControlChanged(int32_t id) override { changed.push_back(id); }
  std::vector<int32_t> commands;
  std::vector<int32_t> changed;
};

TEST(Dialog, CheckBoxTogglesBeforeCommand) {
  Recorded d;
  d.Click(10);
  EXPECT_TRUE(d.IsTicked(10));
  EXPECT_EQ(std::vector<int32_t>{10}, d.commands);
  d.Click(10);
  EXPECT_FALSE(d.IsTicked(10));
}

TEST(Dialog, RadioGroupsExcludeWithinGroupOnly) {
  Recorded d;
  d.Click(20);
  d.Click(30);
  d.Click(21);
  EXPECT_FALSE(d.IsTicked(20));
  EXPECT_TRUE(d.IsTicked(21));
  EXPECT_TRUE(d.IsTicked(30));
}

TEST(Dialog, DisabledOrHiddenControlIgnoresClicks) {
  Recorded d;
  d.Enable(10, false);
  d.Click(10);
  d.Enable(10, true);
  d.Show(10, false);
  d.Click(10);
  EXPECT_FALSE(d.IsTicked(10));
  EXPECT_TRUE(d.commands.empty());
}

TEST(Dialog, ObserverHearsEveryRealChange) {
  Recorded d;
  d.SetText(10, "box");  // unchanged: no notice
  d.SetText(10, "new");
  d.Enable(10, false);
  EXPECT_EQ((std::vector<int32_t>{10, 10}), d.changed);
}

TEST(Dialog, ListItemsAndSelection) {
  Recorded d;
  d.AddListItem(40, "DT9834(00)", 0);
  d.AddListItem(40, "Other", 7);
  d.ChooseItem(40, 1);
  EXPECT_EQ(1, d.ListSelection(40));
  EXPECT_EQ(7, d.ListItemData(40, 1));
  EXPECT_EQ("Other", d.GetText(40));
  d.SelectListItem(40, 5);
  EXPECT_EQ(-1, d.ListSelection(40));
  EXPECT_EQ(-1, d.ListItemData(40, -1));
  d.ResetList(40);
  EXPECT_EQ(0u, d.ListCount(40));
}

TEST(Dialog, OkEndsAndUnknownIdsAreHarmless) {
  Recorded d;
  d.SetText(999, "x");
  EXPECT_EQ("", d.GetText(999));
  EXPECT_FALSE(d.Has(999));
  d.Click(kIdOk);
  EXPECT_EQ(DialogResult::OK, d.Result());
}

TEST(ScriptedUi, AnswersInOrderAndRecords) {
  test::ScriptedUiServices ui;
  ui.ExpectMessageBox("Sure?", DialogResult::Yes);
  ui.ExpectMessageBox(DialogResult::No);
  EXPECT_EQ(DialogResult::Yes, ui.MessageBox("Sure?", "Tessaline", mb::kYesNo | mb::kIconQuestion));
  EXPECT_EQ(DialogResult::No, ui.MessageBox("Again?", "Tessaline", mb::kYesNo));
  ASSERT_EQ(2u, ui.Messages().size());
  EXPECT_EQ(mb::kYesNo | mb::kIconQuestion, ui.Messages()[0].style);

  Recorded d;
  ui.ExpectModal([](Dialog& dlg) { dlg.Click(kIdOk); });
  EXPECT_EQ(DialogResult::OK, ui.RunModal(d));
}

}  // namespace
}  // namespace varnel::ui
