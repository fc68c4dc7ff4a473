#include "wave/WaveLayout.h"

#include <algorithm>

#include "platform/LittleEndian.h"
#include "wave/Bext.h"
#include "wave/ChunkIds.h"

namespace varnel::wave {
namespace {

using platform::GetLittle;
using platform::kChunkHeaderSize;
using platform::RiffChunk;
using platform::RiffFile;

// Channels (bytes 2-3), rate (4-7) and block align (12-13) are all a reader needs.
constexpr uint32_t kShortestFmt = 14;
constexpr uint32_t kExtensibleFmt = 40;

bool ReadAt(RiffFile& file, uint64_t offset, unsigned char* out, std::size_t count) {
  return file.Seek(offset) && file.Read(out, count) == count;
}

struct Header {
  platform::FourCC id = 0;
  uint32_t size = 0;
};

std::optional<Header> ReadHeader(RiffFile& file, uint64_t at, uint64_t end) {
  unsigned char b[kChunkHeaderSize];
  if (at > end || end - at < kChunkHeaderSize || !ReadAt(file, at, b, sizeof b)) return std::nullopt;
  return Header{static_cast<platform::FourCC>(GetLittle(b, 4)), static_cast<uint32_t>(GetLittle(b + 4, 4))};
}

// Past a chunk of `size` content bytes and its pad byte, without wrapping.
uint64_t After(uint64_t at, uint64_t size) {
  const uint64_t header = at + kChunkHeaderSize;  // offsets come from files far below 2^64
  const uint64_t padded = size + (size & 1u);
  return padded < size || header > UINT64_MAX - padded ? UINT64_MAX : header + padded;
}

bool IsWaveForm(RiffFile& file, uint64_t at, uint64_t fileSize, platform::FourCC id) {
  unsigned char type[4];
  return (id == platform::kRiffId || id == kRf64Id) && fileSize - at >= 12 && ReadAt(file, at + 8, type, 4) &&
         GetLittle(type, 4) == kWaveId;
}

// The top-level walk to the first WAVE form; false when there is none.
bool FindForm(RiffFile& file, WaveLayout& layout) {
  for (uint64_t at = 0;;) {
    const auto h = ReadHeader(file, at, layout.fileSize);
    if (!h) return false;
    if (IsWaveForm(file, at, layout.fileSize, h->id)) {
      layout.formOffset = at;
      layout.rf64 = h->id == kRf64Id;
      layout.riffSizeField = h->size;
      layout.riffSize = h->size;
      return true;
    }
    at = After(at, h->size);
  }
}

bool ReadFmt(RiffFile& file, uint64_t at, const Header& h, WaveLayout& layout) {
  if (h.size < kShortestFmt) {
    layout.fault = LayoutFault::kFmtTooShort;
    return false;
  }
  if (After(at, h.size) - (h.size & 1u) > layout.formEnd) {
    layout.fault = LayoutFault::kFmtCutShort;
    return false;
  }
  unsigned char b[kExtensibleFmt] = {};
  const uint32_t take = std::min(h.size, kExtensibleFmt);
  if (!ReadAt(file, at + kChunkHeaderSize, b, take)) {
    layout.fault = LayoutFault::kFmtCutShort;
    return false;
  }
  FmtFields& f = layout.fmt;
  f.size = h.size;
  f.formatTag = static_cast<uint16_t>(GetLittle(b, 2));
  f.channels = static_cast<uint16_t>(GetLittle(b + 2, 2));
  f.sampleRate = static_cast<uint32_t>(GetLittle(b + 4, 4));
  f.bytesPerSecond = static_cast<uint32_t>(GetLittle(b + 8, 4));
  f.blockAlign = static_cast<uint16_t>(GetLittle(b + 12, 2));
  f.bitsPerSample = take >= 16 ? static_cast<uint16_t>(GetLittle(b + 14, 2)) : 0;
  if (f.formatTag == kExtensibleTag && take >= kExtensibleFmt)
    f.subFormatTag = static_cast<uint16_t>(GetLittle(b + 24, 2));
  if (f.channels == 0) {
    layout.fault = LayoutFault::kNoChannels;
    return false;
  }
  return true;
}

// The form's chunks, in order: fmt first, then data; the reserve and bext where they lie.
void WalkForm(RiffFile& file, WaveLayout& layout) {
  bool haveFmt = false;
  const uint64_t first = layout.formOffset + 12;
  for (uint64_t at = first;;) {
    const auto h = ReadHeader(file, at, layout.formEnd);
    if (!h) break;
    uint64_t size = h->size;
    // A ds64 too short for the table's length is read, never rewritten.
    if (at == first && (h->id == kJunkId || h->id == kDs64Id) && h->size == kDs64Size) layout.reserveOffset = at;
    if (h->id == kBextId && !layout.bextOffset) {
      layout.bextOffset = at + kChunkHeaderSize;
      layout.bextSize = size;
    } else if (h->id == kFmtId && !haveFmt) {
      if (!ReadFmt(file, at, *h, layout)) return;
      haveFmt = true;
    } else if (h->id == kDataId && haveFmt) {
      if (layout.ds64 && h->size == kSizeInDs64) size = layout.ds64->dataSize;
      layout.dataHeaderOffset = at;
      layout.dataOffset = at + kChunkHeaderSize;
      layout.dataSizeField = h->size;
      layout.dataSize = size;
      layout.dataHeld = std::min(size, layout.fileSize - layout.dataOffset);
      if (layout.dataHeld == 0) layout.fault = LayoutFault::kEmptyData;
      return;
    }
    at = After(at, size);
  }
  layout.fault = haveFmt ? LayoutFault::kNoData : LayoutFault::kNoFmt;
}

}  // namespace

std::string_view LayoutFaultText(LayoutFault fault) {
  switch (fault) {
    case LayoutFault::kNone:
      return "";
    case LayoutFault::kNoForm:
      return "not a wave file (no RIFF or RF64 form of type WAVE)";
    case LayoutFault::kNoFmt:
      return "no fmt chunk in the wave form";
    case LayoutFault::kFmtTooShort:
      return "a fmt chunk too short to say its block size";
    case LayoutFault::kFmtCutShort:
      return "the fmt chunk is cut short";
    case LayoutFault::kNoChannels:
      return "a fmt chunk of 0 channels";
    case LayoutFault::kNoData:
      return "no data chunk after the fmt chunk";
    case LayoutFault::kEmptyData:
      return "the data chunk holds no samples";
  }
  return "not a wave file";
}

std::optional<Ds64> ReadDs64(RiffFile& file, uint64_t offset) {
  unsigned char b[kChunkHeaderSize + kDs64Size];
  if (offset > file.FileSize() || file.FileSize() - offset < sizeof b || !ReadAt(file, offset, b, sizeof b))
    return std::nullopt;
  if (GetLittle(b, 4) != kDs64Id || GetLittle(b + 4, 4) < 24) return std::nullopt;
  Ds64 d;
  d.riffSize = GetLittle(b + 8, 8);
  d.dataSize = GetLittle(b + 16, 8);
  d.sampleCount = GetLittle(b + 24, 8);
  d.tableLength = GetLittle(b + 4, 4) >= kDs64Size ? static_cast<uint32_t>(GetLittle(b + 32, 4)) : 0;
  return d;
}

WaveLayout ReadWaveLayout(RiffFile& file, FormBound bound) {
  WaveLayout layout;
  layout.fileSize = file.FileSize();
  if (!FindForm(file, layout)) {
    layout.fault = LayoutFault::kNoForm;
    return layout;
  }
  layout.ds64 = ReadDs64(file, layout.formOffset + 12);
  if (layout.rf64 && !layout.ds64) {
    layout.fault = LayoutFault::kNoForm;
    return layout;
  }
  if (layout.ds64 && layout.riffSizeField == kSizeInDs64) layout.riffSize = layout.ds64->riffSize;
  const uint64_t formEnd = bound == FormBound::kFileEnd ? UINT64_MAX : After(layout.formOffset, layout.riffSize);
  layout.formEnd = std::min(formEnd, layout.fileSize);
  WalkForm(file, layout);
  return layout;
}

std::optional<RiffChunk> FindTopLevelChunk(RiffFile& file, platform::FourCC id) {
  const uint64_t fileSize = file.FileSize();
  for (uint64_t at = 0;;) {
    const auto h = ReadHeader(file, at, fileSize);
    if (!h) return std::nullopt;
    if (h->id == id) return RiffChunk{id, h->size, 0, at + kChunkHeaderSize};
    uint64_t size = h->size;
    if (h->id == kRf64Id && h->size == kSizeInDs64)
      if (const auto ds64 = ReadDs64(file, at + 12)) size = ds64->riffSize;
    at = After(at, size);
  }
}

}  // namespace varnel::wave
