#pragma once
// What varnel-info tells about one wave file: its layout, sample format,
// length, start time, calibration and levels in the channel's units. A file
// that is not a wave file, is cut short or whose sizes do not fit is refused
// with the reason, never half read.
//
// One thread at a time.

#include <cstdint>
#include <optional>
#include <string>

#include "calibration/ChannelScale.h"
#include "platform/RiffFile.h"
#include "wave/Bext.h"
#include "wave/CalibrationRecord.h"
#include "wave/WaveLayout.h"

namespace varnel::info {

enum class SampleCoding { kPcm, kFloat };

// The time of the first sample, as the file says it.
struct StartTime {
  std::optional<int64_t> utcMicroseconds;  // from this system's description line
  std::optional<int32_t> zoneOffsetSeconds;
  std::string local;  // "yyyy-mm-dd hh:mm:ss.ffffff", local time of the recording
  uint64_t timeReference = 0;
};

struct Levels {
  double peak = 0;  // largest magnitude, in the scale's units
  double rms = 0;
};

struct WaveInfo {
  std::string path;
  wave::WaveLayout layout;
  SampleCoding coding = SampleCoding::kPcm;
  uint32_t bytesPerSample = 2;
  uint64_t frames = 0;
  std::optional<wave::Bext> bext;
  std::optional<StartTime> start;
  std::optional<CalibrationRecord> calibration;  // as stored, when the file has one
  ChannelScale scale;                            // calibrated, or volts at the converter
  std::string scaleNote;                         // why the values are volts; empty when calibrated
  std::optional<int32_t> gain;                   // from a broadcast file's coding history
  Levels levels;

  uint32_t Channels() const { return layout.fmt.channels; }
  uint32_t Rate() const { return layout.fmt.sampleRate; }
  double Seconds() const { return Rate() ? static_cast<double>(frames) / Rate() : 0.0; }
  // "Wave", "Broadcast wave", "RF64", "Broadcast wave (RF64)".
  std::string FormatName() const;
};

// Opens and checks the file; the levels are left to MeasureLevels. Nothing,
// with the reason in `error`, for a file that is refused.
std::optional<WaveInfo> ReadWaveInfo(const std::string& path, platform::RiffFile& file, std::string& error);

// Reads every sample once for peak and rms; false when the file fails a read.
bool MeasureLevels(platform::RiffFile& file, WaveInfo& info, std::string& error);

}  // namespace varnel::info
