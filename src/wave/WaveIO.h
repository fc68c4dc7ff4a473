#pragma once
// One wave file being written. Samples go into a working file with a unique
// reserved name ("wav...") in the destination folder; the data size in the file
// is brought up to date after every block, so a recording cut short by a crash
// or a full disk keeps every block that reached the file. Save and Close give
// the file its final name: a rename, or a copy over the final name when the
// rename fails. A final name is replaced only by a complete recording.
//
// Failures a user must hear of go to the WaveErrorSink given at construction.
// The object owns its open file and, until it is finalised, the working
// file (deleted by the destructor when DeleteWorkingFile is 1).
// Called on the main thread only; one object is never shared between threads.

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/RiffFile.h"
#include "wave/CalibrationRecord.h"
#include "wave/Rf64Header.h"
#include "wave/WaveBuffer.h"
#include "wave/WaveError.h"
#include "wave/WaveFileFormat.h"

namespace varnel {

// The largest RIFF size Append lets a file reach (36 + data size + pad byte).
// The field is 32-bit; tests lower the limit to reach it with small files.
// Each WaveIO takes the limit in force when it is constructed.
inline constexpr uint32_t kMaxRiffSize = UINT32_MAX;
uint32_t SetWaveRiffSizeLimit(uint32_t limit);  // returns the limit before
uint32_t WaveRiffSizeLimit();

class ScopedWaveRiffSizeLimit {
 public:
  explicit ScopedWaveRiffSizeLimit(uint32_t limit) : previous_(SetWaveRiffSizeLimit(limit)) {}
  ~ScopedWaveRiffSizeLimit() { SetWaveRiffSizeLimit(previous_); }
  ScopedWaveRiffSizeLimit(const ScopedWaveRiffSizeLimit&) = delete;
  ScopedWaveRiffSizeLimit& operator=(const ScopedWaveRiffSizeLimit&) = delete;

 private:
  uint32_t previous_;
};

class WaveIO final : public WaveBuffer {
 public:
  static constexpr uint32_t kHeaderSize = 44;
  static constexpr std::size_t kPathSize = 256;

  // CreateForRecording: makes the working file in folder (the system's folder
  // for temporary files when folder is empty) with the skeleton of an empty
  // recording in the chosen layout. Failed is 1 when that cannot be done (kFileOpenFail).
  WaveIO(const SampleFormat& format, std::string_view folder, const WaveFileChoice& choice = {},
         WaveErrorSink sink = {});
  static std::unique_ptr<WaveIO> CreateForRecording(const SampleFormat& format, std::string_view folder,
                                                    const WaveFileChoice& choice = {}, WaveErrorSink sink = {});
  // An object without a file, as after Close; OpenExisting gives it one.
  explicit WaveIO(WaveErrorSink sink = {});
  ~WaveIO();
  WaveIO(const WaveIO&) = delete;
  WaveIO& operator=(const WaveIO&) = delete;

  // Replaces the format used for frame arithmetic; the fmt chunk stays as written.
  void SetFormat(const SampleFormat& format);
  // The path the file gets when finalised; sets DeleteWorkingFile to 0. A path
  // that does not fit FinalFileName is refused (left empty): finalising then
  // fails and the recording stays in the working file.
  void SetFileName(std::string_view path);
  // Writes the bytes at the position and brings the data size up to date.
  // 0 without a file, for null or 0 bytes (Failed unchanged); 0 and Failed = 1
  // when the file system refuses, or when a wave file would outgrow the RIFF
  // size (a broadcast wave file becomes RF64 there and goes on).
  int Append(const void* samples, uint32_t byteCount);
  void SetCalibration(CalibrationRecord record);
  // A broadcast file's bext tells this start from now on (a wave file has
  // none: nothing to do). False when the file refuses.
  bool SetRecordingStart(const RecordingStart& start);
  // Finalises under FinalFileName and opens that file again at the position.
  int Save();
  // Finalises under FinalFileName and empties the object.
  int Close();

  // Opens WorkingFileName, reads its format, data chunk and calibration.
  int OpenWorkingFile();
  void ReadCalibration();
  void MoveToFrame(uint64_t frame) override;

  // Opens an existing file as the object's final file (working and final name
  // both the path, DeleteWorkingFile 0), positioned at frame 0 with the whole
  // data as its high-water mark.
  int OpenExisting(std::string_view path);
  bool IsOpen() const { return file_.IsOpen(); }

  // Why the latest append (or the creation of the working file) failed:
  // kDiskFull, kSizeLimit or kWriteError.
  WaveError FailureReason = WaveError::kNone;
  int32_t DeleteWorkingFile = 1;
  // 0: finalising never replaces a file already under the final name; it fails instead.
  int32_t ReplaceFinalFile = 1;
  int32_t HasCalibration = 0;
  char WorkingFolder[kPathSize] = {};
  char FinalFileName[kPathSize] = {};
  char WorkingFileName[kPathSize] = {};
  uint32_t DataOffset = kHeaderSize;
  CalibrationRecord Calibration = {};

 private:
  bool MakeSkeleton(const WaveFileChoice& choice);
  void NoteFileFailure();
  bool UpdateDataSize(uint64_t size);
  // Steps shared by Save and Close; *finished when the file already has its final name.
  int Finalise(bool* finished);
  bool WriteRiffSize();
  void AppendCalibrationChunk();
  bool RestoreVanishedWorkingFile();
  bool MoveToFinalName();
  void CloseInvalid(bool showMessage);
  void Report(WaveError error) const;

  WaveErrorSink sink_;
  platform::RiffFile file_;
  platform::RiffChunk riff_;
  platform::RiffChunk data_;
  uint64_t dataBytes_ = 0;  // bytes of the data chunk that reached the file
  uint32_t riffSizeLimit_;
  wave::Rf64Header sizes_;
  bool broadcast_ = false;
};

}  // namespace varnel
