#pragma once
// The calibration records of a Run: one per enabled channel, read afresh from
// the channel's .cal file each time. Records of other channels keep what they
// held.
//
// Called on the main thread only.

#include <array>

#include "calibration/CalibrationFile.h"
#include "records/ChannelSettings.h"
#include "wave/CalibrationRecord.h"

namespace varnel {

// True when every enabled channel's file was read. Stops at the first channel
// that fails, with its problem; later channels are not touched. A read record
// carries the channel's label, cut to 39 characters, in its Left half.
bool LoadChannelCalibrations(const ChannelSettingsArray& channels,
                             std::array<CalibrationRecord, kChannelCount>& records,
                             CalibrationProblem* problem = nullptr);

}  // namespace varnel
