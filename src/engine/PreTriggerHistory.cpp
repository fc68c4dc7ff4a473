#include "engine/PreTriggerHistory.h"

#include <algorithm>
#include <cstring>

namespace varnel {

void PreTriggerHistory::Reset(uint32_t frames, const std::array<bool, kChannelCount>& keep) {
  capacity_ = frames;
  held_ = 0;
  next_ = 0;
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    rings_[slot].assign(keep[slot] ? frames : 0, int16_t{0});
    rings_[slot].shrink_to_fit();
  }
}

void PreTriggerHistory::Push(const ChannelBlocks& buffer, uint32_t from, uint32_t count) {
  if (capacity_ == 0) return;
  // Of a buffer longer than the ring only its newest frames can stay.
  if (count > capacity_) {
    from += count - capacity_;
    count = capacity_;
  }
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    std::vector<int16_t>& ring = rings_[slot];
    if (ring.empty()) continue;
    const int16_t* block = buffer.blocks[slot];
    const uint32_t first = std::min(count, capacity_ - next_);
    if (block == nullptr) {
      std::fill_n(ring.data() + next_, first, int16_t{0});
      std::fill_n(ring.data(), count - first, int16_t{0});
      continue;
    }
    std::memcpy(ring.data() + next_, block + from, first * sizeof(int16_t));
    std::memcpy(ring.data(), block + from + first, (count - first) * sizeof(int16_t));
  }
  next_ = (next_ + count) % capacity_;
  held_ = std::min(capacity_, held_ + count);
}

void PreTriggerHistory::Replay(uint32_t frames, const std::function<void(const ChannelBlocks&)>& piece) const {
  frames = std::min(frames, held_);
  if (frames == 0) return;
  const uint32_t start = (next_ + capacity_ - frames) % capacity_;
  const uint32_t first = std::min(frames, capacity_ - start);
  auto emit = [&](uint32_t at, uint32_t count) {
    if (count == 0) return;
    ChannelBlocks blocks;
    for (int32_t slot = 0; slot < kChannelCount; ++slot)
      blocks.blocks[slot] = rings_[slot].empty() ? nullptr : rings_[slot].data() + at;
    blocks.frames = count;
    piece(blocks);
  };
  emit(start, first);
  emit(0, frames - first);
}

}  // namespace varnel
