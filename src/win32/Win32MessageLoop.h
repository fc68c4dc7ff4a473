#pragma once
// The main window's message loop on the platform's own queue: posted messages
// and timers go to a message-only window of the main thread, so they arrive
// in the order posted and keep arriving while a message box, a modal dialog
// or any other modal loop of that thread runs. Timers are platform timers
// (WM_TIMER with the timer's id); a tick of a killed timer is dropped.
//
// Post is thread-safe (the board posts from its own thread); everything else
// is called on the thread that created the loop. Stop every posting thread
// before destroying the loop.

#include "win32/Windows.h"

#include <functional>
#include <map>

#include "ui/MessageLoop.h"

namespace varnel::win32 {

class Win32MessageLoop : public ui::MessageLoop {
 public:
  Win32MessageLoop();
  ~Win32MessageLoop() override;
  Win32MessageLoop(const Win32MessageLoop&) = delete;
  Win32MessageLoop& operator=(const Win32MessageLoop&) = delete;

  void Post(const ui::Message& message) override;
  void SetTimer(uint32_t timerId, uint32_t periodMs) override;
  void KillTimer(uint32_t timerId) override;
  void SetHandler(ui::MessageHandler* handler) override { handler_ = handler; }

  bool TimerActive(uint32_t timerId) const { return timers_.count(timerId) != 0; }
  uint32_t TimerPeriod(uint32_t timerId) const;  // 0 when not active
  HWND Window() const { return hwnd_; }

  // After every message or tick handed to the handler; views use it to end a
  // dialog whose model ended itself while handling it.
  void SetAfterDelivery(std::function<void()> after) { after_ = std::move(after); }

  // Handles what is queued for this thread now (every window's messages);
  // false once WM_QUIT was seen. For programs and tests without a modal loop.
  bool PumpPending();
  // Pumps until `done` is true or timeoutMs have passed; true when done.
  bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs);

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Deliver(const ui::Message& message);

  HWND hwnd_ = nullptr;
  ui::MessageHandler* handler_ = nullptr;
  std::map<uint32_t, uint32_t> timers_;  // id -> period
  std::function<void()> after_;
};

}  // namespace varnel::win32
