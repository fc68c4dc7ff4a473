#include "acquisition/BoardMessages.h"

#include "platform/Messages.h"

namespace varnel {

void BoardMessages::BufferDone() {
  Post(platform::kBufferDoneMessage);
}

void BoardMessages::Overrun() {
  Post(platform::kBufferOverrunMessage);
}

void BoardMessages::Post(uint32_t message) const {
  if (window_ != nullptr) window_->Post({message, subsystem_, 0});
}

}  // namespace varnel
