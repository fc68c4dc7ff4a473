#pragma once
// The two layouts a recording's files can have, and what the broadcast one
// needs to know about the recording. A recorder fills a WaveFileChoice and
// hands it to each WaveIO it makes.
//
// Plain values; safe from any thread.

#include <optional>
#include <string_view>

#include "wave/RecordingStart.h"

namespace varnel {

enum class WaveFileFormat {
  kWave,       // data at byte 44, nothing else in the form; sizes stop at 4 GiB
  kBroadcast,  // ds64 reserve and bext before fmt; becomes RF64 past 4 GiB
};

// "Wave", "Broadcast wave (RF64 past 4 GiB)".
std::string_view WaveFileFormatName(WaveFileFormat format);
// The command line's names: "wav", "bwf".
std::string_view WaveFileFormatKey(WaveFileFormat format);
std::optional<WaveFileFormat> WaveFileFormatFromKey(std::string_view key);

struct WaveFileChoice {
  WaveFileFormat format = WaveFileFormat::kWave;
  RecordingStart start;  // what a broadcast file's bext says; unused by kWave
};

}  // namespace varnel
