#pragma once
// A board's events as messages of the main window: kBufferDoneMessage and
// kBufferOverrunMessage, the sub-system in wParam, posted to the loop given
// (nowhere without one). Thread-safe as posting is; aimed before the board runs.

#include "boards/BoardApi.h"
#include "platform/MessageLoop.h"

namespace varnel {

class BoardMessages final : public BoardEvents {
 public:
  explicit BoardMessages(platform::MessageLoop* window = nullptr, BoardHandle subsystem = 0) { Aim(window, subsystem); }
  void Aim(platform::MessageLoop* window, BoardHandle subsystem) {
    window_ = window;
    subsystem_ = subsystem;
  }
  void BufferDone() override;
  void Overrun() override;
  intptr_t NativeWindow() const override { return window_ ? window_->NativeWindow() : 0; }

 private:
  void Post(uint32_t message) const;
  platform::MessageLoop* window_ = nullptr;
  BoardHandle subsystem_ = 0;
};

}  // namespace varnel
