#include "app/LabelDialog.h"

#include <cstdio>

#include "platform/FixedString.h"
#include "ui/DialogUnits.h"

namespace varnel {

using ui::ControlKind;
using ui::DluRect;

LabelDialog::LabelDialog(ui::UiServices& ui, int32_t channelIndex, char (&buffer)[256])
    : Dialog("Edit Channel Label", 192, 71), ui_(ui), channelIndex_(channelIndex), buffer_(buffer) {
  AddControl(kIdPrompt, ControlKind::StaticText, "Label prompt goes here", DluRect(7, 7, 178, 10));
  AddControl(kIdLabel, ControlKind::Edit, "", DluRect(7, 22, 178, 14));
  AddControl(ui::kIdOk, ControlKind::DefaultPushButton, "OK", DluRect(81, 48, 50, 14));
  AddControl(ui::kIdCancel, ControlKind::PushButton, "Cancel", DluRect(135, 48, 50, 14));
}

bool LabelDialog::OnInitDialog() {
  SetText(kIdLabel, FieldText(buffer_));
  char prompt[64];
  std::snprintf(prompt, sizeof prompt, "Enter the label for channel %d:", channelIndex_);
  SetText(kIdPrompt, prompt);
  return true;
}

void LabelDialog::OnOK() {
  std::string text = GetText(kIdLabel, 255);
  if (text.empty()) {
    ui_.MessageBox("The channel label must have at least one character", "Tessaline",
                   ui::mb::kOk | ui::mb::kIconError);
    return;
  }
  CopyCut(buffer_, text);
  EndDialog(ui::DialogResult::OK);
}

}  // namespace varnel
