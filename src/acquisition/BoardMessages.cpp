#include "acquisition/BoardMessages.h"

#include "ui/Messages.h"

namespace varnel {

void BoardMessages::BufferDone() {
  Post(ui::kBufferDoneMessage);
}

void BoardMessages::Overrun() {
  Post(ui::kBufferOverrunMessage);
}

void BoardMessages::Post(uint32_t message) const {
  if (window_ != nullptr) window_->Post({message, subsystem_, 0});
}

}  // namespace varnel
