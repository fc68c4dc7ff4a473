#pragma once
// The recorder record's file format as the wave layer's choice, and back: the
// record keeps a number, the settings file and the command line the keys
// "wav" and "bwf".

#include <cstdint>
#include <string_view>

#include "records/ChannelSettings.h"
#include "wave/WaveFileFormat.h"

namespace varnel {

inline WaveFileFormat WaveFileFormatOf(int32_t fileFormat) {
  return fileFormat == kFileFormatBroadcast ? WaveFileFormat::kBroadcast : WaveFileFormat::kWave;
}

inline int32_t FileFormatSettingOf(WaveFileFormat format) {
  return format == WaveFileFormat::kBroadcast ? kFileFormatBroadcast : kFileFormatWave;
}

// An unknown key reads as the wave format, the layout every reader knows.
inline int32_t FileFormatFromKey(std::string_view key) {
  return FileFormatSettingOf(WaveFileFormatFromKey(key).value_or(WaveFileFormat::kWave));
}

inline std::string_view FileFormatKey(int32_t fileFormat) {
  return WaveFileFormatKey(WaveFileFormatOf(fileFormat));
}

}  // namespace varnel
