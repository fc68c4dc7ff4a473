#include "platform/win32/WindowMessageLoop.h"

// Before <windows.h>, whose macros have the same names as its constants.
#include "platform/Messages.h"
//
#include "platform/win32/WindowsApi.h"

namespace varnel::platform {
namespace {

constexpr char kClassName[] = "VarnelMessageWindow";

HWND AsWindow(intptr_t w) {
  return reinterpret_cast<HWND>(w);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* loop = reinterpret_cast<WindowMessageLoop*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  // Ours: the application's range and timers. The system's own go to the system.
  if (loop != nullptr && (msg >= WM_USER || msg == WM_TIMER))
    return static_cast<LRESULT>(loop->Deliver({msg, wParam, lParam}));
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool RegisterOnce() {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    return ::RegisterClassA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace

static_assert(kBufferDoneMessage == WM_USER + 103 && kBufferOverrunMessage == WM_USER + 102);

WindowMessageLoop::WindowMessageLoop() {
  if (!RegisterOnce()) return;
  HWND hwnd =
      ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (hwnd == nullptr) return;
  ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  window_ = reinterpret_cast<intptr_t>(hwnd);
}

WindowMessageLoop::~WindowMessageLoop() {
  if (window_ == 0) return;
  ::SetWindowLongPtrA(AsWindow(window_), GWLP_USERDATA, 0);
  ::DestroyWindow(AsWindow(window_));
}

void WindowMessageLoop::Post(const Message& message) {
  if (window_ != 0) ::PostMessageA(AsWindow(window_), message.id, message.wParam, message.lParam);
}

void WindowMessageLoop::SetTimer(uint32_t timerId, uint32_t periodMs) {
  if (window_ != 0) ::SetTimer(AsWindow(window_), timerId, periodMs, nullptr);
}

void WindowMessageLoop::KillTimer(uint32_t timerId) {
  if (window_ != 0) ::KillTimer(AsWindow(window_), timerId);
}

intptr_t WindowMessageLoop::Deliver(const Message& message) {
  return handler_ ? handler_->HandleMessage(message) : 0;
}

std::size_t WindowMessageLoop::DispatchPending() {
  std::size_t handled = 0;
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
    ++handled;
  }
  return handled;
}

std::size_t WindowMessageLoop::WaitAndDispatch(uint32_t timeoutMs) {
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_ALLINPUT);
  return DispatchPending();
}

}  // namespace varnel::platform
