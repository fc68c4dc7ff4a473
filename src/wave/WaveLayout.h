#pragma once
// Where the parts of a wave file lie, found by walking its chunks: a "RIFF"
// or "RF64" form of type "WAVE" (for RF64 with its ds64 chunk first), the
// reserve a broadcast wave keeps for ds64, the bext, fmt and data chunks, and
// the chunks that follow the form at the top level.
//
// Nothing in a file is trusted: the walk keeps explicit have-fmt/have-data
// state, bounds every read by the enclosing chunk and the file's size, and
// steps over the pad byte of an odd chunk. One walk per call; the file's
// position is left anywhere.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/RiffFile.h"
#include "wave/Rf64Header.h"

namespace varnel::wave {

enum class LayoutFault {
  kNone,
  kNoForm,       // no RIFF or RF64 form of type WAVE (or an RF64 form without ds64)
  kNoFmt,        // no fmt chunk in the form
  kFmtTooShort,  // a fmt chunk without the block-align field
  kFmtCutShort,  // a fmt chunk that does not lie whole in the form and the file
  kNoChannels,   // a fmt chunk of 0 channels
  kNoData,       // no data chunk after the fmt chunk
  kEmptyData,    // a data chunk that holds nothing the file has
};
std::string_view LayoutFaultText(LayoutFault fault);

inline constexpr uint16_t kPcmTag = 1;
inline constexpr uint16_t kFloatTag = 3;
inline constexpr uint16_t kExtensibleTag = 0xFFFE;

struct FmtFields {
  uint32_t size = 0;
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint32_t bytesPerSecond = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t subFormatTag = 0;  // of an extensible fmt chunk: the first two bytes of its GUID
  // The tag that says how samples are coded (an extensible chunk's sub-format).
  uint16_t SampleTag() const { return formatTag == kExtensibleTag ? subFormatTag : formatTag; }
};

// How far the form reaches: as its size says, or (a working file, whose form
// counts only its type until the recording is finalised) to the end of the file.
enum class FormBound { kRiffSize, kFileEnd };

struct WaveLayout {
  LayoutFault fault = LayoutFault::kNone;
  uint64_t fileSize = 0;
  bool rf64 = false;
  uint64_t formOffset = 0;                // the form's chunk header
  uint32_t riffSizeField = 0;             // the form's 32-bit size field as stored
  uint64_t riffSize = 0;                  // the form's size (from ds64 when the field sends a reader there)
  uint64_t formEnd = 0;                   // the end of the walk: the form's end or the file's, whichever comes first
  std::optional<uint64_t> reserveOffset;  // the header of a ds64 reserve (JUNK) or of ds64, first in the form
  std::optional<Ds64> ds64;
  std::optional<uint64_t> bextOffset;  // the bext chunk's content
  uint64_t bextSize = 0;
  FmtFields fmt;
  uint64_t dataHeaderOffset = 0;
  uint64_t dataOffset = 0;     // the first sample byte
  uint32_t dataSizeField = 0;  // the data chunk's 32-bit size field as stored
  uint64_t dataSize = 0;       // as the file says (from ds64 when the field sends a reader there)
  uint64_t dataHeld = 0;       // of it, what the file holds

  bool Ok() const { return fault == LayoutFault::kNone; }
  // The form ends with its data chunk: the offset past it and its pad byte.
  uint64_t DataEnd() const { return dataOffset + dataHeld + (dataHeld & 1u); }
};

WaveLayout ReadWaveLayout(platform::RiffFile& file, FormBound bound = FormBound::kRiffSize);

// The ds64 chunk whose header is at offset, when it is one and lies whole in the file.
std::optional<Ds64> ReadDs64(platform::RiffFile& file, uint64_t offset);

// A top-level chunk of the given id, searched from the start of the file; an
// RF64 form is stepped over by its ds64 size. The chunk's size is as stored.
std::optional<platform::RiffChunk> FindTopLevelChunk(platform::RiffFile& file, platform::FourCC id);

}  // namespace varnel::wave
