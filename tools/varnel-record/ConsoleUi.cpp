#include "ConsoleUi.h"

#include <cstdio>
#include <string>

namespace varnel::record {

namespace {
const char* Name(ui::DialogResult r) {
  switch (r) {
    case ui::DialogResult::Yes:
      return "Yes";
    case ui::DialogResult::No:
      return "No";
    case ui::DialogResult::Cancel:
      return "Cancel";
    default:
      return "OK";
  }
}
}  // namespace

ui::DialogResult ConsoleUi::Answer(std::string_view text, uint32_t buttons) const {
  if (buttons == ui::mb::kYesNoCancel) return options_.overwrite;
  if (buttons != ui::mb::kYesNo) return ui::DialogResult::OK;
  if (text.find("Continue anyway?") != std::string_view::npos)
    return options_.continueWithoutAnalyser ? ui::DialogResult::Yes : ui::DialogResult::No;
  // Told on stderr; the recorder goes on, as it was started to.
  if (text.find("Record here anyway?") != std::string_view::npos) return ui::DialogResult::Yes;
  if (text.find("Do you want to use this rate instead?") != std::string_view::npos) return options_.acceptRate;
  return ui::DialogResult::No;
}

ui::DialogResult ConsoleUi::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  ui::DialogResult answer = Answer(text, style & ui::mb::kButtonMask);
  std::string line(text);
  for (char& c : line) {
    if (c == '\n') c = ' ';
  }
  console_.Line(stderr, "[" + std::string(caption) + "] " + line + " -> " + Name(answer) + "\n");
  return answer;
}

}  // namespace varnel::record
