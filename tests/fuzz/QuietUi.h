#pragma once
// Answers every box with OK; the fuzz programs have nobody to ask.

#include "ui/UiServices.h"

namespace varnel::fuzz {

class QuietUi : public ui::UiServices {
 public:
  ui::DialogResult MessageBox(std::string_view, std::string_view, uint32_t) override { return ui::DialogResult::OK; }
  std::optional<std::vector<std::string>> OpenFileDialog(const ui::FileDialogRequest&) override { return {}; }
  std::optional<std::string> SaveFileDialog(const ui::FileDialogRequest&) override { return {}; }
  ui::DialogResult RunModal(ui::Dialog&) override { return ui::DialogResult::Cancel; }
  void SetWaitCursor(bool) override {}
};

}  // namespace varnel::fuzz
