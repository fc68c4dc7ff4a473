#include "boards/pool/BufferPool.h"

#include <algorithm>
#include <utility>

namespace varnel::boards {

BufferPool::Buffer* BufferPool::Find(BoardHandle buffer) {
  const auto it = buffers_.find(buffer);
  return it == buffers_.end() ? nullptr : &it->second;
}

BufferPool::Queues* BufferPool::FindInput(BoardHandle input) {
  const auto it = inputs_.find(input);
  return it == inputs_.end() ? nullptr : &it->second;
}

void BufferPool::MoveToDone(Queues& queues, BoardHandle buffer) {
  buffers_[buffer].place = Place::Done;
  queues.done.push_back(buffer);
}

// ---- the program's side ----

BoardStatus BufferPool::Allocate(uint32_t samples, BoardHandle* buffer) {
  if (buffer == nullptr) return statuses_.badValue;
  *buffer = 0;
  if (samples == 0 || samples > kMaxSamples) return statuses_.badValue;
  std::lock_guard lock(mutex_);
  while (next_ == 0 || buffers_.count(next_) != 0) ++next_;
  *buffer = next_++;
  buffers_[*buffer].samples.assign(samples, 0);
  return kBoardSuccess;
}

BoardStatus BufferPool::Free(BoardHandle handle) {
  std::lock_guard lock(mutex_);
  Buffer* buffer = Find(handle);
  if (buffer == nullptr) return statuses_.badHandle;
  if (buffer->place == Place::Filling) return statuses_.busy;
  if (Queues* queues = FindInput(buffer->input)) {
    std::erase(queues->ready, handle);
    std::erase(queues->done, handle);
  }
  buffers_.erase(handle);
  return kBoardSuccess;
}

BoardStatus BufferPool::Queue(BoardHandle input, BoardHandle handle) {
  std::lock_guard lock(mutex_);
  Queues* queues = FindInput(input);
  Buffer* buffer = Find(handle);
  if (queues == nullptr || buffer == nullptr) return statuses_.badHandle;
  if (buffer->place != Place::Held) return statuses_.busy;
  if (buffer->samples.size() < queues->scanSize) return statuses_.badValue;
  buffer->place = Place::Ready;
  buffer->input = input;
  buffer->valid = 0;  // handed back for filling: nothing in it counts any more
  queues->ready.push_back(handle);
  return kBoardSuccess;
}

BoardStatus BufferPool::TakeDone(BoardHandle input, BoardHandle* buffer) {
  if (buffer == nullptr) return statuses_.badValue;
  *buffer = 0;
  std::lock_guard lock(mutex_);
  Queues* queues = FindInput(input);
  if (queues == nullptr) return statuses_.badHandle;
  if (queues->done.empty()) return kBoardSuccess;
  *buffer = queues->done.front();
  queues->done.pop_front();
  buffers_[*buffer].place = Place::Held;
  return kBoardSuccess;
}

BoardStatus BufferPool::Data(BoardHandle handle, BufferData* data) const {
  std::lock_guard lock(mutex_);
  const auto it = buffers_.find(handle);
  if (it == buffers_.end()) return statuses_.badHandle;
  if (data == nullptr) return statuses_.badValue;
  const Buffer& buffer = it->second;
  data->samples = const_cast<uint16_t*>(buffer.samples.data());
  data->size = static_cast<uint32_t>(buffer.samples.size());
  data->valid = static_cast<int32_t>(buffer.valid);
  return kBoardSuccess;
}

// ---- inputs ----

void BufferPool::AddInput(BoardHandle input) {
  std::lock_guard lock(mutex_);
  inputs_[input] = Queues{};
}

void BufferPool::RemoveInput(BoardHandle input) {
  std::lock_guard lock(mutex_);
  Queues* queues = FindInput(input);
  if (queues == nullptr) return;
  // Buffers queued to it can no longer be reached: the board takes them back.
  for (BoardHandle b : queues->ready) buffers_.erase(b);
  for (BoardHandle b : queues->done) buffers_.erase(b);
  if (queues->filling != 0) buffers_.erase(queues->filling);
  inputs_.erase(input);
}

BoardStatus BufferPool::SetScanSize(BoardHandle input, uint32_t samples) {
  std::lock_guard lock(mutex_);
  Queues* queues = FindInput(input);
  if (queues == nullptr) return statuses_.badHandle;
  if (samples == 0) return statuses_.badValue;
  for (BoardHandle b : queues->ready) {
    if (buffers_[b].samples.size() < samples) return statuses_.badValue;
  }
  queues->scanSize = samples;
  return kBoardSuccess;
}

void BufferPool::SetEvents(BoardHandle input, BoardEvents* events) {
  std::lock_guard lock(mutex_);
  if (Queues* queues = FindInput(input)) queues->events = events;
}

void BufferPool::EndFilling(BoardHandle input) {
  std::lock_guard lock(mutex_);
  Queues* queues = FindInput(input);
  if (queues == nullptr || queues->filling == 0) return;
  const BoardHandle filling = std::exchange(queues->filling, 0);
  Buffer& buffer = buffers_[filling];
  if (buffer.valid > 0) {
    MoveToDone(*queues, filling);
  } else {
    // It was the oldest ready buffer and holds nothing: it is ready still.
    buffer.place = Place::Ready;
    queues->ready.push_front(filling);
  }
}

void BufferPool::Flush(BoardHandle input) {
  std::lock_guard lock(mutex_);
  Queues* queues = FindInput(input);
  if (queues == nullptr) return;
  for (BoardHandle b : queues->ready) MoveToDone(*queues, b);
  queues->ready.clear();
}

std::size_t BufferPool::Buffers() const {
  std::lock_guard lock(mutex_);
  return buffers_.size();
}

std::size_t BufferPool::ReadyCount(BoardHandle input) const {
  std::lock_guard lock(mutex_);
  const auto it = inputs_.find(input);
  return it == inputs_.end() ? 0 : it->second.ready.size();
}

std::size_t BufferPool::DoneCount(BoardHandle input) const {
  std::lock_guard lock(mutex_);
  const auto it = inputs_.find(input);
  return it == inputs_.end() ? 0 : it->second.done.size();
}

uint64_t BufferPool::Overruns() const {
  std::lock_guard lock(mutex_);
  return overruns_;
}

// ---- the filler's side ----

BufferFiller::Target BufferFiller::Current() {
  std::lock_guard lock(pool_->mutex_);
  BufferPool::Queues* queues = pool_->FindInput(input_);
  if (queues == nullptr) return {};
  if (queues->filling == 0) {
    if (queues->ready.empty()) return {};
    queues->filling = queues->ready.front();
    queues->ready.pop_front();
    BufferPool::Buffer& taken = pool_->buffers_[queues->filling];
    taken.place = BufferPool::Place::Filling;
    taken.valid = 0;
  }
  BufferPool::Buffer& buffer = pool_->buffers_[queues->filling];
  const uint32_t scan = queues->scanSize;
  return {buffer.samples.data(), static_cast<uint32_t>(buffer.samples.size()) / scan, buffer.valid / scan};
}

void BufferFiller::Filled(uint32_t scans) {
  BoardEvents* tell = nullptr;
  {
    std::lock_guard lock(pool_->mutex_);
    BufferPool::Queues* queues = pool_->FindInput(input_);
    if (queues == nullptr || queues->filling == 0) return;
    BufferPool::Buffer& buffer = pool_->buffers_[queues->filling];
    const uint32_t scan = queues->scanSize;
    const uint32_t capacity = static_cast<uint32_t>(buffer.samples.size()) / scan;
    buffer.valid = std::min(capacity, buffer.valid / scan + scans) * scan;
    if (buffer.valid < capacity * scan) return;
    pool_->MoveToDone(*queues, std::exchange(queues->filling, 0));
    tell = queues->events;
  }
  if (tell != nullptr) tell->BufferDone();
}

void BufferFiller::Overrun() {
  BoardEvents* tell = nullptr;
  {
    std::lock_guard lock(pool_->mutex_);
    ++pool_->overruns_;
    if (BufferPool::Queues* queues = pool_->FindInput(input_)) tell = queues->events;
  }
  if (tell != nullptr) tell->Overrun();
}

uint32_t BufferFiller::ScanSize() const {
  std::lock_guard lock(pool_->mutex_);
  const BufferPool::Queues* queues = pool_->FindInput(input_);
  return queues == nullptr ? 1 : queues->scanSize;
}

}  // namespace varnel::boards
