#pragma once
// A message loop of our own: a queue that the main thread drains. Timers run
// on the process clock, so with a fake clock a test decides when they fire.
// Used by the headless recorder and by tests.

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "platform/MessageLoop.h"

namespace varnel::platform {

class QueueMessageLoop : public MessageLoop {
 public:
  void Post(const Message& message) override;
  void SetTimer(uint32_t timerId, uint32_t periodMs) override;
  void KillTimer(uint32_t timerId) override;
  void SetHandler(MessageHandler* handler) override { handler_ = handler; }

  // Dispatches everything posted so far and every timer that is due; returns
  // the number of messages handled. Main thread only.
  std::size_t DispatchPending();
  // Waits up to timeoutMs (real time) for a message or a due timer, then
  // dispatches what is there.
  std::size_t WaitAndDispatch(uint32_t timeoutMs);
  // Fires a timer now, whether due or not (tests).
  bool FireTimer(uint32_t timerId);

  bool TimerActive(uint32_t timerId) const;
  uint32_t TimerPeriod(uint32_t timerId) const;  // 0 when not active
  std::size_t PendingCount() const;

 private:
  struct Timer {
    uint32_t period;
    uint32_t lastFired;
  };
  bool PopMessage(Message& message);
  std::size_t DispatchDueTimers();
  void Deliver(const Message& message);

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Message> queue_;
  std::map<uint32_t, Timer> timers_;  // main thread only
  MessageHandler* handler_ = nullptr;
};

}  // namespace varnel::platform
