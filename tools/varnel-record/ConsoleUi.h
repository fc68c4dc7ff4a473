#pragma once
// The recorder's questions answered from the command line; every message is
// printed so an unattended run leaves a record of what it was told.

#include "Options.h"
#include "ui/UiServices.h"

namespace varnel::record {

class ConsoleUi : public ui::UiServices {
 public:
  explicit ConsoleUi(const Options& options) : options_(options) {}

  ui::DialogResult MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;
  std::optional<std::vector<std::string>> OpenFileDialog(const ui::FileDialogRequest&) override { return {}; }
  std::optional<std::string> SaveFileDialog(const ui::FileDialogRequest&) override { return {}; }
  ui::DialogResult RunModal(ui::Dialog&) override { return ui::DialogResult::Cancel; }
  void SetWaitCursor(bool) override {}

 private:
  ui::DialogResult Answer(std::string_view text, uint32_t buttons) const;
  const Options& options_;
};

}  // namespace varnel::record
