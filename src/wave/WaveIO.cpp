#include "wave/WaveIO.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSync.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "wave/BroadcastWave.h"
#include "wave/CalibrationChunk.h"
#include "wave/ChunkIds.h"

namespace varnel {
namespace {

using platform::RiffChunk;
using platform::RiffFile;

using wave::kDataId;
using wave::kFmtId;
using wave::kWaveId;

std::atomic<uint32_t> gRiffSizeLimit{kMaxRiffSize};

void PutU16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

void PutU32(unsigned char* p, uint32_t v) {
  PutU16(p, v);
  PutU16(p + 2, v >> 16);
}

std::string TemporaryFolder() {
  std::error_code ec;
  std::string folder = std::filesystem::temp_directory_path(ec).string();
  return ec ? std::string("/tmp") : folder;
}

// File names are case-sensitive here, so "the same file" means the same bytes.
bool SamePath(const char (&a)[WaveIO::kPathSize], const char (&b)[WaveIO::kPathSize]) {
  return std::strncmp(a, b, WaveIO::kPathSize) == 0;
}

}  // namespace

uint32_t SetWaveRiffSizeLimit(uint32_t limit) {
  return gRiffSizeLimit.exchange(limit);
}
uint32_t WaveRiffSizeLimit() {
  return gRiffSizeLimit.load();
}

WaveIO::WaveIO(WaveErrorSink sink) : sink_(std::move(sink)), riffSizeLimit_(WaveRiffSizeLimit()) {
  DeleteWorkingFile = 0;
}

WaveIO::WaveIO(const SampleFormat& format, std::string_view folder, const WaveFileChoice& choice, WaveErrorSink sink)
    : sink_(std::move(sink)), riffSizeLimit_(WaveRiffSizeLimit()) {
  Format = format;
  std::string where = folder.empty() ? TemporaryFolder() : std::string(folder);
  while (where.size() > 1 && where.back() == platform::kPathSeparator) where.pop_back();
  // A path cut to fit would name another place: what does not fit is not used.
  if (where.size() < kPathSize) {
    CopyCut(WorkingFolder, where);
    std::string name = platform::ReserveUniqueFileName(where, "wav");
    if (name.size() < kPathSize) {
      CopyCut(WorkingFileName, name);
    } else {
      platform::DeleteFile(name);
    }
  }
  if (!MakeSkeleton(choice)) Failed = 1;
}

std::unique_ptr<WaveIO> WaveIO::CreateForRecording(const SampleFormat& format, std::string_view folder,
                                                   const WaveFileChoice& choice, WaveErrorSink sink) {
  return std::make_unique<WaveIO>(format, folder, choice, std::move(sink));
}

WaveIO::~WaveIO() {
  if (!file_.IsOpen()) return;
  if (!file_.Close()) {
    Report(WaveError::kFailureClosingWaveFile);
  } else if (DeleteWorkingFile == 1 && !platform::DeleteFile(WorkingFileName)) {
    Report(WaveError::kFailureDeletingTempFile);
  }
}

void WaveIO::NoteFileFailure() {
  FailureReason = file_.LastError() == platform::FileError::kDiskFull ? WaveError::kDiskFull : WaveError::kWriteError;
}

bool WaveIO::MakeSkeleton(const WaveFileChoice& choice) {
  if (WorkingFileName[0] == '\0' || !file_.Open(WorkingFileName, RiffFile::Mode::kCreate)) {
    NoteFileFailure();
    Report(WaveError::kFileOpenFail);
    if (WorkingFileName[0] != '\0') platform::DeleteFile(WorkingFileName);
    return false;
  }
  riff_ = RiffChunk{platform::kRiffId, 0, kWaveId};
  RiffChunk fmt{kFmtId, 16};
  data_ = RiffChunk{kDataId, 0};

  const uint32_t blockAlign = Format.BlockAlign();
  unsigned char fields[16];
  PutU16(fields, 1);
  PutU16(fields + 2, Format.Channels);
  PutU32(fields + 4, Format.SampleRate);
  PutU32(fields + 8, blockAlign * Format.SampleRate);
  PutU16(fields + 12, blockAlign);
  PutU16(fields + 14, Format.BitsPerSample);

  const bool broadcast = choice.format == WaveFileFormat::kBroadcast;
  broadcast_ = broadcast;
  sizes_ = broadcast ? wave::Rf64Header(riffSizeLimit_, wave::kReserveOffset, std::nullopt)
                     : wave::Rf64Header(riffSizeLimit_);
  // Until the file is finalised the form counts only its type.
  bool ok = file_.CreateChunk(riff_, true) && file_.WriteChunkSize(riff_, 4) &&
            (!broadcast || wave::WriteBroadcastChunks(file_, wave::BextForRecording(choice.start, Format))) &&
            file_.CreateChunk(fmt, false) && file_.Write(fields, sizeof fields) == sizeof fields && file_.Ascend(fmt) &&
            file_.CreateChunk(data_, false);
  if (!ok) {
    NoteFileFailure();
    // The skeleton holds no samples: nothing is lost by removing it.
    file_.Close();
    platform::DeleteFile(WorkingFileName);
    return false;
  }
  DataOffset = static_cast<uint32_t>(file_.Tell());
  dataBytes_ = 0;
  Length = ByteSize = Position = 0;
  return true;
}

void WaveIO::SetFormat(const SampleFormat& format) {
  Format = format;
}

void WaveIO::SetFileName(std::string_view path) {
  if (path.size() < kPathSize) {
    CopyCut(FinalFileName, path);
  } else {
    CopyCut(FinalFileName, "");
  }
  DeleteWorkingFile = 0;
}

void WaveIO::SetCalibration(CalibrationRecord record) {
  Calibration = record;
  HasCalibration = 1;
}

bool WaveIO::SetRecordingStart(const RecordingStart& start) {
  if (!broadcast_ || !file_.IsOpen()) return true;
  if (wave::RewriteBext(file_, wave::BextForRecording(start, Format))) return true;
  NoteFileFailure();
  return false;
}

bool WaveIO::UpdateDataSize(uint64_t size) {
  if (!sizes_.WriteDataSize(file_, riff_, data_, size, Format.Frames(size))) return false;
  if (size & 1u) {
    const unsigned char pad = 0;
    return file_.WriteAt(data_.dataOffset + size, &pad, 1);
  }
  return true;
}

int WaveIO::Append(const void* samples, uint32_t byteCount) {
  if (!file_.IsOpen() || samples == nullptr || byteCount == 0) return 0;
  const uint64_t start = std::max<uint64_t>(file_.Tell(), data_.dataOffset);
  const uint64_t before = dataBytes_;
  const uint64_t after = std::max(before, start + byteCount - data_.dataOffset);
  const uint64_t riffSize = data_.dataOffset + after + (after & 1u) - riff_.dataOffset;
  if (!sizes_.Fits(riffSize)) {
    FailureReason = WaveError::kSizeLimit;
    Failed = 1;
    return 0;
  }
  file_.Seek(start);
  const std::size_t written = file_.Write(samples, byteCount);
  if (written != byteCount) {
    // Give back what a refused block left behind; the size then describes the
    // blocks before it, which are whole. Should that fail, it counts what is there.
    const uint64_t keep = std::max(start, data_.dataOffset + before);
    if (file_.Tell() > keep && file_.Truncate(keep)) file_.Seek(keep);
    dataBytes_ = std::max(before, file_.Tell() - data_.dataOffset);
    UpdateDataSize(dataBytes_);
    NoteFileFailure();
    Failed = 1;
    return 0;
  }
  dataBytes_ = after;
  // The pad byte of an odd size lies past the end of the data; the next block overwrites it.
  if (!UpdateDataSize(dataBytes_)) {
    NoteFileFailure();
    Failed = 1;
    return 0;
  }
  Position += Format.Frames(byteCount);
  if (Position > Length) {
    Length = Position;
    ByteSize = Format.Bytes(Length);
  }
  HighWaterMark = std::max(HighWaterMark, Position);
  return 1;
}

bool WaveIO::WriteRiffSize() {
  // The form ends with the data chunk: whatever lies beyond it (a part frame,
  // a block the disk refused) goes, so a calibration chunk follows it directly.
  const uint64_t end = sizes_.DataEnd(data_);
  if (!sizes_.RiffSizeFits(end - riff_.dataOffset)) return false;
  if (file_.FileSize() > end && !file_.Truncate(end)) return false;
  return sizes_.WriteRiffSize(file_, riff_, end - riff_.dataOffset);
}

void WaveIO::AppendCalibrationChunk() {
  if (HasCalibration != 1) return;
  RiffFile file;
  if (!file.Open(WorkingFileName, RiffFile::Mode::kReadWrite)) return;
  const uint64_t end = file.FileSize();
  RiffChunk chunk{kCalibrationChunkId, sizeof(CalibrationRecord)};
  bool ok = file.Seek(end) && file.CreateChunk(chunk, false) &&
            file.Write(&Calibration, sizeof Calibration) == sizeof Calibration;
  // A torn chunk would make the file end in garbage; without it the wave is whole.
  if (!ok) file.Truncate(end);
  file.Close();
}

// A folder removed during the run takes the working file's name with it;
// its samples live on only behind the open handle. They are written out again
// under the same name, in the folder made anew, so the file can be saved.
bool WaveIO::RestoreVanishedWorkingFile() {
  const std::string path(FieldText(WorkingFileName));
  if (platform::FileExists(path)) return true;
  platform::CreateFolders(std::string(platform::FolderOf(path)));
  platform::RiffFile copy;
  if (!copy.Open(path, platform::RiffFile::Mode::kCreate)) return false;
  const uint64_t size = file_.FileSize();
  std::vector<char> block(1 << 16);
  bool ok = file_.Seek(0);
  for (uint64_t done = 0; ok && done < size;) {
    const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(block.size(), size - done));
    ok = file_.Read(block.data(), n) == n && copy.Write(block.data(), n) == n;
    done += n;
  }
  ok = copy.Close() && ok;
  file_.Close();
  return ok && file_.Open(path, platform::RiffFile::Mode::kReadWrite);
}

