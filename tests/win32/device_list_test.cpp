// The native device list as a user reads it: the open list as wide as its
// longest name, the closed field showing the end of a name too long for it
// with the whole name as its tooltip, the field's own width unchanged.

#include <gtest/gtest.h>

#include "Win32TestSupport.h"
#include "qt/DeviceFieldDialog.h"
#include "ui/win32/WindowMessageLoop.h"
#include "win32/Win32UiServices.h"

namespace varnel::win32 {
namespace {

using test::DeviceFieldDialog;

TEST(DeviceList, ALongNameShowsItsEndInTheFieldAndWholeInTheListAndTooltip) {
  ui::WindowMessageLoop loop;
  Win32UiServices ui;
  DeviceFieldDialog model;
  test::Script script;
  auto view = [&]() -> DialogWindow* { return ui.OpenViews().empty() ? nullptr : ui.OpenViews().back(); };
  script.Then([&] { return view() != nullptr; }).Do([&] {
    HWND combo = view()->ControlHandle(DeviceFieldDialog::kList);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    RECT before{};
    GetWindowRect(combo, &before);

    model.SelectListItem(DeviceFieldDialog::kList, 1);
    const std::string shown = test::WindowTextOf(combo);
    EXPECT_EQ("\xE2\x80\xA6", shown.substr(0, 3)) << shown;
    EXPECT_EQ("(hw:CODEC,0)", shown.substr(shown.size() - 12)) << shown;
    RECT field{};
    GetClientRect(info.hwndItem, &field);
    EXPECT_LE(TextWidth(info.hwndItem, shown), field.right);
    EXPECT_GT(TextWidth(info.hwndItem, test::kSoundCardName), field.right) << "the name must be too long for the field";
    EXPECT_EQ(test::kSoundCardName, view()->ToolTipOf(info.hwndItem));
    EXPECT_EQ(test::kSoundCardName, model.GetText(DeviceFieldDialog::kList)) << "the model keeps the whole name";

    // The open list fits the longest name; the field keeps its width.
    const auto dropped = static_cast<int>(SendMessageW(combo, CB_GETDROPPEDWIDTH, 0, 0));
    EXPECT_GE(dropped, TextWidth(combo, test::kSoundCardName));
    EXPECT_GT(dropped, before.right - before.left);
    RECT after{};
    GetWindowRect(combo, &after);
    EXPECT_EQ(before.right - before.left, after.right - after.left);

    // A name that fits shows whole, without a tooltip.
    model.ChooseItem(DeviceFieldDialog::kList, 2);
    EXPECT_EQ(test::kShortName, test::WindowTextOf(combo));
    EXPECT_EQ("", view()->ToolTipOf(info.hwndItem));
    model.EndDialog(ui::DialogResult::Cancel);
    ui.CheckEnded();
  });
  script.Start();
  ui.RunModal(model);
  EXPECT_TRUE(script.Done());
}

}  // namespace
}  // namespace varnel::win32
