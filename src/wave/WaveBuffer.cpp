#include "wave/WaveBuffer.h"

namespace varnel {

void WaveBuffer::MoveToFrame(uint64_t frame) { Position = frame; }

uint64_t WaveBuffer::SetPosition(uint64_t frame) {
  if (frame <= Length) Position = frame;
  MoveToFrame(Position);
  return Position;
}

}  // namespace varnel
