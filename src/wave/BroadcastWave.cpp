#include "wave/BroadcastWave.h"

#include "wave/Rf64Header.h"
#include "wave/WaveFileFormat.h"

namespace varnel {

std::string_view WaveFileFormatName(WaveFileFormat format) {
  return format == WaveFileFormat::kBroadcast ? "Broadcast wave (RF64 past 4 GiB)" : "Wave";
}

std::string_view WaveFileFormatKey(WaveFileFormat format) {
  return format == WaveFileFormat::kBroadcast ? "bwf" : "wav";
}

std::optional<WaveFileFormat> WaveFileFormatFromKey(std::string_view key) {
  for (WaveFileFormat f : {WaveFileFormat::kWave, WaveFileFormat::kBroadcast})
    if (WaveFileFormatKey(f) == key) return f;
  return std::nullopt;
}

namespace wave {

static_assert(kCodingHistorySize == 334);

bool WriteBroadcastChunks(platform::RiffFile& file, const Bext& bext) {
  const std::vector<unsigned char> content = EncodeBext(bext, kCodingHistorySize);
  platform::RiffChunk chunk{kBextId, static_cast<uint32_t>(content.size())};
  return Rf64Header::WriteReserve(file) && file.CreateChunk(chunk, false) &&
         file.Write(content.data(), content.size()) == content.size();
}

}  // namespace wave
}  // namespace varnel
