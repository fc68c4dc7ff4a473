// The reading half of WaveIO: opening a file, its calibration, positioning.
// Nothing in a file is trusted: every read is bounded by the file, every
// search by the enclosing form.

#include <algorithm>
#include <cstring>

#include "platform/FixedString.h"
#include "wave/CalibrationChunk.h"
#include "wave/ChunkIds.h"
#include "wave/WaveIO.h"

namespace varnel {
namespace {

using platform::RiffChunk;
using platform::RiffFile;

using wave::kDataId;
using wave::kFmtId;
using wave::kWaveId;
// Channels (bytes 2-3), rate (4-7) and block align (12-13) are all a reader uses.
constexpr uint32_t kShortestFmt = 14;

uint32_t GetU16(const unsigned char* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
uint32_t GetU32(const unsigned char* p) { return GetU16(p) | GetU16(p + 2) << 16; }

}  // namespace

void WaveIO::CloseInvalid(bool showMessage) {
  if (showMessage) Report(WaveError::kInvalidWaveFile);
  file_.Close();
  Failed = 1;
}

int WaveIO::OpenWorkingFile() {
  file_.Close();
  if (!file_.Open(WorkingFileName, RiffFile::Mode::kReadWrite)) {
    Report(WaveError::kFileOpenFail);
    Failed = 1;
    return 0;
  }
  ReadCalibration();

  RiffChunk riff{platform::kRiffId, 0, kWaveId};
  RiffChunk fmt{kFmtId};
  if (!file_.Descend(riff, nullptr, RiffFile::Find::kRiff) || !file_.Descend(fmt, &riff, RiffFile::Find::kChunk) ||
      fmt.size < kShortestFmt) {
    CloseInvalid(true);
    return 0;
  }
  const uint64_t fileSize = file_.FileSize();
  if (fmt.ContentEnd() > std::min(riff.ContentEnd(), fileSize)) {
    CloseInvalid(false);  // the chunk cannot be read whole
    return 0;
  }
  unsigned char fields[kShortestFmt];
  if (file_.Read(fields, sizeof fields) != sizeof fields) {
    CloseInvalid(false);
    return 0;
  }
  const uint32_t channels = GetU16(fields + 2);
  if (channels == 0) {
    CloseInvalid(true);
    return 0;
  }
  Format.Set(GetU32(fields + 4), channels, GetU16(fields + 12) / channels);
  file_.Ascend(fmt);

  RiffChunk data{kDataId};
  if (!file_.Descend(data, &riff, RiffFile::Find::kChunk) || data.dataOffset > UINT32_MAX) {
    CloseInvalid(true);
    return 0;
  }
  // A size beyond the end of the file counts only what the file holds.
  const uint64_t held = fileSize > data.dataOffset ? fileSize - data.dataOffset : 0;
  const uint64_t size = std::min<uint64_t>(data.size, held);
  if (size == 0) {
    CloseInvalid(false);
    return 0;
  }
  riff_ = riff;
  data_ = data;
  dataBytes_ = size;
  ByteSize = static_cast<uint32_t>(size);
  DataOffset = static_cast<uint32_t>(data.dataOffset);
  Length = Format.Frames(ByteSize);
  file_.Seek(DataOffset);
  return 1;
}

void WaveIO::ReadCalibration() {
  if (!file_.IsOpen()) return;
  HasCalibration = 0;

  // The record is taken whole or not at all: a short chunk leaves the held one alone.
  file_.Seek(0);
  RiffChunk chunk{kCalibrationChunkId};
  CalibrationRecord record;
  if (file_.Descend(chunk, nullptr, RiffFile::Find::kChunk) &&
      file_.Read(&record, sizeof record) == sizeof record && file_.Ascend(chunk)) {
    Calibration = record;
    HasCalibration = 1;
  }
  file_.Seek(0);

  if (HasCalibration != 1) {
    unsigned char earlier[kEarlierCalibrationSize] = {};
    RiffChunk old{kEarlierCalibrationChunkId};
    if (file_.Descend(old, nullptr, RiffFile::Find::kChunk) && file_.Read(earlier, sizeof earlier) == sizeof earlier &&
        file_.Ascend(old)) {
      ConvertEarlierCalibration(earlier, Calibration);
      HasCalibration = 1;
    }
    file_.Seek(0);
  }

  if (HasCalibration == 1) NameUnnamedChannels(Calibration);
}

int WaveIO::OpenExisting(std::string_view path) {
  if (path.size() >= kPathSize) {
    Report(WaveError::kFileOpenFail);
    Failed = 1;
    return 0;
  }
  CopyCut(WorkingFileName, path);
  CopyCut(FinalFileName, path);
  DeleteWorkingFile = 0;
  if (OpenWorkingFile() == 0) return 0;
  Position = 0;
  HighWaterMark = Length;
  return 1;
}

}  // namespace varnel
