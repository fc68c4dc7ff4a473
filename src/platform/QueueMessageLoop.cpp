#include "platform/QueueMessageLoop.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/Clock.h"
#include "platform/Messages.h"

namespace varnel::platform {

void QueueMessageLoop::Post(const Message& message) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(message);
  }
  posted_.notify_one();
}

void QueueMessageLoop::SetTimer(uint32_t timerId, uint32_t periodMs) {
  timers_[timerId] = Timer{periodMs == 0 ? 1 : periodMs, platform::GetClock().TickCount()};
}

void QueueMessageLoop::KillTimer(uint32_t timerId) {
  timers_.erase(timerId);
}

bool QueueMessageLoop::TimerActive(uint32_t timerId) const {
  return timers_.count(timerId) != 0;
}

uint32_t QueueMessageLoop::TimerPeriod(uint32_t timerId) const {
  auto it = timers_.find(timerId);
  return it == timers_.end() ? 0 : it->second.period;
}

std::size_t QueueMessageLoop::PendingCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

bool QueueMessageLoop::PopMessage(Message& message) {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return false;
  message = queue_.front();
  queue_.pop_front();
  return true;
}

void QueueMessageLoop::Deliver(const Message& message) {
  if (handler_) handler_->HandleMessage(message);
}

std::size_t QueueMessageLoop::DispatchDueTimers() {
  const uint32_t now = platform::GetClock().TickCount();
  std::vector<uint32_t> due;
  for (auto& [id, timer] : timers_) {
    if (now - timer.lastFired >= timer.period) {
      timer.lastFired = now;  // like a platform timer: missed periods collapse into one tick
      due.push_back(id);
    }
  }
  for (uint32_t id : due)
    if (timers_.count(id)) Deliver({WM_TIMER, id, 0});
  return due.size();
}

std::size_t QueueMessageLoop::DispatchPending() {
  std::size_t handled = 0;
  // Only what was posted before this call, so a handler that re-posts cannot spin us forever.
  std::size_t budget = PendingCount();
  Message message;
  while (budget-- > 0 && PopMessage(message)) {
    Deliver(message);
    ++handled;
  }
  return handled + DispatchDueTimers();
}

std::size_t QueueMessageLoop::WaitAndDispatch(uint32_t timeoutMs) {
  {
    std::unique_lock lock(mutex_);
    uint32_t wait = timeoutMs;
    const uint32_t now = platform::GetClock().TickCount();
    for (const auto& [id, timer] : timers_) {
      uint32_t elapsed = now - timer.lastFired;
      wait = std::min(wait, elapsed >= timer.period ? 0u : timer.period - elapsed);
    }
    posted_.wait_for(lock, std::chrono::milliseconds(wait), [this] { return !queue_.empty(); });
  }
  return DispatchPending();
}

bool QueueMessageLoop::FireTimer(uint32_t timerId) {
  auto it = timers_.find(timerId);
  if (it == timers_.end()) return false;
  it->second.lastFired = platform::GetClock().TickCount();
  Deliver({WM_TIMER, timerId, 0});
  return true;
}

}  // namespace varnel::platform
