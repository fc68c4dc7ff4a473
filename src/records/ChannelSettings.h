#pragma once
// The recorder's configuration: sixteen channel records and one recorder
// record, plain data read and written in place by every part of the program.

#include <array>
#include <cstdint>

#include "ui/UiServices.h"

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
};

// Channel i as it is when the settings file says nothing about it.
ChannelSettings DefaultChannelSettings(int32_t index);
ChannelSettingsArray DefaultChannels();
// The recorder record of an absent settings file (the platform's default folders).
RecorderSettings DefaultRecorderSettings();

// The gain cycle 1 -> 2 -> 4 -> 8 -> 1; any other value stays as it is.
int32_t NextGain(int32_t gain);

// Flags count only when they hold exactly 1.
inline bool IsSet(int32_t flag) { return flag == 1; }

// 1 when no two enabled channels share a label (ASCII case ignored, and on
// Windows the file system's case rule); otherwise shows the error naming the
// first such label and returns 0.
int CheckUniqueLabels(const ChannelSettingsArray& channels, ui::UiServices& ui);

}  // namespace varnel
