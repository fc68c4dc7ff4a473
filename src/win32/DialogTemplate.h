#pragma once
// An in-memory dialog template (the platform's DLGTEMPLATE layout) made from
// a ui-model dialog: the dialog's size in dialog units, the font, then one
// DWORD-aligned item per control in creation order (which is the tab order),
// each with its style, rectangle in dialog units, id and class atom.
//
// No platform header: the layout is plain bytes, so it can be built and read
// back anywhere. Called on any thread; the model is only read.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Dialog.h"

namespace varnel::win32 {

// Class atoms of the predefined control classes.
inline constexpr uint16_t kButtonAtom = 0x0080;
inline constexpr uint16_t kEditAtom = 0x0081;
inline constexpr uint16_t kStaticAtom = 0x0082;
inline constexpr uint16_t kComboBoxAtom = 0x0085;

// Window and control styles, with the platform's values.
namespace style {
inline constexpr uint32_t kPopup = 0x80000000;
inline constexpr uint32_t kChild = 0x40000000;
inline constexpr uint32_t kMinimizeBox = 0x00020000;
inline constexpr uint32_t kVisible = 0x10000000;
inline constexpr uint32_t kDisabled = 0x08000000;
inline constexpr uint32_t kCaption = 0x00C00000;
inline constexpr uint32_t kBorder = 0x00800000;
inline constexpr uint32_t kSysMenu = 0x00080000;
inline constexpr uint32_t kVScroll = 0x00200000;
inline constexpr uint32_t kGroup = 0x00020000;
inline constexpr uint32_t kTabStop = 0x00010000;
inline constexpr uint32_t kDsSetFont = 0x0040;
inline constexpr uint32_t kDsModalFrame = 0x0080;
inline constexpr uint32_t kDs3dLook = 0x0004;
inline constexpr uint32_t kDsCenter = 0x0800;
inline constexpr uint32_t kBsPushButton = 0x0000;
inline constexpr uint32_t kBsDefPushButton = 0x0001;
inline constexpr uint32_t kBsCheckBox = 0x0002;
inline constexpr uint32_t kBsRadioButton = 0x0004;
inline constexpr uint32_t kBsGroupBox = 0x0007;
inline constexpr uint32_t kEsAutoHScroll = 0x0080;
inline constexpr uint32_t kCbsDropDown = 0x0002;
inline constexpr uint32_t kCbsDropDownList = 0x0003;
inline constexpr uint32_t kSsLeft = 0x0000;
inline constexpr uint32_t kSsSunken = 0x1000;
}  // namespace style

struct TemplateOptions {
  // A main window gets a minimise box; every dialog gets a title bar and a
  // system menu with its close button.
  bool mainWindow = false;
  std::string fontName = "MS Shell Dlg";
  uint16_t pointSize = 8;
  // The dialog's size in dialog units; 0 takes the model's.
  int32_t widthDlu = 0;
  int32_t heightDlu = 0;
};

// The item of one control, before it is laid out in bytes.
struct TemplateItem {
  int32_t modelId = 0;
  uint16_t id = 0;  // the model's id cut to 16 bits: -1 is 0xFFFF
  uint16_t classAtom = 0;
  uint32_t style = 0;
  int16_t x = 0;
  int16_t y = 0;
  int16_t cx = 0;
  int16_t cy = 0;
  std::u16string title;
};

// A dialog template in a DWORD-aligned buffer of exactly the template's size.
class DialogTemplate {
 public:
  const void* Data() const { return words_.data(); }
  std::size_t Size() const { return size_; }
  const std::vector<TemplateItem>& Items() const { return items_; }

 private:
  friend DialogTemplate BuildDialogTemplate(const ui::Dialog&, const TemplateOptions&);
  std::vector<uint32_t> words_;
  std::size_t size_ = 0;
  std::vector<TemplateItem> items_;
};

DialogTemplate BuildDialogTemplate(const ui::Dialog& dialog, const TemplateOptions& options = {});

// The item a control becomes: class, style and its rectangle in dialog units.
TemplateItem MakeTemplateItem(const ui::ControlState& control);

// Model pixels (dialog units of the fixed base units) back to dialog units;
// exact for every rectangle that was made from dialog units.
int32_t PixelsToDluX(int32_t pixels);
int32_t PixelsToDluY(int32_t pixels);

// UTF-8 as the platform's wide text; invalid bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace varnel::win32
