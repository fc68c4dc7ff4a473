// The reading half of WaveIO: opening a file, its calibration, positioning.
// The chunks are found by wave/WaveLayout, which trusts nothing in a file.

#include "platform/FixedString.h"
#include "wave/CalibrationChunk.h"
#include "wave/ChunkIds.h"
#include "wave/WaveIO.h"
#include "wave/WaveLayout.h"

namespace varnel {
namespace {

using platform::RiffChunk;
using platform::RiffFile;

using wave::LayoutFault;

// Faults that a box tells; the others (a fmt chunk cut short, no samples) fail quietly.
bool FaultIsTold(LayoutFault fault) {
  return fault != LayoutFault::kFmtCutShort && fault != LayoutFault::kEmptyData;
}

}  // namespace

void WaveIO::CloseInvalid(bool showMessage) {
  if (showMessage) ShowMessage(WaveMessage::kInvalidWaveFile);
  file_.Close();
  Failed = 1;
}

int WaveIO::OpenWorkingFile() {
  file_.Close();
  if (!file_.Open(WorkingFileName, RiffFile::Mode::kReadWrite)) {
    ShowMessage(WaveMessage::kFileOpenFail);
    Failed = 1;
    return 0;
  }
  ReadCalibration();

  const wave::WaveLayout layout = wave::ReadWaveLayout(file_);
  if (!layout.Ok()) {
    CloseInvalid(FaultIsTold(layout.fault));
    return 0;
  }
  if (layout.dataOffset > UINT32_MAX) {
    CloseInvalid(true);
    return 0;
  }
  const wave::FmtFields& fmt = layout.fmt;
  Format.Set(fmt.sampleRate, fmt.channels, fmt.blockAlign / fmt.channels);
  riff_ = RiffChunk{layout.rf64 ? wave::kRf64Id : platform::kRiffId, layout.riffSizeField, wave::kWaveId,
                    layout.formOffset + platform::kChunkHeaderSize};
  data_ = RiffChunk{wave::kDataId, layout.dataSizeField, 0, layout.dataOffset};
  sizes_ = layout.reserveOffset ? wave::Rf64Header(riffSizeLimit_, *layout.reserveOffset, layout.ds64)
                                : wave::Rf64Header(riffSizeLimit_);
  // A size beyond the end of the file counts only what the file holds.
  dataBytes_ = layout.dataHeld;
  ByteSize = layout.dataHeld;
  DataOffset = static_cast<uint32_t>(layout.dataOffset);
  Length = Format.Frames(ByteSize);
  file_.Seek(DataOffset);
  return 1;
}

void WaveIO::ReadCalibration() {
  if (!file_.IsOpen()) return;
  HasCalibration = ReadStoredCalibration(file_, Calibration) ? 1 : 0;
  file_.Seek(0);
}

int WaveIO::OpenExisting(std::string_view path) {
  if (path.size() >= kPathSize) {
    ShowMessage(WaveMessage::kFileOpenFail);
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
