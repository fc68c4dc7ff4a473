#pragma once
// The closing list of a run: every file written with its frames, every
// stretch a channel lost and every overrun, with their times.

#include <string>

#include "engine/RecordingFileSet.h"

namespace varnel {

// One line each, "\n"-terminated.
std::string FormatRunSummary(const RecordingFileSet& files);

}  // namespace varnel
