#include "wave/Rf64Header.h"

#include "platform/LittleEndian.h"

namespace varnel::wave {
namespace {

using platform::PutLittle;
using platform::RiffChunk;
using platform::RiffFile;

bool WriteId(RiffFile& file, uint64_t offset, platform::FourCC id) {
  unsigned char bytes[4];
  PutLittle(bytes, id, 4);
  return file.WriteAt(offset, bytes, 4);
}

}  // namespace

Rf64Header::Rf64Header(uint64_t limit, uint64_t reserveOffset, std::optional<Ds64> upgraded)
    : limit_(limit), reserve_(reserveOffset), ds64_(upgraded) {}

bool Rf64Header::WriteReserve(RiffFile& file) {
  const unsigned char zero[kDs64Size] = {};
  RiffChunk junk{kJunkId, kDs64Size};
  return file.CreateChunk(junk, false) && file.Write(zero, sizeof zero) == sizeof zero;
}

bool Rf64Header::Fits(uint64_t riffSize) const {
  return CanGrow() || riffSize <= limit_;
}

uint64_t Rf64Header::DataEnd(const RiffChunk& data) const {
  if (!IsRf64()) return data.End();
  return data.dataOffset + ds64_->dataSize + (ds64_->dataSize & 1u);
}

bool Rf64Header::WriteDs64(RiffFile& file) {
  unsigned char content[kDs64Size];
  PutLittle(content, ds64_->riffSize, 8);
  PutLittle(content + 8, ds64_->dataSize, 8);
  PutLittle(content + 16, ds64_->sampleCount, 8);
  PutLittle(content + 24, ds64_->tableLength, 4);
  return file.WriteAt(*reserve_ + platform::kChunkHeaderSize, content, sizeof content);
}

bool Rf64Header::Upgrade(RiffFile& file, RiffChunk& riff, RiffChunk& data, uint64_t bytes, uint64_t frames) {
  ds64_ = Ds64{riff.size, bytes, frames, 0};
  // The values first, then the id that makes them count, then the fields
  // that send a reader to them: a file cut off between two steps still says
  // where its data is.
  if (!WriteDs64(file) || !WriteId(file, *reserve_, kDs64Id)) {
    ds64_.reset();
    return false;
  }
  return file.WriteChunkSize(data, kSizeInDs64) && file.WriteChunkSize(riff, kSizeInDs64) &&
         WriteId(file, riff.dataOffset - platform::kChunkHeaderSize, kRf64Id);
}

bool Rf64Header::WriteDataSize(RiffFile& file, RiffChunk& riff, RiffChunk& data, uint64_t bytes, uint64_t frames) {
  if (!IsRf64()) {
    const uint64_t form = data.dataOffset + bytes + (bytes & 1u) - riff.dataOffset;
    if (CanGrow() && form > limit_) return Upgrade(file, riff, data, bytes, frames);
    return bytes <= UINT32_MAX && file.WriteChunkSize(data, static_cast<uint32_t>(bytes));
  }
  if (ds64_->dataSize == bytes && ds64_->sampleCount == frames) return true;
  // Data size and sample count lie side by side: one write.
  unsigned char fields[16];
  PutLittle(fields, bytes, 8);
  PutLittle(fields + 8, frames, 8);
  if (!file.WriteAt(*reserve_ + platform::kChunkHeaderSize + 8, fields, sizeof fields)) return false;
  ds64_->dataSize = bytes;
  ds64_->sampleCount = frames;
  return true;
}

bool Rf64Header::WriteRiffSize(RiffFile& file, RiffChunk& riff, uint64_t size) {
  if (!IsRf64()) return size <= UINT32_MAX && file.WriteChunkSize(riff, static_cast<uint32_t>(size));
  ds64_->riffSize = size;
  return WriteDs64(file);
}

}  // namespace varnel::wave
