#pragma once
// The calibration chunks that follow the RIFF form of a wave file: the current
// one carries a CalibrationRecord as it is; the earlier 1020-byte one is only
// read, and converted.

#include <cstddef>
#include <cstdint>

#include "platform/RiffFile.h"
#include "wave/CalibrationRecord.h"

namespace varnel {

inline constexpr platform::FourCC kCalibrationChunkId = 0x66;         // bytes 66 00 00 00
inline constexpr platform::FourCC kEarlierCalibrationChunkId = 0x65;  // bytes 65 00 00 00
inline constexpr std::size_t kEarlierCalibrationSize = 1020;

// Fills the fields the earlier chunk holds, Left first, then copies the whole
// Left block over Right and writes the three fields that differ. Fields it
// does not hold stay as they were.
void ConvertEarlierCalibration(const unsigned char (&chunk)[kEarlierCalibrationSize], CalibrationRecord& record);

// An empty Left name reads back as "Left", an empty Right name as "Right".
void NameUnnamedChannels(CalibrationRecord& record);

// The calibration a file stores after its form: the current chunk's record
// taken whole, else the earlier chunk converted into `record`; unnamed
// channels named. False (and `record` as it was) when there is neither.
bool ReadStoredCalibration(platform::RiffFile& file, CalibrationRecord& record);

}  // namespace varnel
