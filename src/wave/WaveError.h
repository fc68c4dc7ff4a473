#pragma once
// Why a wave file operation failed, each reason with the text the program
// shows for it. The wave layer never talks to the user: the failures a user
// must hear of go to the owner's WaveErrorSink, which decides how to say them.

#include <functional>
#include <string_view>

namespace varnel {

enum class WaveError {
  kNone,
  // Told as they happen, through the sink.
  kFileOpenFail,             // the working file cannot be made, or a file cannot be opened
  kInvalidWaveFile,          // an opened file is no wave file this program reads
  kFailureWritingWaveFile,   // a finished file cannot be closed or given its final name
  kFailureClosingWaveFile,   // an object went away with a file that did not close cleanly
  kFailureDeletingTempFile,  // a discarded working file cannot be deleted
  // Why appends fail, kept in FailureReason; the run report names them.
  kDiskFull,
  kSizeLimit,
  kWriteError,
};

// "FILE_OPEN_FAIL", ..., "the disk is full", ...; empty for kNone.
std::string_view WaveErrorText(WaveError error);

// Hears of every failure a user must be told of, on the thread that uses the
// WaveIO. An empty sink hears nothing.
using WaveErrorSink = std::function<void(WaveError)>;

}  // namespace varnel
