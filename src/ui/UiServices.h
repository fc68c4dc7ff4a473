#pragma once
// What logic asks of the person at the screen: message boxes, file dialogs,
// modal dialogs and the wait cursor. Logic never opens a window by itself; the
// Qt view, a headless front end or a test script answers.
//
// Called on the main thread only.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Dialog.h"

namespace varnel::ui {

// Message-box style flags, with the platform's values.
namespace mb {
inline constexpr uint32_t kOk = 0x0;
inline constexpr uint32_t kOkCancel = 0x1;
inline constexpr uint32_t kYesNoCancel = 0x3;
inline constexpr uint32_t kYesNo = 0x4;
inline constexpr uint32_t kButtonMask = 0xF;
inline constexpr uint32_t kIconError = 0x10;
inline constexpr uint32_t kIconQuestion = 0x20;
inline constexpr uint32_t kIconWarning = 0x30;
inline constexpr uint32_t kIconInformation = 0x40;
inline constexpr uint32_t kIconMask = 0xF0;

// What a box that was closed without a button answers: its way out, never a "yes".
inline DialogResult DismissedAnswer(uint32_t style) {
  switch (style & kButtonMask) {
    case kOk:
      return DialogResult::OK;
    case kYesNo:
      return DialogResult::No;
    default:
      return DialogResult::Cancel;
  }
}
}  // namespace mb

// Options of the open- and save-file dialogs.
namespace fd {
inline constexpr uint32_t kAllowMultiSelect = 0x1;
inline constexpr uint32_t kFileMustExist = 0x2;
inline constexpr uint32_t kHideReadOnly = 0x4;
inline constexpr uint32_t kOverwritePrompt = 0x8;
inline constexpr uint32_t kPathMustExist = 0x10;
}  // namespace fd

struct FileDialogRequest {
  std::string title;
  // Platform-neutral filter "Description|pattern|Description|pattern||".
  std::string filter;
  std::string defaultExtension;  // without the dot
  std::string initialFolder;
  std::string initialFileName;
  uint32_t options = 0;
};

class UiServices {
 public:
  virtual ~UiServices() = default;

  virtual DialogResult MessageBox(std::string_view text, std::string_view caption, uint32_t style) = 0;

  // Full paths of the chosen files; nothing when the user cancelled.
  virtual std::optional<std::vector<std::string>> OpenFileDialog(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) = 0;

  // Initialises the dialog, lets the user work with it until it ends, and
  // returns its result. Other messages keep being dispatched meanwhile.
  virtual DialogResult RunModal(Dialog& dialog) = 0;

  virtual void SetWaitCursor(bool on) = 0;
};

}  // namespace varnel::ui
