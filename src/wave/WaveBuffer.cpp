#include "wave/WaveBuffer.h"

namespace varnel {

void WaveBuffer::MoveToFrame(uint32_t frame) { Position = frame; }

uint32_t WaveBuffer::SetPosition(uint32_t frame) {
  if (frame <= Length) Position = frame;
  MoveToFrame(Position);
  return Position;
}

}  // namespace varnel
