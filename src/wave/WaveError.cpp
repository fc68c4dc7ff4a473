#include "wave/WaveError.h"

namespace varnel {

std::string_view WaveErrorText(WaveError error) {
  switch (error) {
    case WaveError::kNone:
      return {};
    case WaveError::kFileOpenFail:
      return "FILE_OPEN_FAIL";
    case WaveError::kInvalidWaveFile:
      return "INVALID_WAVE_FILE";
    case WaveError::kFailureWritingWaveFile:
    case WaveError::kFailureClosingWaveFile:
      return "FAILURE_WRITING_WAVE_FILE";
    case WaveError::kFailureDeletingTempFile:
      return "FAILURE_DELETING_TEMP_FILE";
    case WaveError::kDiskFull:
      return "the disk is full";
    case WaveError::kSizeLimit:
      return "the wave file reached the 4 GiB size limit";
    case WaveError::kWriteError:
      break;
  }
  return "the wave file could not be written";
}

}  // namespace varnel