bool WaveIO::MoveToFinalName() {
  if (FinalFileName[0] == '\0') return false;
  // The system's rename replaces an existing final file in one step, so that
  // file is never without a complete recording; the copy serves when the
  // rename cannot be done (another file system).
  const bool replace = ReplaceFinalFile != 0;
  if (platform::RenameFile(WorkingFileName, FinalFileName, replace)) return true;
  if (!replace && platform::FileExists(FinalFileName)) return false;
  if (!platform::CopyFileReplacing(WorkingFileName, FinalFileName)) return false;
  platform::DeleteFile(WorkingFileName);
  return true;
}

int WaveIO::Finalise(bool* finished) {
  *finished = true;
  if (!file_.IsOpen()) return 1;
  MoveToFrame(HighWaterMark);
  dataBytes_ = std::min(Format.Bytes(HighWaterMark), dataBytes_);
  UpdateDataSize(dataBytes_);
  if (SamePath(WorkingFileName, FinalFileName)) return 1;
  *finished = false;
  if (!RestoreVanishedWorkingFile()) {
    file_.Close();
    Report(WaveError::kFailureWritingWaveFile);
    return 0;
  }
  if (!WriteRiffSize()) {
    file_.Close();
    Failed = 1;
    return 0;
  }
  if (!file_.Close()) {
    Report(WaveError::kFailureWritingWaveFile);
    return 0;
  }
  AppendCalibrationChunk();
  // The data is on the disk before the name says the file is complete, and
  // the name is on the disk before the run counts as saved.
  platform::SyncFile(WorkingFileName);
  if (!MoveToFinalName()) {
    Report(WaveError::kFailureWritingWaveFile);
    return 0;
  }
  platform::SyncFolder(std::string(platform::FolderOf(FieldText(FinalFileName))));
  return 1;
}

int WaveIO::Save() {
  bool finished = false;
  const uint64_t position = HighWaterMark;
  if (Finalise(&finished) == 0) return 0;
  if (finished) return 1;
  std::memcpy(WorkingFileName, FinalFileName, kPathSize);
  OpenWorkingFile();
  SetPosition(position);
  return 1;
}

int WaveIO::Close() {
  bool finished = false;
  if (Finalise(&finished) == 0) return 0;
  if (finished) return 1;
  CopyCut(FinalFileName, "");
  CopyCut(WorkingFileName, "");
  CopyCut(WorkingFolder, "");
  HasCalibration = 0;
  Calibration = CalibrationRecord{};
  DeleteWorkingFile = 0;
  DataOffset = kHeaderSize;
  ByteSize = Length = Position = 0;
  dataBytes_ = 0;
  return 1;
}

void WaveIO::MoveToFrame(uint64_t frame) {
  if (!file_.IsOpen()) return;
  if (!file_.Seek(DataOffset + Format.Bytes(frame))) Failed = 1;
  Position = frame;
}

void WaveIO::Report(WaveError error) const {
  if (sink_) sink_(error);
}

}  // namespace varnel
