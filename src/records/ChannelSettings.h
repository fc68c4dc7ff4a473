#pragma once
// The recorder's configuration: sixteen channel records and one recorder
// record, plain data read and written in place by every part of the program.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "records/LabelRules.h"
#include "records/LevelTrigger.h"

namespace varnel {

inline constexpr int32_t kChannelCount = 16;

struct ChannelSettings {
  int32_t bIsEnabled = 1;
  int32_t ChannelIndex = 0;
  int32_t Gain = 1;
  int32_t bIsRecording = 0;
  int32_t bIsMonitoringLeft = 0;
  int32_t bIsMonitoringRight = 0;
  int32_t Level = 0;
  char szLabel[256] = {};
  char szCalFilename[260] = {};
};

using ChannelSettingsArray = std::array<ChannelSettings, kChannelCount>;

struct RecorderSettings {
  char Caption[256] = "OV5 Tessaline";
  int32_t SamplingRate = 22050;
  int32_t FftSize = 16384;
  int32_t DeviceIndex = 0;
  int32_t MaxChannels = 16;
  int32_t NumGains = 4;
  int32_t MaxSamplingRate = 500000;
  int32_t bSimultaneousSampling = 0;
  int32_t bStoreCalibrationDataInWavefile = 1;
  int32_t bAppendTimeStamp = 0;
  int32_t bOverwriteWaveFiles = 0;
  char szWavePath[260] = {};
  char szCalPath[260] = {};
  int32_t TriggerEnable = 0;
  float PostTriggerRunTime = 1.0f;
  // The name of the device DeviceIndex stood for when it was chosen: a list
  // that changed since is noticed before a run (empty: nothing known).
  char szDeviceName[80] = {};
  // The layout of the recorded files: kFileFormatWave keeps the layout other
  // programs know; kFileFormatBroadcast carries the start time and grows
  // past 4 GiB as one file.
  int32_t FileFormat = 0;
  // The level trigger (not with TriggerEnable): a run keeps the last
  // PreTriggerSeconds of every recorded channel while it waits for channel
  // LevelTriggerChannel to cross LevelTrigger on LevelTriggerSlope, after it
  // was beyond the hysteresis band (in % of full scale) on the other side;
  // each event's files hold the history and PostTriggerRunTime from the
  // trigger sample on. TriggerEvents 0: every event until stopped.
  int32_t LevelTriggerEnable = 0;
  int32_t LevelTriggerChannel = 0;
  TriggerLevel LevelTrigger{};
  TriggerSlope LevelTriggerSlope = TriggerSlope::kRising;
  double LevelTriggerHysteresis = 1.0;
  double PreTriggerSeconds = 0.0;
  int32_t TriggerEvents = 1;
  // Every run's files are split into consecutive ones at whole multiples of
  // this many seconds of the local clock (3600: at hh:00:00); 0: not split.
  int32_t SplitEverySeconds = 0;
  // A run that waits for the clock (StartAt), and one that ends by itself
  // after StopAfterSeconds or at StopAt. The times are kept as the user wrote
  // them (ParseClockTime reads them); empty or 0: off.
  char StartAt[32] = {};
  int32_t StopAfterSeconds = 0;
  char StopAt[32] = {};
};

inline constexpr int32_t kFileFormatWave = 0;
inline constexpr int32_t kFileFormatBroadcast = 1;

// Channel i as it is when the settings file says nothing about it.
ChannelSettings DefaultChannelSettings(int32_t index);
ChannelSettingsArray DefaultChannels();
// The recorder record of an absent settings file (the platform's default folders).
RecorderSettings DefaultRecorderSettings();

// The gain cycle 1 -> 2 -> 4 -> 8 -> 1; any other value stays as it is.
int32_t NextGain(int32_t gain);

// Flags count only when they hold exactly 1.
inline bool IsSet(int32_t flag) {
  return flag == 1;
}

// The first enabled channel whose label is wrong, and why.
struct LabelProblem {
  LabelFault fault = LabelFault::kNone;
  int32_t channel = -1;
  std::string label;
  std::string Text() const { return LabelFaultText(fault, label); }
  explicit operator bool() const { return fault != LabelFault::kNone; }
};

// kNotUnique for the first enabled channel whose label another enabled channel
// shares (LabelsCollide).
LabelProblem CheckUniqueLabels(const ChannelSettingsArray& channels);
// The first enabled channel whose label cannot name its wave file in
// `waveFolder` (CheckLabelFileName).
LabelProblem CheckLabelsAreFileNames(const ChannelSettingsArray& channels, std::string_view waveFolder);

}  // namespace varnel
