#include "win32/DialogWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "ui/ShortName.h"

namespace varnel::win32 {
namespace {

using ui::ControlKind;

class ApplyingScope {
 public:
  explicit ApplyingScope(int& depth) : depth_(depth) { ++depth_; }
  ~ApplyingScope() { --depth_; }

 private:
  int& depth_;
};

std::wstring Wide(std::string_view text) {
  std::u16string u = Utf8ToUtf16(text);
  return std::wstring(u.begin(), u.end());
}

std::string Narrow(const std::wstring& text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool IsButtonKind(ControlKind kind) {
  return kind == ControlKind::PushButton || kind == ControlKind::DefaultPushButton || kind == ControlKind::CheckBox ||
         kind == ControlKind::RadioButton;
}

const wchar_t* ClassName(uint16_t atom) {
  switch (atom) {
    case kEditAtom:
      return L"Edit";
    case kStaticAtom:
      return L"Static";
    case kComboBoxAtom:
      return L"ComboBox";
    default:
      return L"Button";
  }
}

}  // namespace

DialogWindow::DialogWindow(ui::Dialog& model, TemplateOptions options) : model_(model), options_(std::move(options)) {
  model_.SetObserver(this);
}

DialogWindow::~DialogWindow() {
  model_.SetObserver(nullptr);
}

ui::DialogResult DialogWindow::RunModal(HWND owner) {
  const DialogTemplate t = BuildDialogTemplate(model_, options_);
  endSent_ = false;
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), static_cast<LPCDLGTEMPLATEW>(t.Data()),
                                                 owner, &DialogWindow::Procedure, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  toolTips_ = nullptr;  // destroyed with the dialog that owned it
  toolTipped_.clear();
  controls_.clear();
  byHandle_.clear();
  placed_.clear();
  if (result <= 0) return model_.IsEnded() ? model_.Result() : ui::DialogResult::Cancel;
  return model_.IsEnded() ? model_.Result() : static_cast<ui::DialogResult>(result);
}

HWND DialogWindow::ControlHandle(int32_t id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

bool DialogWindow::ModelId(HWND control, int32_t& id) const {
  auto it = byHandle_.find(control);
  if (it == byHandle_.end()) return false;
  id = it->second;
  return true;
}

RECT DialogWindow::ToDevice(const ui::Rect& r) const {
  return RECT{ScaleX(r.left), ScaleY(r.top), ScaleX(r.right), ScaleY(r.bottom)};
}

bool DialogWindow::CheckEnded() {
  if (!model_.IsEnded()) return false;
  if (hwnd_ && !endSent_) {
    endSent_ = true;
    EndDialog(hwnd_, static_cast<INT_PTR>(model_.Result()));
  }
  return true;
}

INT_PTR CALLBACK DialogWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<DialogWindow*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->OnInitDialog(hwnd);
    return TRUE;
  }
  auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->Dispatch(message, wParam, lParam) : FALSE;
}

void DialogWindow::OnInitDialog(HWND hwnd) {
  hwnd_ = hwnd;
  RECT base{0, 0, 4, 8};
  MapDialogRect(hwnd, &base);
  baseX_ = base.right > 0 ? base.right : 6;
  baseY_ = base.bottom > 0 ? base.bottom : 13;
  for (int32_t id : model_.ControlOrder()) {
    HWND control = GetDlgItem(hwnd, static_cast<uint16_t>(id));
    if (!control) continue;
    controls_[id] = control;
    byHandle_[control] = id;
    placed_[id] = model_.GetRect(id);
  }
  if (onCreated_) onCreated_();
  model_.ResetResult();
  model_.OnInitDialog();
  SyncAll();
  CheckEnded();
}

INT_PTR DialogWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (hook_ && hook_(message, wParam, lParam, result)) {
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    OnCommand(wParam, lParam);
    return TRUE;
  }
  return FALSE;
}

void DialogWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (applying_) return;
  const auto nativeId = static_cast<int32_t>(LOWORD(wParam));
  const UINT code = HIWORD(wParam);
  int32_t id = 0;
  const bool fromControl = lParam != 0 && ModelId(reinterpret_cast<HWND>(lParam), id);
  if (!fromControl) {
    // Escape and Enter from the dialog manager when no such button exists.
    if (nativeId == IDOK) model_.OnOK();
    if (nativeId == IDCANCEL) model_.OnCancel();
    CheckEnded();
    return;
  }
  const ControlKind kind = model_.Control(id).kind;
  if (IsButtonKind(kind) && code == BN_CLICKED) {
    model_.Click(id);
  } else if (kind == ControlKind::Edit && code == EN_CHANGE) {
    model_.TypeText(id, Narrow(WindowText(reinterpret_cast<HWND>(lParam))));
  } else if (kind == ControlKind::ComboBox && code == CBN_SELCHANGE) {
    model_.ChooseItem(id, static_cast<int32_t>(SendMessageW(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0)));
  } else if (kind == ControlKind::ComboBox && code == CBN_EDITCHANGE) {
    model_.TypeText(id, Narrow(WindowText(reinterpret_cast<HWND>(lParam))));
  } else {
    return;
  }
  // The model may have refused the change (a ticked radio button clicked
  // again): show what it holds, not what the control guessed.
  Sync(id);
  CheckEnded();
}

void DialogWindow::ControlChanged(int32_t id) {
  if (!hwnd_) return;
  if (id == 0) {
    SetWindowTextW(hwnd_, Wide(model_.Title()).c_str());
    return;
  }
  Sync(id);
}

void DialogWindow::ControlsRebuilt() {
  if (hwnd_) CreateMissing();
}

void DialogWindow::CreateMissing() {
  for (int32_t id : model_.ControlOrder()) {
    if (controls_.count(id)) continue;
    const TemplateItem item = MakeTemplateItem(model_.Control(id));
    RECT r{item.x, item.y, item.x + item.cx, item.y + item.cy};
    MapDialogRect(hwnd_, &r);
    HWND control =
        CreateWindowExW(0, ClassName(item.classAtom), reinterpret_cast<LPCWSTR>(item.title.c_str()), item.style, r.left,
                        r.top, r.right - r.left, r.bottom - r.top, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id)), GetModuleHandleW(nullptr), nullptr);
    if (!control) continue;
    SendMessageW(control, WM_SETFONT, SendMessageW(hwnd_, WM_GETFONT, 0, 0), FALSE);
    controls_[id] = control;
    byHandle_[control] = id;
    placed_[id] = model_.GetRect(id);
  }
}

void DialogWindow::SyncAll() {
  if (!hwnd_) return;
  SetWindowTextW(hwnd_, Wide(model_.Title()).c_str());
  for (int32_t id : model_.ControlOrder()) Sync(id);
}

void DialogWindow::Sync(int32_t id) {
  HWND control = ControlHandle(id);
  if (!control || !model_.Has(id)) return;
  const ui::ControlState& state = model_.Control(id);
  ApplyingScope scope(applying_);
  if (state.kind == ControlKind::ComboBox) {
    SyncList(state, control);
  } else {
    SyncText(state, control);
  }
  if (state.kind == ControlKind::CheckBox || state.kind == ControlKind::RadioButton) {
    const WPARAM check = state.ticked ? BST_CHECKED : BST_UNCHECKED;
    if (static_cast<WPARAM>(SendMessageW(control, BM_GETCHECK, 0, 0)) != check)
      SendMessageW(control, BM_SETCHECK, check, 0);
  }
  if ((IsWindowEnabled(control) != FALSE) != state.enabled) EnableWindow(control, state.enabled);
  const bool visible = (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
  if (visible != state.shown) ShowWindow(control, state.shown ? SW_SHOWNA : SW_HIDE);
  SyncGeometry(state, control);
  // The closed field's room is known once the control has its size.
  if (state.kind == ControlKind::ComboBox && state.editable) SyncFieldText(state, control);
}

void DialogWindow::SyncText(const ui::ControlState& state, HWND control) {
  const std::wstring text = Wide(state.text);
  if (WindowText(control) != text) SetWindowTextW(control, text.c_str());
}

void DialogWindow::SyncList(const ui::ControlState& state, HWND control) {
  const auto count = static_cast<std::size_t>(SendMessageW(control, CB_GETCOUNT, 0, 0));
  bool same = count == state.items.size();
  for (std::size_t i = 0; same && i < count; ++i) {
    const auto length = SendMessageW(control, CB_GETLBTEXTLEN, i, 0);
    std::wstring item(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    same = item == Wide(state.items[i].text);
  }
  if (!same) {
    SendMessageW(control, CB_RESETCONTENT, 0, 0);
    for (const ui::ListItem& item : state.items)
      SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item.text).c_str()));
    FitListWidth(state, control);
  }
  if (SendMessageW(control, CB_GETCURSEL, 0, 0) != state.selection)
    SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(state.selection), 0);
}

