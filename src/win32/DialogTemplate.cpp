#include "win32/DialogTemplate.h"

#include <algorithm>
#include <cstring>

#include "ui/DialogUnits.h"

namespace varnel::win32 {
namespace {

using ui::ControlKind;

// The closed box is one line; the template's height includes the list.
constexpr int32_t kDroppedListDlu = 80;

int16_t ToShort(int32_t v) {
  return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

// Lays the template out in bytes. With no buffer it only counts, starting
// from an aligned address 0, so both passes agree on every padding.
class Writer {
 public:
  explicit Writer(uint8_t* base) : base_(base) {}

  void Word(uint16_t v) { Put(&v, sizeof v); }
  void Dword(uint32_t v) { Put(&v, sizeof v); }
  void Short(int16_t v) { Put(&v, sizeof v); }
  void Text(std::u16string_view text) {
    for (char16_t c : text) Word(static_cast<uint16_t>(c));
    Word(0);
  }
  void AlignDword() {
    // Through uintptr_t: a cast to 32 bits would drop the top of a 64-bit address.
    const uintptr_t at = Address();
    const uintptr_t aligned = (at + 3) & ~static_cast<uintptr_t>(3);
    while (Address() < aligned) {
      const uint8_t zero = 0;
      Put(&zero, 1);
    }
  }
  std::size_t Size() const { return size_; }

 private:
  uintptr_t Address() const { return base_ ? reinterpret_cast<uintptr_t>(base_ + size_) : size_; }
  void Put(const void* bytes, std::size_t n) {
    if (base_) std::memcpy(base_ + size_, bytes, n);
    size_ += n;
  }

  uint8_t* base_;
  std::size_t size_ = 0;
};

uint32_t DialogStyle(const TemplateOptions& options) {
  uint32_t s = style::kPopup | style::kCaption | style::kSysMenu | style::kDsModalFrame | style::kDsSetFont |
               style::kDs3dLook;
  // Centred over the owner, or on the screen until a stored placement moves it.
  s |= style::kDsCenter;
  if (options.mainWindow) s |= style::kMinimizeBox;
  return s;
}

void WriteTemplate(Writer& w, const ui::Dialog& dialog, const TemplateOptions& options,
                   const std::vector<TemplateItem>& items) {
  w.Dword(DialogStyle(options));
  w.Dword(0);  // extended style
  w.Word(static_cast<uint16_t>(items.size()));
  w.Short(0);  // x, y: the platform centres a dialog on its owner
  w.Short(0);
  w.Short(ToShort(options.widthDlu > 0 ? options.widthDlu : dialog.WidthDlu()));
  w.Short(ToShort(options.heightDlu > 0 ? options.heightDlu : dialog.HeightDlu()));
  w.Word(0);  // no menu
  w.Word(0);  // the dialog class
  w.Text(Utf8ToUtf16(dialog.Title()));
  w.Word(options.pointSize);
  w.Text(Utf8ToUtf16(options.fontName));
  for (const TemplateItem& item : items) {
    w.AlignDword();
    w.Dword(item.style);
    w.Dword(0);
    w.Short(item.x);
    w.Short(item.y);
    w.Short(item.cx);
    w.Short(item.cy);
    w.Word(item.id);
    w.Word(0xFFFF);
    w.Word(item.classAtom);
    w.Text(item.title);
    w.Word(0);  // no creation data
  }
}

}  // namespace

int32_t PixelsToDluX(int32_t pixels) {
  return ui::MulDivRounded(pixels, 4, ui::kDialogBaseUnitX);
}

int32_t PixelsToDluY(int32_t pixels) {
  return ui::MulDivRounded(pixels, 8, ui::kDialogBaseUnitY);
}

TemplateItem MakeTemplateItem(const ui::ControlState& c) {
  TemplateItem item;
  item.modelId = c.id;
  item.id = static_cast<uint16_t>(c.id);
  item.x = ToShort(PixelsToDluX(c.rect.left));
  item.y = ToShort(PixelsToDluY(c.rect.top));
  item.cx = ToShort(PixelsToDluX(c.rect.right) - PixelsToDluX(c.rect.left));
  item.cy = ToShort(PixelsToDluY(c.rect.bottom) - PixelsToDluY(c.rect.top));
  item.title = Utf8ToUtf16(c.text);
  uint32_t s = style::kChild | style::kGroup;
  if (c.shown) s |= style::kVisible;
  if (!c.enabled) s |= style::kDisabled;
  switch (c.kind) {
    case ControlKind::PushButton:
      item.classAtom = kButtonAtom;
      s |= style::kBsPushButton | style::kTabStop;
      break;
    case ControlKind::DefaultPushButton:
      item.classAtom = kButtonAtom;
      s |= style::kBsDefPushButton | style::kTabStop;
      break;
    // Check boxes and radio buttons are not the automatic kinds: the model
    // ticks them (its radio groups need not be neighbours), the view shows it.
    case ControlKind::CheckBox:
      item.classAtom = kButtonAtom;
      s |= style::kBsCheckBox | style::kTabStop;
      break;
    case ControlKind::RadioButton:
      item.classAtom = kButtonAtom;
      s |= style::kBsRadioButton | style::kTabStop;
      break;
    case ControlKind::Edit:
      item.classAtom = kEditAtom;
      s |= style::kBorder | style::kEsAutoHScroll | style::kTabStop;
      break;
    case ControlKind::ComboBox:
      item.classAtom = kComboBoxAtom;
      s |= (c.editable ? style::kCbsDropDown : style::kCbsDropDownList) | style::kVScroll | style::kTabStop;
      if (item.cy <= 14) item.cy = ToShort(item.cy + kDroppedListDlu);
      item.title.clear();
      break;
    case ControlKind::StaticText:
      item.classAtom = kStaticAtom;
      s |= style::kSsLeft | (c.sunken ? style::kSsSunken : 0);
      break;
    case ControlKind::GroupBox:
      item.classAtom = kButtonAtom;
      s |= style::kBsGroupBox;
      break;
  }
  item.style = s;
  return item;
}

DialogTemplate BuildDialogTemplate(const ui::Dialog& dialog, const TemplateOptions& options) {
  DialogTemplate t;
  for (int32_t id : dialog.ControlOrder()) t.items_.push_back(MakeTemplateItem(dialog.Control(id)));
  Writer counter(nullptr);
  WriteTemplate(counter, dialog, options, t.items_);
  t.size_ = counter.Size();
  t.words_.assign((t.size_ + 3) / 4, 0);
  Writer writer(reinterpret_cast<uint8_t*>(t.words_.data()));
  WriteTemplate(writer, dialog, options, t.items_);
  return t;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    const int length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    char32_t cp = 0xFFFD;
    bool ok = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
    if (ok) {
      cp = length == 1 ? b : b & (0x7F >> length);
      for (int k = 1; k < length && ok; ++k) {
        const auto next = static_cast<uint8_t>(text[i + static_cast<std::size_t>(k)]);
        ok = (next & 0xC0) == 0x80;
        cp = (cp << 6) | (next & 0x3F);
      }
      static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      ok = ok && cp >= kMin[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    }
    if (!ok) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += static_cast<std::size_t>(length);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace varnel::win32
