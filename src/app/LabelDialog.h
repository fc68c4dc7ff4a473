#pragma once
// Edits one channel's label. Only an empty label is refused here; duplicates
// are refused when a recording starts.

#include <cstdint>

#include "ui/Dialog.h"
#include "ui/UiServices.h"

namespace varnel {

class LabelDialog : public ui::Dialog {
 public:
  static constexpr int32_t kIdPrompt = 1072;
  static constexpr int32_t kIdLabel = 1071;

  // `buffer` holds the label on entry and receives the new one on OK.
  LabelDialog(ui::UiServices& ui, int32_t channelIndex, char (&buffer)[256]);

  bool OnInitDialog() override;
  void OnOK() override;

 private:
  ui::UiServices& ui_;
  int32_t channelIndex_;
  char (&buffer_)[256];
};

}  // namespace varnel
