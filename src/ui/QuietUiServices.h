#pragma once
// Nobody at the screen: every message box is answered OK, every file dialog
// and modal dialog is cancelled. For benchmarks, fuzzing and child processes.

#include "ui/UiServices.h"

namespace varnel::ui {

class QuietUiServices : public UiServices {
 public:
  DialogResult MessageBox(std::string_view, std::string_view, uint32_t) override { return DialogResult::OK; }
  std::optional<std::vector<std::string>> OpenFileDialog(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest&) override { return {}; }
  DialogResult RunModal(Dialog&) override { return DialogResult::Cancel; }
  void SetWaitCursor(bool) override {}
};

}  // namespace varnel::ui
