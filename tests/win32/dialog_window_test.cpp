#include <gtest/gtest.h>

#include "Win32TestSupport.h"
#include "platform/win32/WindowMessageLoop.h"
#include "qt/SampleDialog.h"
#include "win32/Win32UiServices.h"

namespace varnel::win32 {
namespace {

using test::IsChecked;
using test::SampleDialog;
using test::Script;
using test::UserClick;
using test::UserKey;
using test::UserType;

// Runs the sample dialog modally while a script plays the user.
class DialogWindowTest : public ::testing::Test {
 protected:
  DialogWindowTest() : model(&ui) { boxes.NotABox([this](HWND hwnd) { return test::IsView(ui, hwnd); }); }

  HWND View() const { return ui.OpenViews().empty() ? nullptr : ui.OpenViews().back()->Handle(); }
  HWND Control(int32_t id) const { return ui.OpenViews().empty() ? nullptr : ui.OpenViews().back()->ControlHandle(id); }
  bool Open() const { return View() != nullptr; }
  void EndNow() {
    model.EndDialog(ui::DialogResult::Cancel);
    ui.CheckEnded();
  }

  ui::DialogResult Run() {
    script.Start();
    ui::DialogResult result = ui.RunModal(model);
    EXPECT_TRUE(script.Done()) << "the dialog ended before the script did";
    return result;
  }

