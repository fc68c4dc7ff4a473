#pragma once
// The main window's messages on Windows: a message-only window of the main
// thread receives what is posted to it — by the program, by a driver that was
// given NativeWindow() (buffer done WM_USER+103, overrun WM_USER+102), by its
// timers — and hands each to the handler, one at a time, as the window
// procedure of the recorder's main window does. Any message pump of the
// thread delivers them (a modal dialog's, a DDE transaction's, or ours below).
//
// Post is thread-safe; everything else is for the thread that made the object.

#include <cstddef>
#include <cstdint>

#include "platform/MessageLoop.h"

namespace varnel::platform {

class WindowMessageLoop : public MessageLoop {
 public:
  WindowMessageLoop();
  ~WindowMessageLoop() override;
  WindowMessageLoop(const WindowMessageLoop&) = delete;
  WindowMessageLoop& operator=(const WindowMessageLoop&) = delete;

  bool Valid() const { return window_ != 0; }

  void Post(const Message& message) override;
  void SetTimer(uint32_t timerId, uint32_t periodMs) override;
  void KillTimer(uint32_t timerId) override;
  void SetHandler(MessageHandler* handler) override { handler_ = handler; }
  intptr_t NativeWindow() const override { return window_; }

  // Dispatches every message waiting for this thread; returns how many.
  std::size_t DispatchPending();
  // Waits up to timeoutMs for a message, then dispatches what is there.
  std::size_t WaitAndDispatch(uint32_t timeoutMs);

  // For the window procedure.
  intptr_t Deliver(const Message& message);

 private:
  intptr_t window_ = 0;  // HWND
  MessageHandler* handler_ = nullptr;
};

}  // namespace varnel::platform
