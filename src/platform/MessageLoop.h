#pragma once
// Posted messages and timers of the main window. Posting is thread-safe (the
// board posts from its own thread); dispatching happens on the main thread,
// one message at a time, in the order posted.

#include <cstdint>

namespace varnel::platform {

struct Message {
  uint32_t id = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// The main window's handler. A timer arrives as WM_TIMER with the timer id in wParam.
class MessageHandler {
 public:
  virtual ~MessageHandler() = default;
  virtual intptr_t HandleMessage(const Message& message) = 0;
};

class MessageLoop {
 public:
  virtual ~MessageLoop() = default;
  // Thread-safe.
  virtual void Post(const Message& message) = 0;
  // Main thread only. Setting an existing timer again re-arms it with the new period.
  virtual void SetTimer(uint32_t timerId, uint32_t periodMs) = 0;
  virtual void KillTimer(uint32_t timerId) = 0;
  virtual void SetHandler(MessageHandler* handler) = 0;
  // The platform's window that receives these messages, for a driver that posts
  // to a window itself (Windows: an HWND); 0 when there is none.
  virtual intptr_t NativeWindow() const { return 0; }
};

}  // namespace varnel::platform
