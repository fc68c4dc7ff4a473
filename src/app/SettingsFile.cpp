#include "app/SettingsFile.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/FixedString.h"
#include "platform/Profile.h"

namespace varnel {
namespace {

using platform::ReadProfileInt;
using platform::ReadProfileString;
using platform::WriteProfileString;

constexpr const char* kMain = "Main";

std::string SectionOf(std::size_t channel) { return "Channel_" + std::to_string(channel); }

template <std::size_t N>
void ReadField(const std::string& path, const std::string& section, const char* key, std::string_view def,
               char (&field)[N]) {
  CopyCut(field, ReadProfileString(path, section, key, def, N));
}

void WriteInt(const std::string& path, const std::string& section, const char* key, int32_t value) {
  WriteProfileString(path, section, key, std::to_string(value));
}

}  // namespace

float ParsePostTriggerRunTime(const std::string& text) {
  double value = std::strtod(text.c_str(), nullptr);
  // A time that is not a finite float would never end a triggered run.
  if (!(value >= 0.1) || value > std::numeric_limits<float>::max()) return 0.1f;
  return static_cast<float>(value);
}

void LoadSettings(const std::string& path, ChannelSettingsArray& channels, RecorderSettings& settings) {
  const RecorderSettings defaults = DefaultRecorderSettings();
  for (std::size_t i = 0; i < channels.size(); ++i) {
    ChannelSettings& c = channels[i];
    const std::string section = SectionOf(i);
    c.bIsEnabled = ReadProfileInt(path, section, "bIsEnabled", 1);
    c.ChannelIndex = static_cast<int32_t>(i);
    c.Gain = ReadProfileInt(path, section, "Gain", 1);
    c.bIsRecording = ReadProfileInt(path, section, "bIsRecording", 0);
    c.bIsMonitoringLeft = ReadProfileInt(path, section, "bIsMonitoringLeft", 0);
    c.bIsMonitoringRight = ReadProfileInt(path, section, "bIsMonitoringRight", 0);
    c.Level = 0;
    ReadField(path, section, "szLabel", section, c.szLabel);
    ReadField(path, section, "szCalFilename", "", c.szCalFilename);
  }
  settings.SamplingRate = ReadProfileInt(path, kMain, "SamplingRate", 22050);
  settings.DeviceIndex = ReadProfileInt(path, kMain, "DeviceIndex", 0);
  settings.bStoreCalibrationDataInWavefile = ReadProfileInt(path, kMain, "bStoreCalibrationDataInWavefile", 1);
  settings.bAppendTimeStamp = ReadProfileInt(path, kMain, "bAppendTimeStamp", 0);
  settings.bOverwriteWaveFiles = ReadProfileInt(path, kMain, "bOverwriteWaveFiles", 0);
  ReadField(path, kMain, "szWavePath", FieldText(defaults.szWavePath), settings.szWavePath);
  ReadField(path, kMain, "szCalPath", FieldText(defaults.szCalPath), settings.szCalPath);
  settings.TriggerEnable = ReadProfileInt(path, kMain, "TriggerEnable", 0);
  settings.PostTriggerRunTime = ParsePostTriggerRunTime(ReadProfileString(path, kMain, "PostTriggerRunTime", "1.0", 80));
  ReadField(path, kMain, "Caption", "OV5 Tessaline", settings.Caption);
}

void SaveSettings(const std::string& path, const ChannelSettingsArray& channels, const RecorderSettings& settings) {
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const ChannelSettings& c = channels[i];
    const std::string section = SectionOf(i);
    WriteInt(path, section, "bIsEnabled", c.bIsEnabled);
    WriteInt(path, section, "ChannelIndex", c.ChannelIndex);
    WriteInt(path, section, "Gain", c.Gain);
    WriteInt(path, section, "bIsRecording", c.bIsRecording);
    WriteInt(path, section, "bIsMonitoringLeft", c.bIsMonitoringLeft);
    WriteInt(path, section, "bIsMonitoringRight", c.bIsMonitoringRight);
    WriteProfileString(path, section, "szLabel", FieldText(c.szLabel));
    WriteProfileString(path, section, "szCalFilename", FieldText(c.szCalFilename));
  }
  WriteInt(path, kMain, "SamplingRate", settings.SamplingRate);
  WriteInt(path, kMain, "DeviceIndex", settings.DeviceIndex);
  WriteInt(path, kMain, "bStoreCalibrationDataInWavefile", settings.bStoreCalibrationDataInWavefile);
  WriteInt(path, kMain, "bAppendTimeStamp", settings.bAppendTimeStamp);
  WriteInt(path, kMain, "bOverwriteWaveFiles", settings.bOverwriteWaveFiles);
  WriteProfileString(path, kMain, "szWavePath", FieldText(settings.szWavePath));
  WriteProfileString(path, kMain, "szCalPath", FieldText(settings.szCalPath));
  WriteInt(path, kMain, "TriggerEnable", settings.TriggerEnable);
  char time[64];
  std::snprintf(time, sizeof time, "%f", static_cast<double>(settings.PostTriggerRunTime));
  WriteProfileString(path, kMain, "PostTriggerRunTime", time);
  WriteProfileString(path, kMain, "Caption", FieldText(settings.Caption));
}

}  // namespace varnel