int TextWidth(HWND control, std::string_view text) {
  const std::wstring wide = Wide(text);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size.cx;
}

// The open list is as wide as its longest entry, whatever the closed field's width.
void DialogWindow::FitListWidth(const ui::ControlState& state, HWND control) {
  int widest = 0;
  for (const ui::ListItem& item : state.items) widest = std::max(widest, TextWidth(control, item.text));
  // The list's frame, a scroll bar, and a little air measured in the font.
  const int margins = 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + TextWidth(control, "nn");
  SendMessageW(control, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + margins), 0);
}

// A chosen entry too long for the closed field shows its end, which tells one
// device from another, with the whole name as the field's tooltip; typed text
// shows as typed.
void DialogWindow::SyncFieldText(const ui::ControlState& state, HWND control) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (!GetComboBoxInfo(control, &info) || !info.hwndItem) return SyncText(state, control);
  std::string shown = state.text;
  const auto selection = static_cast<std::size_t>(state.selection);
  if (state.selection >= 0 && selection < state.items.size() && state.items[selection].text == state.text) {
    const LRESULT margins = SendMessageW(info.hwndItem, EM_GETMARGINS, 0, 0);
    RECT field{};
    GetClientRect(info.hwndItem, &field);
    const int room = field.right - LOWORD(margins) - HIWORD(margins) - 2;
    shown = ui::ShortName(state.text, [&](std::string_view part) { return TextWidth(info.hwndItem, part) <= room; });
  }
  const std::wstring text = Wide(shown);
  if (WindowText(control) != text) {
    SetWindowTextW(control, text.c_str());
    SendMessageW(info.hwndItem, EM_SETSEL, 0, 0);
  }
  SetToolTip(info.hwndItem, shown != state.text ? Wide(state.text) : std::wstring());
}

void DialogWindow::SetToolTip(HWND control, const std::wstring& text) {
  if (!toolTips_ && text.empty()) return;
  if (!toolTips_) {
    static const bool registered = [] {
      INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
      return InitCommonControlsEx(&classes) != FALSE;
    }();
    if (!registered) return;
    toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!toolTips_) return;
  }
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  std::wstring copy = text;
  tool.lpszText = copy.data();
  const bool known = toolTipped_.count(control) != 0;
  if (text.empty()) {
    if (known) SendMessageW(toolTips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    toolTipped_.erase(control);
  } else if (known) {
    SendMessageW(toolTips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  } else if (SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) {
    toolTipped_.insert(control);
  }
}

std::string DialogWindow::ToolTipOf(HWND control) const {
  if (!toolTips_ || !toolTipped_.count(control)) return {};
  wchar_t buffer[512] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = buffer;
  SendMessageW(toolTips_, TTM_GETTEXTW, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(&tool));
  return Narrow(buffer);
}

void DialogWindow::SyncGeometry(const ui::ControlState& state, HWND control) {
  auto& placed = placed_[state.id];
  if (placed == state.rect) return;
  placed = state.rect;
  // Through dialog units, as the template placed it.
  const TemplateItem item = MakeTemplateItem(state);
  RECT r{item.x, item.y, item.x + item.cx, item.y + item.cy};
  MapDialogRect(hwnd_, &r);
  SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace varnel::win32
