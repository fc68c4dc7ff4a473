#pragma once
// The recorder's questions answered from the command line; every message is
// printed so an unattended run leaves a record of what it was told.

#include "ConsoleOutput.h"
#include "Options.h"
#include "ui/QuietUiServices.h"

namespace varnel::record {

// Dialogs are cancelled: there is nobody to fill them in.
class ConsoleUi : public ui::QuietUiServices {
 public:
  ConsoleUi(const Options& options, ConsoleOutput& console) : options_(options), console_(console) {}

  ui::DialogResult MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;

 private:
  ui::DialogResult Answer(std::string_view text, uint32_t buttons) const;
  const Options& options_;
  ConsoleOutput& console_;
};

}  // namespace varnel::record
