#include "ConsoleOutput.h"

#include <utility>

namespace varnel::record {

ConsoleOutput::ConsoleOutput(std::size_t levelRoom) : levelRoom_(levelRoom), writer_([this] { Write(); }) {}

ConsoleOutput::~ConsoleOutput() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  wake_.notify_one();
  writer_.join();
}

void ConsoleOutput::Line(std::FILE* stream, std::string text) {
  {
    std::lock_guard lock(mutex_);
    lines_.push_back({stream, std::move(text)});
  }
  wake_.notify_one();
}

void ConsoleOutput::Level(std::string text) {
  {
    std::lock_guard lock(mutex_);
    if (lines_.size() >= levelRoom_) {
      ++dropped_;
      return;
    }
    lines_.push_back({stdout, std::move(text)});
  }
  wake_.notify_one();
}

std::size_t ConsoleOutput::Dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

void ConsoleOutput::Write() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return ending_ || !lines_.empty(); });
    if (lines_.empty()) return;
    Pending line = std::move(lines_.front());
    lines_.pop_front();
    lock.unlock();
    std::fputs(line.text.c_str(), line.stream);
    std::fflush(line.stream);
    lock.lock();
  }
}

}  // namespace varnel::record