  platform::WindowMessageLoop loop;
  Win32UiServices ui;
  SampleDialog model;
  Script script;
  test::MessageBoxHook boxes;
};

TEST_F(DialogWindowTest, EveryControlIsANativeControlOfItsClassWithItsText) {
  struct Case {
    int32_t id;
    const char* cls;
    const char* text;
  };
  script.Then([&] { return Open(); })
      .Do([&] {
        for (const Case& c : {Case{SampleDialog::kFrame, "Button", "Channels"}, Case{SampleDialog::kPrompt, "Static", "Name:"},
                              Case{SampleDialog::kName, "Edit", "ch1"}, Case{SampleDialog::kUnits, "ComboBox", ""},
                              Case{SampleDialog::kLoud, "Button", "&Loud"}, Case{SampleDialog::kLeft0, "Button", "L0"},
                              Case{SampleDialog::kFill, "Button", "&Fill"}, Case{ui::kIdOk, "Button", "OK"}}) {
          HWND h = Control(c.id);
          ASSERT_NE(nullptr, h) << c.id;
          EXPECT_EQ(c.cls, test::ClassOf(h)) << c.id;
          EXPECT_EQ(c.text, test::WindowTextOf(h)) << c.id;
          EXPECT_EQ(static_cast<uint16_t>(c.id), GetDlgCtrlID(h)) << c.id;
        }
        EXPECT_EQ(BS_GROUPBOX, GetWindowLongW(Control(SampleDialog::kFrame), GWL_STYLE) & BS_TYPEMASK);
        EXPECT_EQ(BS_CHECKBOX, GetWindowLongW(Control(SampleDialog::kLoud), GWL_STYLE) & BS_TYPEMASK);
        EXPECT_EQ(BS_RADIOBUTTON, GetWindowLongW(Control(SampleDialog::kLeft0), GWL_STYLE) & BS_TYPEMASK);
        EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongW(Control(ui::kIdOk), GWL_STYLE) & BS_TYPEMASK);
        EXPECT_EQ("Sample Options", test::WindowTextOf(View()));
        EndNow();
      });
  EXPECT_EQ(ui::DialogResult::Cancel, Run());
  EXPECT_EQ(1, model.initCount);
}

TEST_F(DialogWindowTest, TabOrderIsCreationOrder) {
  std::vector<int32_t> order;
  script.Then([&] { return Open(); })
      .Do([&] {
        HWND first = GetNextDlgTabItem(View(), nullptr, FALSE);
        HWND h = first;
        do {
          int32_t id = 0;
          if (ui.OpenViews().back()->ModelId(h, id)) order.push_back(id);
          h = GetNextDlgTabItem(View(), h, FALSE);
        } while (h && h != first && order.size() < 20);
        EndNow();
      });
  Run();
  const std::vector<int32_t> expected = {SampleDialog::kName,   SampleDialog::kUnits,  SampleDialog::kLoud,
                                         SampleDialog::kLeft0,  SampleDialog::kLeft1,  SampleDialog::kRight0,
                                         SampleDialog::kRight1, SampleDialog::kFill,   ui::kIdOk,
                                         ui::kIdCancel};
  EXPECT_EQ(expected, order);
}

TEST_F(DialogWindowTest, ModelChangesShowAtOnce) {
  script.Then([&] { return Open(); })
      .Do([&] {
        UserClick(Control(SampleDialog::kFill));  // fills the list, renames the prompt, disables Loud
        EXPECT_EQ("Label:", test::WindowTextOf(Control(SampleDialog::kPrompt)));
        EXPECT_FALSE(IsWindowEnabled(Control(SampleDialog::kLoud)));
        EXPECT_EQ(2, SendMessageW(Control(SampleDialog::kUnits), CB_GETCOUNT, 0, 0));
        EXPECT_EQ(0, SendMessageW(Control(SampleDialog::kUnits), CB_GETCURSEL, 0, 0));
        EXPECT_EQ("Volts", test::WindowTextOf(Control(SampleDialog::kUnits)));
        model.SetTicked(SampleDialog::kRight1, true);
        EXPECT_TRUE(IsChecked(Control(SampleDialog::kRight1)));
        model.Show(SampleDialog::kFill, false);
        EXPECT_FALSE(GetWindowLongW(Control(SampleDialog::kFill), GWL_STYLE) & WS_VISIBLE);
        model.SetTitle("Renamed");
        EXPECT_EQ("Renamed", test::WindowTextOf(View()));
        model.SetRect(SampleDialog::kName, ui::DluRect(44, 20, 60, 12));
        RECT r;
        GetWindowRect(Control(SampleDialog::kName), &r);
        MapWindowPoints(nullptr, View(), reinterpret_cast<POINT*>(&r), 2);
        RECT expected{44, 20, 104, 32};
        MapDialogRect(View(), &expected);
        EXPECT_EQ(expected.top, r.top);
        EXPECT_EQ(expected.left, r.left);
        EndNow();
      });
  Run();
  EXPECT_EQ(std::vector<int32_t>{SampleDialog::kFill}, model.commands);
}

TEST_F(DialogWindowTest, ClicksTickAsTheModelSays) {
  script.Then([&] { return Open(); })
      .Do([&] {
        UserClick(Control(SampleDialog::kLoud));
        EXPECT_TRUE(model.IsTicked(SampleDialog::kLoud));
        EXPECT_TRUE(IsChecked(Control(SampleDialog::kLoud)));
        UserClick(Control(SampleDialog::kLoud));
        EXPECT_FALSE(IsChecked(Control(SampleDialog::kLoud)));
        // The two radio groups are interleaved nowhere natively; the model keeps them apart.
        UserClick(Control(SampleDialog::kRight0));
        UserClick(Control(SampleDialog::kLeft0));
        UserClick(Control(SampleDialog::kLeft1));
        EXPECT_FALSE(IsChecked(Control(SampleDialog::kLeft0)));
        EXPECT_TRUE(IsChecked(Control(SampleDialog::kLeft1)));
        EXPECT_TRUE(IsChecked(Control(SampleDialog::kRight0)));
        UserClick(Control(SampleDialog::kLeft1));  // again: stays ticked
        EXPECT_TRUE(IsChecked(Control(SampleDialog::kLeft1)));
        model.Enable(SampleDialog::kLoud, false);
        UserClick(Control(SampleDialog::kLoud));  // refused by the model
        EXPECT_FALSE(model.IsTicked(SampleDialog::kLoud));
        EXPECT_FALSE(IsChecked(Control(SampleDialog::kLoud)));
        EndNow();
      });
  Run();
}

TEST_F(DialogWindowTest, TypingAndChoosingReachTheModel) {
  script.Then([&] { return Open(); })
      .Do([&] {
        UserType(Control(SampleDialog::kName), "Mic \xC3\xA9");
        EXPECT_EQ("Mic \xC3\xA9", model.GetText(SampleDialog::kName));
        UserClick(Control(SampleDialog::kFill));
        model.selections.clear();
        SendMessageW(Control(SampleDialog::kUnits), WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(1, model.ListSelection(SampleDialog::kUnits));
        EXPECT_EQ(std::vector<int32_t>{SampleDialog::kUnits}, model.selections);
        EndNow();
      });
  Run();
  EXPECT_FALSE(model.edits.empty());
  EXPECT_EQ(SampleDialog::kName, model.edits.front());
}

TEST_F(DialogWindowTest, EscapeCancels) {
  script.Then([&] { return Open(); }).Do([&] { UserKey(Control(SampleDialog::kName), VK_ESCAPE); });
  EXPECT_EQ(ui::DialogResult::Cancel, Run());
}

TEST_F(DialogWindowTest, EnterPressesTheDefaultButtonWhichMayRefuse) {
  script.Then([&] { return Open(); })
      .Do([&] {
        UserType(Control(SampleDialog::kName), "");
        UserKey(Control(SampleDialog::kName), VK_RETURN);  // refused: a message, the dialog stays
      })
      .Then([&] { return boxes.Seen().size() == 1; })
      .Do([&] {
        EXPECT_TRUE(Open());
        UserType(Control(SampleDialog::kName), "x");
        UserKey(Control(SampleDialog::kName), VK_RETURN);
      });
  EXPECT_EQ(ui::DialogResult::OK, Run());
  ASSERT_EQ(1u, boxes.Seen().size());
  EXPECT_EQ("The name must have at least one character", boxes.Seen()[0].text);
  EXPECT_EQ("Tessaline", boxes.Seen()[0].caption);
  EXPECT_EQ(ui::mb::kIconError, boxes.Seen()[0].icon);
  EXPECT_EQ(ui::mb::kOk, boxes.Seen()[0].buttons);
}

TEST_F(DialogWindowTest, ModelThatEndsItselfOnAPostedMessageClosesTheDialog) {
  struct Ender : platform::MessageHandler {
    ui::Dialog* dialog;
    intptr_t HandleMessage(const platform::Message&) override {
      dialog->EndDialog(ui::DialogResult::Yes);
      return 0;
    }
  } ender;
  ender.dialog = &model;
  ViewMessageHandler handler(ender, ui);
  loop.SetHandler(&handler);
  script.Then([&] { return Open(); }).Do([&] { loop.Post({WM_USER + 7, 0, 0}); });
  EXPECT_EQ(ui::DialogResult::Yes, Run());
  loop.SetHandler(nullptr);
}

}  // namespace
}  // namespace varnel::win32
