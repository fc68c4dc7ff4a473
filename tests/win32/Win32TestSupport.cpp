#include "Win32TestSupport.h"

#include <gtest/gtest.h>

#include <map>

#include "ui/UiServices.h"
#include "win32/DialogTemplate.h"

namespace varnel::test {
namespace {

std::map<UINT_PTR, Script*>& Scripts() {
  static std::map<UINT_PTR, Script*> scripts;
  return scripts;
}

MessageBoxHook* g_hook = nullptr;

// A message box: a dialog with the box's text control (id 0xFFFF).
bool IsMessageBox(HWND hwnd) {
  return ClassOf(hwnd) == "#32770" && GetDlgItem(hwnd, 0xFFFF) != nullptr &&
         (GetDlgItem(hwnd, IDOK) || GetDlgItem(hwnd, IDYES) || GetDlgItem(hwnd, IDCANCEL));
}

bool HasButton(HWND box, int id) {
  HWND b = GetDlgItem(box, id);
  return b && (GetWindowLongW(b, GWL_STYLE) & WS_VISIBLE);
}

uint32_t ButtonsOf(HWND box) {
  if (HasButton(box, IDYES) && HasButton(box, IDNO)) return HasButton(box, IDCANCEL) ? ui::mb::kYesNoCancel : ui::mb::kYesNo;
  if (HasButton(box, IDCANCEL)) return ui::mb::kOkCancel;
  return ui::mb::kOk;
}

BOOL CALLBACK FindIcon(HWND child, LPARAM result) {
  if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && ClassOf(child) == "Static") {
    *reinterpret_cast<HICON*>(result) = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    return FALSE;
  }
  return TRUE;
}

uint32_t IconOf(HWND box) {
  HICON icon = nullptr;
  EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&icon));
  if (!icon) return 0;
  struct Known {
    LPCSTR name;
    uint32_t style;
  };
  for (const Known& k : {Known{IDI_HAND, ui::mb::kIconError}, Known{IDI_QUESTION, ui::mb::kIconQuestion},
                         Known{IDI_EXCLAMATION, ui::mb::kIconWarning}, Known{IDI_ASTERISK, ui::mb::kIconInformation}})
    if (LoadIconA(nullptr, k.name) == icon) return k.style;
  return 0xF0;  // an icon we do not know
}

}  // namespace

Script::~Script() {
  if (timer_) {
    KillTimer(nullptr, timer_);
    Scripts().erase(timer_);
  }
}

Script& Script::Then(std::function<bool()> step) {
  steps_.push_back(std::move(step));
  return *this;
}

Script& Script::Do(std::function<void()> step) {
  return Then([step = std::move(step)] {
    step();
    return true;
  });
}

void Script::Start() {
  timer_ = SetTimer(nullptr, 0, 10, &Script::Tick);
  Scripts()[timer_] = this;
  stepStarted_ = GetTickCount64();
}

void CALLBACK Script::Tick(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Scripts().find(id);
  if (it != Scripts().end()) it->second->RunStep();
}

void Script::RunStep() {
  // A step that opens a modal loop keeps ticking inside it: no second step
  // until it returns.
  if (running_ || Done() || timedOut_) return;
  running_ = true;
  const bool done = steps_[next_]();
  running_ = false;
  if (done) {
    ++next_;
    stepStarted_ = GetTickCount64();
  } else if (GetTickCount64() - stepStarted_ > timeoutMs_) {
    timedOut_ = true;
    ADD_FAILURE() << "script step " << next_ << " waited too long";
  }
}

MessageBoxHook::MessageBoxHook() {
  g_hook = this;
  hook_ = SetWindowsHookExW(WH_CBT, &MessageBoxHook::Procedure, nullptr, GetCurrentThreadId());
  timer_ = SetTimer(nullptr, 0, 10, &MessageBoxHook::Tick);
}

MessageBoxHook::~MessageBoxHook() {
  if (hook_) UnhookWindowsHookEx(hook_);
  KillTimer(nullptr, timer_);
  g_hook = nullptr;
}

LRESULT CALLBACK MessageBoxHook::Procedure(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && g_hook) g_hook->Inspect(reinterpret_cast<HWND>(wParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxHook::Inspect(HWND box) {
  if (handled_.count(box) || !IsMessageBox(box) || (ours_ && ours_(box))) return;
  handled_.insert(box);
  SeenBox seen{WindowTextOf(GetDlgItem(box, 0xFFFF)), WindowTextOf(box), ButtonsOf(box), IconOf(box)};
  seen_.push_back(seen);
  int answer = seen.buttons == ui::mb::kYesNo ? IDNO : IDOK;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.erase(answers_.begin());
  }
  pending_.push_back({box, answer});
}

void CALLBACK MessageBoxHook::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_hook || g_hook->pending_.empty()) return;
  // Inside the box's own loop: what should happen while it is up, then the answer.
  const auto [box, answer] = g_hook->pending_.front();
  g_hook->pending_.erase(g_hook->pending_.begin());
  if (g_hook->during_) g_hook->during_(box);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
}

bool IsView(const win32::Win32UiServices& ui, HWND hwnd) {
  for (const win32::DialogWindow* view : ui.OpenViews())
    if (view->Handle() == hwnd) return true;
  return false;
}

std::string WindowTextOf(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return win32::Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

void UserClick(HWND control) {
  SendMessageW(control, BM_CLICK, 0, 0);
}

void UserClickLater(HWND control) {
  PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
}

void UserType(HWND edit, const std::string& text) {
  const std::u16string wide = win32::Utf8ToUtf16(text);
  const std::wstring w(wide.begin(), wide.end());
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(w.c_str()));
}

void UserKey(HWND target, WPARAM key) {
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

bool IsChecked(HWND button) {
  return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace varnel::test
