#include "recovery/WorkingFileHeader.h"

#include <algorithm>

#include "platform/LittleEndian.h"
#include "wave/BroadcastWave.h"
#include "wave/ChunkIds.h"
#include "wave/Rf64Header.h"
#include "wave/WaveLayout.h"

namespace varnel {
namespace {

using platform::PutLittle;
using platform::RiffChunk;
using platform::RiffFile;

constexpr uint64_t kWaveHeaderSize = 44;

bool WriteLittle(RiffFile& file, uint64_t offset, uint64_t value, int bytes) {
  unsigned char b[8];
  PutLittle(b, value, bytes);
  return file.WriteAt(offset, b, static_cast<std::size_t>(bytes));
}

bool WriteId(RiffFile& file, uint64_t offset, platform::FourCC id) {
  return WriteLittle(file, offset, id, 4);
}

// The form counts only its type until finalised; a form turned RF64 says so in ds64.
bool StillRecording(const wave::WaveLayout& layout) {
  return layout.riffSizeField == 4 ||
         (layout.riffSizeField == wave::kSizeInDs64 && layout.ds64 && layout.ds64->riffSize == 4);
}

}  // namespace

uint64_t SkeletonSize(WaveFileFormat layout) {
  return layout == WaveFileFormat::kBroadcast ? wave::kBroadcastDataOffset : kWaveHeaderSize;
}

uint64_t WorkingFileHeader::DataBytesPresent() const {
  const uint64_t block = format.BlockAlign();
  if (!valid || block == 0 || fileSize <= dataOffset) return 0;
  const uint64_t tail = fileSize - dataOffset;
  uint64_t bytes = recording ? tail : std::min(dataSize, tail);
  // A wave file's sizes stop at 4 GiB; a broadcast file goes on as RF64.
  if (layout == WaveFileFormat::kWave) bytes = std::min<uint64_t>(bytes, UINT32_MAX - 37);
  return bytes - bytes % block;
}

WorkingFileHeader ReadWorkingFileHeader(RiffFile& file) {
  WorkingFileHeader h;
  h.fileSize = file.FileSize();
  const wave::WaveLayout layout = wave::ReadWaveLayout(file, wave::FormBound::kFileEnd);
  const bool found = layout.Ok() || layout.fault == wave::LayoutFault::kEmptyData;
  if (!found || layout.formOffset != 0 || layout.fmt.size != 16 || layout.fmt.blockAlign == 0) return h;
  const bool reserve = layout.reserveOffset == wave::kReserveOffset;
  h.layout = reserve ? WaveFileFormat::kBroadcast : WaveFileFormat::kWave;
  if (layout.dataOffset != SkeletonSize(h.layout)) return h;
  h.recording = StillRecording(layout);
  h.dataOffset = layout.dataOffset;
  h.dataSize = layout.dataSize;
  h.format.Set(layout.fmt.sampleRate, layout.fmt.channels, layout.fmt.blockAlign / layout.fmt.channels);
  h.valid = h.format.BlockAlign() > 0;
  return h;
}

bool WriteSkeleton(RiffFile& file, WaveFileFormat layout, const SampleFormat& f, const std::string& label) {
  RiffChunk riff{platform::kRiffId, 0, wave::kWaveId}, fmt{wave::kFmtId, 16}, data{wave::kDataId, 0};
  unsigned char fields[16];
  PutLittle(fields, 1, 2);
  PutLittle(fields + 2, f.Channels, 2);
  PutLittle(fields + 4, f.SampleRate, 4);
  PutLittle(fields + 8, f.BlockAlign() * f.SampleRate, 4);
  PutLittle(fields + 12, f.BlockAlign(), 2);
  PutLittle(fields + 14, f.BitsPerSample, 2);
  wave::Bext bext;
  bext.originator = "Varnel";
  bext.description = std::string(wave::kChannelKey) + "=" + label + "\n";
  return file.Seek(0) && file.CreateChunk(riff, true) && file.WriteChunkSize(riff, 4) &&
         (layout == WaveFileFormat::kWave || wave::WriteBroadcastChunks(file, bext)) && file.CreateChunk(fmt, false) &&
         file.Write(fields, sizeof fields) == sizeof fields && file.CreateChunk(data, false);
}

bool WriteFinalSizes(RiffFile& file, const WorkingFileHeader& h, uint64_t bytes) {
  const uint64_t pad = bytes & 1u;
  const uint64_t form = h.dataOffset + bytes + pad - platform::kChunkHeaderSize;
  if (!file.Truncate(h.dataOffset + bytes)) return false;
  if (pad && !WriteLittle(file, h.dataOffset + bytes, 0, 1)) return false;
  const bool rf64 = h.layout == WaveFileFormat::kBroadcast && form > UINT32_MAX;
  if (h.layout == WaveFileFormat::kBroadcast) {
    // The reserve is written whole: a ds64 half made by the recorder is redone or undone.
    unsigned char reserve[wave::kDs64Size] = {};
    if (rf64) {
      PutLittle(reserve, form, 8);
      PutLittle(reserve + 8, bytes, 8);
      PutLittle(reserve + 16, bytes / h.format.BlockAlign(), 8);
    }
    if (!file.WriteAt(wave::kReserveOffset + platform::kChunkHeaderSize, reserve, sizeof reserve) ||
        !WriteId(file, wave::kReserveOffset, rf64 ? wave::kDs64Id : wave::kJunkId))
      return false;
  }
  return WriteLittle(file, h.dataOffset - 4, rf64 ? wave::kSizeInDs64 : bytes, 4) &&
         WriteLittle(file, 4, rf64 ? wave::kSizeInDs64 : form, 4) &&
         WriteId(file, 0, rf64 ? wave::kRf64Id : platform::kRiffId);
}

}  // namespace varnel
