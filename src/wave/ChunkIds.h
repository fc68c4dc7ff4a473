#pragma once
// The chunk ids of a wave file that the writer and the reader share.

#include "platform/RiffFile.h"

namespace varnel::wave {

inline constexpr platform::FourCC kWaveId = platform::MakeFourCC('W', 'A', 'V', 'E');
inline constexpr platform::FourCC kFmtId = platform::MakeFourCC('f', 'm', 't', ' ');
inline constexpr platform::FourCC kDataId = platform::MakeFourCC('d', 'a', 't', 'a');

}  // namespace varnel::wave
