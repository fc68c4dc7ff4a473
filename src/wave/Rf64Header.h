#pragma once
// The sizes of a wave file that may grow past what its 32-bit fields hold.
// A file made to grow reserves a 28-byte "JUNK" chunk as the form's first
// chunk. While its sizes fit they are the ordinary RIFF fields; once the form
// would pass the limit, the reserve becomes "ds64" (64-bit RIFF size, data
// size and sample count, no table), both 32-bit fields become 0xFFFFFFFF and
// "RIFF" becomes "RF64", in an order that leaves a file a reader can make
// sense of at every step. Every later size goes to ds64.
//
// A file without a reserve is a plain wave file whose sizes must fit.
// One object per open file, used by one thread at a time.

#include <cstdint>
#include <optional>

#include "platform/RiffFile.h"

namespace varnel::wave {

inline constexpr platform::FourCC kRf64Id = platform::MakeFourCC('R', 'F', '6', '4');
inline constexpr platform::FourCC kJunkId = platform::MakeFourCC('J', 'U', 'N', 'K');
inline constexpr platform::FourCC kDs64Id = platform::MakeFourCC('d', 's', '6', '4');
inline constexpr uint32_t kDs64Size = 28;
inline constexpr uint32_t kSizeInDs64 = 0xFFFFFFFF;
// The reserve is the form's first chunk, right after its type.
inline constexpr uint64_t kReserveOffset = 12;

struct Ds64 {
  uint64_t riffSize = 0;
  uint64_t dataSize = 0;
  uint64_t sampleCount = 0;
  uint32_t tableLength = 0;
};

class Rf64Header {
 public:
  // A plain wave file: no reserve, sizes up to limit.
  explicit Rf64Header(uint64_t limit = UINT32_MAX) : limit_(limit) {}
  // A file with its reserve chunk's header at reserveOffset; upgraded when it
  // is RF64 already, with the ds64 values it holds.
  Rf64Header(uint64_t limit, uint64_t reserveOffset, std::optional<Ds64> upgraded);

  // Writes the reserve (a "JUNK" chunk of 28 zero bytes) at the position.
  static bool WriteReserve(platform::RiffFile& file);

  bool CanGrow() const { return reserve_.has_value(); }
  bool IsRf64() const { return ds64_.has_value(); }
  // Whether the form may grow to this size: up to the limit for a plain wave
  // file; a file with a reserve grows on as RF64.
  bool Fits(uint64_t riffSize) const;
  // Whether a finalised form of this size can be told.
  bool RiffSizeFits(uint64_t riffSize) const { return IsRf64() || riffSize <= UINT32_MAX; }
  // The end of the data chunk and its pad byte, as the file's sizes say.
  uint64_t DataEnd(const platform::RiffChunk& data) const;

  // The data chunk now holds `bytes` (`frames` frames). Upgrades first when the
  // form would no longer fit its 32-bit field. False when the file refuses.
  bool WriteDataSize(platform::RiffFile& file, platform::RiffChunk& riff, platform::RiffChunk& data, uint64_t bytes,
                     uint64_t frames);
  bool WriteRiffSize(platform::RiffFile& file, platform::RiffChunk& riff, uint64_t size);

 private:
  bool Upgrade(platform::RiffFile& file, platform::RiffChunk& riff, platform::RiffChunk& data, uint64_t bytes,
               uint64_t frames);
  bool WriteDs64(platform::RiffFile& file);

  uint64_t limit_;
  std::optional<uint64_t> reserve_;  // offset of the reserve's chunk header
  std::optional<Ds64> ds64_;         // as last written
};

}  // namespace varnel::wave
