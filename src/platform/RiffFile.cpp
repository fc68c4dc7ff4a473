#include "platform/RiffFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace varnel::platform {
namespace {

const uint64_t kMaxOffset = OsFile::kMaxOffset;

void PutU32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

uint32_t GetU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

RiffFile::RiffFile() = default;

RiffFile::~RiffFile() { Close(); }

bool RiffFile::Open(const std::string& path, Mode mode) {
  Close();
  position_ = 0;
  bufferLength_ = 0;
  const bool opened = mode == Mode::kRead ? file_.OpenForReading(path) : file_.Open(path, mode == Mode::kCreate);
  if (!opened) return false;
  // Truncating an empty file is not harmless: ext4 then flushes the whole file
  // when it is closed, which turns finalising a recording into a wait for the disk.
  if (mode == Mode::kCreate && FileSize() > 0 && !Truncate(0)) {
    Close();
    return false;
  }
  return true;
}

bool RiffFile::Close() {
  bufferLength_ = 0;
  return file_.Close();
}

bool RiffFile::Seek(uint64_t position) {
  if (!IsOpen() || position > kMaxOffset) return false;
  position_ = position;
  return true;
}

uint64_t RiffFile::FileSize() const { return file_.Size(); }

std::size_t RiffFile::ReadAt(uint64_t offset, void* data, std::size_t count) {
  return file_.ReadAt(offset, data, count);
}

std::size_t RiffFile::Read(void* data, std::size_t count) {
  if (!IsOpen() || position_ > kMaxOffset - count) return 0;
  auto* out = static_cast<unsigned char*>(data);
  std::size_t done = 0;
  while (done < count) {
    if (position_ >= bufferStart_ && position_ < bufferStart_ + bufferLength_) {
      std::size_t at = static_cast<std::size_t>(position_ - bufferStart_);
      std::size_t n = std::min(count - done, bufferLength_ - at);
      std::memcpy(out + done, buffer_.get() + at, n);
      done += n;
      position_ += n;
      continue;
    }
    if (count - done >= kBufferSize) {
      std::size_t n = ReadAt(position_, out + done, count - done);
      done += n;
      position_ += n;
      break;
    }
    // Made on the first read only: a file that is just written holds no buffer.
    if (!buffer_) buffer_.reset(new unsigned char[kBufferSize]);
    bufferStart_ = position_;
    bufferLength_ = ReadAt(position_, buffer_.get(), kBufferSize);
    if (bufferLength_ == 0) break;
  }
  return done;
}

std::size_t RiffFile::Write(const void* data, std::size_t count) {
  if (!IsOpen() || position_ > kMaxOffset - count) return 0;
  bufferLength_ = 0;
  const std::size_t done = file_.WriteAt(position_, data, count);
  position_ += done;
  return done;
}

bool RiffFile::WriteAt(uint64_t offset, const void* data, std::size_t count) {
  uint64_t saved = position_;
  if (!Seek(offset)) return false;
  bool ok = Write(data, count) == count;
  position_ = saved;
  return ok;
}

bool RiffFile::Truncate(uint64_t size) {
  bufferLength_ = 0;
  return file_.Truncate(size);
}

bool RiffFile::CreateChunk(RiffChunk& chunk, bool form) {
  unsigned char header[12];
  PutU32(header, chunk.id);
  PutU32(header + 4, chunk.size);
  PutU32(header + 8, chunk.formType);
  std::size_t length = form ? 12 : 8;
  uint64_t start = position_;
  if (Write(header, length) != length) return false;
  chunk.dataOffset = start + kChunkHeaderSize;
  chunk.dirty = true;
  return true;
}

bool RiffFile::Descend(RiffChunk& chunk, const RiffChunk* parent, Find find) {
  if (!IsOpen()) return false;
  uint64_t end = FileSize();
  if (parent) end = std::min(end, parent->ContentEnd());
  const FourCC wantedId = find == Find::kRiff ? kRiffId : chunk.id;
  uint64_t at = position_;
  while (at <= end && end - at >= kChunkHeaderSize) {
    unsigned char header[12];
    position_ = at;
    if (Read(header, kChunkHeaderSize) != kChunkHeaderSize) return false;
    const FourCC id = GetU32(header);
    const uint32_t size = GetU32(header + 4);
    if (id == wantedId) {
      if (find == Find::kChunk) {
        chunk.size = size;
        chunk.dataOffset = at + kChunkHeaderSize;
        chunk.dirty = false;
        return true;
      }
      if (end - at >= 12 && Read(header + 8, 4) == 4 && GetU32(header + 8) == chunk.formType) {
        chunk.id = id;
        chunk.size = size;
        chunk.dataOffset = at + kChunkHeaderSize;
        chunk.dirty = false;
        return true;
      }
    }
    at += kChunkHeaderSize + static_cast<uint64_t>(size) + (size & 1u);
  }
  position_ = at;
  return false;
}

bool RiffFile::Ascend(RiffChunk& chunk) {
  if (!IsOpen()) return false;
  if (chunk.dirty) {
    if (position_ < chunk.dataOffset || position_ - chunk.dataOffset > std::numeric_limits<uint32_t>::max())
      return false;
    const auto size = static_cast<uint32_t>(position_ - chunk.dataOffset);
    if (!WriteChunkSize(chunk, size)) return false;
    if (size & 1u) {
      const unsigned char pad = 0;
      if (!WriteAt(chunk.ContentEnd(), &pad, 1)) return false;
    }
  }
  return Seek(chunk.End());
}

bool RiffFile::WriteChunkSize(RiffChunk& chunk, uint32_t size) {
  if (chunk.size == size) return true;  // the field holds it already
  unsigned char field[4];
  PutU32(field, size);
  if (!WriteAt(chunk.SizeFieldOffset(), field, 4)) return false;
  chunk.size = size;
  return true;
}

}  // namespace varnel::platform
