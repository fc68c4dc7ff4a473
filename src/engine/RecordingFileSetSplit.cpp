// The recording file set split on the clock: every recorded channel goes on in
// a new file at each whole multiple of the split period of the local clock
// (at hh:00:00 for an hour), the frame computed from the sample count since
// the run's first sample, not from when buffers arrive. A block that spans a
// boundary is cut there, so the files joined are every sample, once.

#include "engine/RecordingFileSet.h"

namespace varnel {
namespace {

constexpr int64_t kMicrosPerSecond = 1000000;

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

std::optional<uint64_t> RecordingFileSet::NextSplit(uint64_t frame) const {
  const int64_t rate = RecordingFormat.SampleRate;
  if (settings_.SplitEverySeconds <= 0 || rate <= 0) return std::nullopt;
  const int64_t period = int64_t{settings_.SplitEverySeconds} * kMicrosPerSecond;
  const int64_t firstLocal = runStart_.utcMicroseconds + int64_t{runStart_.zoneOffsetSeconds} * kMicrosPerSecond;
  const auto elapsed = static_cast<int64_t>(frame * kMicrosPerSecond / static_cast<uint64_t>(rate));
  // The first sample at or after the next multiple of the period past the frame's time.
  const int64_t since = (FloorDiv(firstLocal + elapsed, period) + 1) * period - firstLocal;
  return static_cast<uint64_t>((since * rate + kMicrosPerSecond - 1) / kMicrosPerSecond);
}

void RecordingFileSet::AppendBlocks(const ChannelBlocks& piece) {
  uint32_t done = 0;
  while (done < piece.frames) {
    const std::optional<uint64_t> split = NextSplit(nextFrame_);
    uint32_t count = piece.frames - done;
    if (split && *split > nextFrame_ && *split - nextFrame_ < count) count = static_cast<uint32_t>(*split - nextFrame_);
    ChannelBlocks part;
    for (int32_t slot = 0; slot < kChannelCount; ++slot)
      part.blocks[slot] = piece.blocks[slot] ? piece.blocks[slot] + done : nullptr;
    part.frames = count;
    AppendPiece(part);
    done += count;
    if (split && nextFrame_ == *split) SplitAt(nextFrame_);
  }
}

void RecordingFileSet::SplitAt(uint64_t frame) {
  const std::string stamp = StampAt(frame);
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    if (!WaveFiles[slot] || WaveFiles[slot]->GetLength() == 0) continue;
    Finalise(slot, false);
    MakeEventFile(slot, frame, stamp);
  }
  UpdateJournal();
}

}  // namespace varnel
