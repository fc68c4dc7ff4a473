#include "win32/Win32MessageLoop.h"

namespace varnel::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VarnelMessageLoop";

void RegisterLoopClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcW;  // replaced per window below
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // fails harmlessly when already registered
}

}  // namespace

Win32MessageLoop::Win32MessageLoop() {
  RegisterLoopClass();
  hwnd_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32MessageLoop::Procedure));
}

Win32MessageLoop::~Win32MessageLoop() {
  for (const auto& [id, period] : timers_) ::KillTimer(hwnd_, id);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

void Win32MessageLoop::Post(const ui::Message& message) {
  PostMessageW(hwnd_, message.id, message.wParam, message.lParam);
}

void Win32MessageLoop::SetTimer(uint32_t timerId, uint32_t periodMs) {
  const uint32_t period = periodMs == 0 ? 1 : periodMs;
  timers_[timerId] = period;
  ::SetTimer(hwnd_, timerId, period, nullptr);
}

void Win32MessageLoop::KillTimer(uint32_t timerId) {
  timers_.erase(timerId);
  ::KillTimer(hwnd_, timerId);
}

uint32_t Win32MessageLoop::TimerPeriod(uint32_t timerId) const {
  auto it = timers_.find(timerId);
  return it == timers_.end() ? 0 : it->second;
}

LRESULT CALLBACK Win32MessageLoop::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32MessageLoop*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  // Everything posted here is the handler's, WM_CLOSE included (the close
  // sequence); the window itself goes only with the loop.
  if (!self || message == WM_NCCREATE || message == WM_CREATE || message == WM_DESTROY || message == WM_NCDESTROY ||
      message == WM_NCCALCSIZE || message == WM_GETMINMAXINFO)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_TIMER && !self->TimerActive(static_cast<uint32_t>(wParam))) return 0;
  self->Deliver({message, wParam, lParam});
  return 0;
}

void Win32MessageLoop::Deliver(const ui::Message& message) {
  if (handler_) handler_->HandleMessage(message);
  if (after_) after_();
}

bool Win32MessageLoop::PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) return false;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

bool Win32MessageLoop::PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    if (!PumpPending()) return done();
  }
  return true;
}

}  // namespace varnel::win32
