#pragma once
// A small dialog with one control of every kind, for driving the view.

#include <string>
#include <vector>

#include "ui/Dialog.h"
#include "ui/DialogUnits.h"
#include "ui/UiServices.h"

namespace varnel::test {

class SampleDialog : public ui::Dialog {
 public:
  static constexpr int32_t kFrame = 90;
  static constexpr int32_t kPrompt = 100;
  static constexpr int32_t kName = 101;
  static constexpr int32_t kUnits = 102;
  static constexpr int32_t kLoud = 103;
  static constexpr int32_t kLeft0 = 110;
  static constexpr int32_t kLeft1 = 111;
  static constexpr int32_t kRight0 = 120;
  static constexpr int32_t kRight1 = 121;
  static constexpr int32_t kFill = 130;

  explicit SampleDialog(ui::UiServices* services = nullptr) : Dialog("Sample Options", 180, 110), services_(services) {
    using ui::DluRect;
    AddControl(kFrame, ui::ControlKind::GroupBox, "Channels", DluRect(4, 4, 172, 44));
    AddControl(kPrompt, ui::ControlKind::StaticText, "Name:", DluRect(10, 16, 30, 8));
    AddControl(kName, ui::ControlKind::Edit, "", DluRect(44, 14, 60, 12));
    AddControl(kUnits, ui::ControlKind::ComboBox, "", DluRect(110, 14, 60, 60));
    AddControl(kLoud, ui::ControlKind::CheckBox, "&Loud", DluRect(10, 30, 40, 10));
    AddControl(kLeft0, ui::ControlKind::RadioButton, "L0", DluRect(56, 30, 24, 10));
    AddControl(kLeft1, ui::ControlKind::RadioButton, "L1", DluRect(80, 30, 24, 10));
    AddControl(kRight0, ui::ControlKind::RadioButton, "R0", DluRect(110, 30, 24, 10));
    AddControl(kRight1, ui::ControlKind::RadioButton, "R1", DluRect(134, 30, 24, 10));
    SetRadioGroup(kLeft0, 1);
    SetRadioGroup(kLeft1, 1);
    SetRadioGroup(kRight0, 2);
    SetRadioGroup(kRight1, 2);
    AddControl(kFill, ui::ControlKind::PushButton, "&Fill", DluRect(10, 56, 50, 14));
    AddControl(ui::kIdOk, ui::ControlKind::DefaultPushButton, "OK", DluRect(64, 90, 50, 14));
    AddControl(ui::kIdCancel, ui::ControlKind::PushButton, "Cancel", DluRect(122, 90, 50, 14));
  }

  bool OnInitDialog() override {
    ++initCount;
    SetText(kName, initialName);
    return true;
  }
  void OnCommand(int32_t id) override {
    commands.push_back(id);
    if (id == kFill) {
      ResetList(kUnits);
      AddListItem(kUnits, "Volts", 0);
      AddListItem(kUnits, "Millivolts", 1);
      SelectListItem(kUnits, 0);
      SetText(kPrompt, "Label:");
      Enable(kLoud, false);
    }
  }
  void OnEditChange(int32_t id) override { edits.push_back(id); }
  void OnSelectionChange(int32_t id) override { selections.push_back(id); }
  void OnOK() override {
    if (GetText(kName).empty()) {
      if (services_)
        services_->MessageBox("The name must have at least one character", "Tessaline", ui::mb::kIconError);
      return;
    }
    EndDialog(ui::DialogResult::OK);
  }

  std::string initialName = "ch1";
  int initCount = 0;
  std::vector<int32_t> commands;
  std::vector<int32_t> edits;
  std::vector<int32_t> selections;

 private:
  ui::UiServices* services_;
};

}  // namespace varnel::test
