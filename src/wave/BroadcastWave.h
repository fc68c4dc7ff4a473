#pragma once
// The chunks a broadcast wave file holds between its form type and its fmt
// chunk: the ds64 reserve and the bext. Their size is fixed, so that the
// samples of every broadcast file this system writes start at byte 1024, as
// those of a wave file start at byte 44: recovery finds them even when the
// header did not reach the disk.

#include <cstdint>

#include "platform/RiffFile.h"
#include "wave/Bext.h"

namespace varnel::wave {

inline constexpr uint32_t kBroadcastDataOffset = 1024;
// RIFF header, reserve, bext header, fmt chunk (16 bytes), data header.
inline constexpr std::size_t kCodingHistorySize = kBroadcastDataOffset - 12 - 36 - 8 - kBextFixedSize - 24 - 8;

// Writes the reserve and the bext at the position (just after the form type).
bool WriteBroadcastChunks(platform::RiffFile& file, const Bext& bext);

}  // namespace varnel::wave
