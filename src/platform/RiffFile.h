#pragma once
// A RIFF file: chunks are created, found (descend), left (ascend), and their
// sizes rewritten in place. Reads go through a small buffer; writes go straight
// to the system, so a size written afterwards never counts bytes that are still
// in memory, and a killed process leaves a file whose sizes tell the truth.
//
// Offsets are 64-bit; what fits a 32-bit size field is the caller's business.
// One object is used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/OsFile.h"

namespace varnel::platform {

using FourCC = uint32_t;

// The four bytes in reading order, as they are stored.
constexpr FourCC MakeFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24;
}

inline constexpr FourCC kRiffId = MakeFourCC('R', 'I', 'F', 'F');
inline constexpr uint32_t kChunkHeaderSize = 8;

struct RiffChunk {
  FourCC id = 0;
  uint32_t size = 0;       // as last read from or written to the size field
  FourCC formType = 0;     // forms only
  uint64_t dataOffset = 0;  // first byte after the size field (for a form: its form type)
  bool dirty = false;       // made by CreateChunk: Ascend brings its size up to date

  uint64_t SizeFieldOffset() const { return dataOffset - 4; }
  uint64_t ContentEnd() const { return dataOffset + size; }
  uint64_t End() const { return ContentEnd() + (size & 1u); }  // past the pad byte
};

class RiffFile {
 public:
  enum class Mode {
    kReadWrite,  // an existing file
    kCreate,     // created, or truncated when it exists
    kRead,       // an existing regular file, never written
  };
  enum class Find {
    kChunk,  // a chunk with the given id
    kRiff,   // a "RIFF" form with the given form type
  };

  RiffFile();
  ~RiffFile();
  RiffFile(const RiffFile&) = delete;
  RiffFile& operator=(const RiffFile&) = delete;

  bool Open(const std::string& path, Mode mode);
  // False when the system reports a failure; the file is closed either way.
  bool Close();
  bool IsOpen() const { return file_.IsOpen(); }
  // Why the latest open or write failed; kNone when none did.
  FileError LastError() const { return file_.LastError(); }

  uint64_t Tell() const { return position_; }
  bool Seek(uint64_t position);
  uint64_t FileSize() const;  // 0 when not open or unknown

  // Bytes read: fewer than asked at the end of the file or on an error.
  std::size_t Read(void* data, std::size_t count);
  // Bytes that reached the file: fewer than asked when the system refuses the rest.
  std::size_t Write(const void* data, std::size_t count);
  // Writes at an offset and leaves the position where it was.
  bool WriteAt(uint64_t offset, const void* data, std::size_t count);
  bool Truncate(uint64_t size);

  // Writes the header of chunk.id with chunk.size (and chunk.formType for a
  // form) at the position; afterwards the position is the start of the content.
  bool CreateChunk(RiffChunk& chunk, bool form);
  // Looks, from the position, for chunk.id (or a RIFF form of chunk.formType)
  // among the chunks up to the end of parent's content, or of the file when
  // parent is null. Never looks beyond either. On success the position is the
  // start of the content (past the form type for a form).
  bool Descend(RiffChunk& chunk, const RiffChunk* parent, Find find);
  // Leaves a chunk: a dirty chunk gets its size (position - dataOffset) and a
  // pad byte when odd; then the position is the end of the chunk.
  bool Ascend(RiffChunk& chunk);
  // Rewrites the size field when it differs from the size last written there.
  bool WriteChunkSize(RiffChunk& chunk, uint32_t size);

 private:
  std::size_t ReadAt(uint64_t offset, void* data, std::size_t count);

  static constexpr std::size_t kBufferSize = 8192;
  OsFile file_;
  uint64_t position_ = 0;
  std::unique_ptr<unsigned char[]> buffer_;
  uint64_t bufferStart_ = 0;
  std::size_t bufferLength_ = 0;
};

}  // namespace varnel::platform
