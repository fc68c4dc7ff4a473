#include "app/SettingsFile.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "engine/FileFormatSetting.h"
#include "platform/FixedString.h"
#include "platform/Profile.h"
#include "platform/Trace.h"
#include "records/RunClock.h"

namespace varnel {
namespace {

constexpr const char* kMain = "Main";

std::string SectionOf(std::size_t channel) {
  return "Channel_" + std::to_string(channel);
}

template <std::size_t N>
void ReadField(const platform::ProfileReader& file, const std::string& section, const char* key, std::string_view def,
               char (&field)[N]) {
  CopyCut(field, file.ReadString(section, key, def, N));
}

void WriteInt(platform::ProfileEdit& edit, const std::string& section, const char* key, int32_t value) {
  edit.WriteString(section, key, std::to_string(value));
}

// Old files have none of these keys: the level trigger is off.
void LoadLevelTrigger(const platform::ProfileReader& file, RecorderSettings& settings) {
  settings.LevelTriggerEnable = file.ReadInt(kMain, "LevelTriggerEnable", 0);
  settings.LevelTriggerChannel = file.ReadInt(kMain, "LevelTriggerChannel", 0);
  // Kept as no number, so that a Run says what is wrong rather than trigger somewhere else.
  settings.LevelTrigger = ParseTriggerLevel(file.ReadString(kMain, "LevelTriggerLevel", "0", 80))
                              .value_or(TriggerLevel{std::numeric_limits<double>::quiet_NaN(), false});
  settings.LevelTriggerSlope =
      ParseTriggerSlope(file.ReadString(kMain, "LevelTriggerSlope", "rising", 16)).value_or(TriggerSlope::kRising);
  settings.LevelTriggerHysteresis = ParseFiniteNumber(file.ReadString(kMain, "LevelTriggerHysteresis", "1", 80))
                                        .value_or(std::numeric_limits<double>::quiet_NaN());
  settings.PreTriggerSeconds = ParseFiniteNumber(file.ReadString(kMain, "PreTriggerSeconds", "0", 80))
                                   .value_or(std::numeric_limits<double>::quiet_NaN());
  settings.TriggerEvents = ParseTriggerEvents(file.ReadString(kMain, "TriggerEvents", "1", 16)).value_or(1);
  settings.SplitEverySeconds = file.ReadInt(kMain, "SplitEverySeconds", 0);
}

// A time that reads as none of the clock forms is off, not guessed at: a run
// must not start or stop at a moment nobody asked for.
template <std::size_t N>
void ReadClockTime(const platform::ProfileReader& file, const char* key, char (&field)[N]) {
  const std::string text = TrimmedText(file.ReadString(kMain, key, "", N));
  CopyCut(field, ParseClockTime(text) ? text : std::string());
}

// Old files have none of these keys: the run starts at Run and ends at Stop.
void LoadTiming(const platform::ProfileReader& file, RecorderSettings& settings) {
  ReadClockTime(file, "StartAt", settings.StartAt);
  ReadClockTime(file, "StopAt", settings.StopAt);
  const auto seconds = ParseFiniteNumber(TrimmedText(file.ReadString(kMain, "StopAfterSeconds", "0", 80)));
  const bool whole =
      seconds && *seconds >= 0 && *seconds <= std::numeric_limits<int32_t>::max() && *seconds == std::floor(*seconds);
  settings.StopAfterSeconds = whole ? static_cast<int32_t>(*seconds) : 0;
}

void SaveTiming(platform::ProfileEdit& edit, const RecorderSettings& settings) {
  edit.WriteString(kMain, "StartAt", FieldText(settings.StartAt));
  WriteInt(edit, kMain, "StopAfterSeconds", settings.StopAfterSeconds);
  edit.WriteString(kMain, "StopAt", FieldText(settings.StopAt));
}

void SaveLevelTrigger(platform::ProfileEdit& edit, const RecorderSettings& settings) {
  char number[64];
  WriteInt(edit, kMain, "LevelTriggerEnable", settings.LevelTriggerEnable);
  WriteInt(edit, kMain, "LevelTriggerChannel", settings.LevelTriggerChannel);
  edit.WriteString(kMain, "LevelTriggerLevel", FormatTriggerLevel(settings.LevelTrigger));
  edit.WriteString(kMain, "LevelTriggerSlope", TriggerSlopeKey(settings.LevelTriggerSlope));
  std::snprintf(number, sizeof number, "%.17g", settings.LevelTriggerHysteresis);
  edit.WriteString(kMain, "LevelTriggerHysteresis", number);
  std::snprintf(number, sizeof number, "%.17g", settings.PreTriggerSeconds);
  edit.WriteString(kMain, "PreTriggerSeconds", number);
  edit.WriteString(kMain, "TriggerEvents", TriggerEventsKey(settings.TriggerEvents));
  WriteInt(edit, kMain, "SplitEverySeconds", settings.SplitEverySeconds);
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
  const platform::ProfileReader file(path);
  for (std::size_t i = 0; i < channels.size(); ++i) {
    ChannelSettings& c = channels[i];
    const std::string section = SectionOf(i);
    c.bIsEnabled = file.ReadInt(section, "bIsEnabled", 1);
    c.ChannelIndex = static_cast<int32_t>(i);
    c.Gain = file.ReadInt(section, "Gain", 1);
    c.bIsRecording = file.ReadInt(section, "bIsRecording", 0);
    c.bIsMonitoringLeft = file.ReadInt(section, "bIsMonitoringLeft", 0);
    c.bIsMonitoringRight = file.ReadInt(section, "bIsMonitoringRight", 0);
    c.Level = 0;
    ReadField(file, section, "szLabel", section, c.szLabel);
    ReadField(file, section, "szCalFilename", "", c.szCalFilename);
  }
  settings.SamplingRate = file.ReadInt(kMain, "SamplingRate", 22050);
  settings.DeviceIndex = file.ReadInt(kMain, "DeviceIndex", 0);
  ReadField(file, kMain, "szDeviceName", "", settings.szDeviceName);
  settings.bStoreCalibrationDataInWavefile = file.ReadInt(kMain, "bStoreCalibrationDataInWavefile", 1);
  settings.bAppendTimeStamp = file.ReadInt(kMain, "bAppendTimeStamp", 0);
  settings.bOverwriteWaveFiles = file.ReadInt(kMain, "bOverwriteWaveFiles", 0);
  ReadField(file, kMain, "szWavePath", FieldText(defaults.szWavePath), settings.szWavePath);
  ReadField(file, kMain, "szCalPath", FieldText(defaults.szCalPath), settings.szCalPath);
  settings.TriggerEnable = file.ReadInt(kMain, "TriggerEnable", 0);
  settings.PostTriggerRunTime = ParsePostTriggerRunTime(file.ReadString(kMain, "PostTriggerRunTime", "1.0", 80));
  settings.FileFormat = FileFormatFromKey(file.ReadString(kMain, "FileFormat", "wav", 16));
  LoadLevelTrigger(file, settings);
  LoadTiming(file, settings);
  ReadField(file, kMain, "Caption", "OV5 Tessaline", settings.Caption);
}

bool SaveSettings(const std::string& path, const ChannelSettingsArray& channels, const RecorderSettings& settings) {
  // One rewrite of the file: a close never leaves half the settings saved.
  platform::ProfileEdit edit(path);
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const ChannelSettings& c = channels[i];
    const std::string section = SectionOf(i);
    WriteInt(edit, section, "bIsEnabled", c.bIsEnabled);
    WriteInt(edit, section, "ChannelIndex", c.ChannelIndex);
    WriteInt(edit, section, "Gain", c.Gain);
    WriteInt(edit, section, "bIsRecording", c.bIsRecording);
    WriteInt(edit, section, "bIsMonitoringLeft", c.bIsMonitoringLeft);
    WriteInt(edit, section, "bIsMonitoringRight", c.bIsMonitoringRight);
    edit.WriteString(section, "szLabel", FieldText(c.szLabel));
    edit.WriteString(section, "szCalFilename", FieldText(c.szCalFilename));
  }
  WriteInt(edit, kMain, "SamplingRate", settings.SamplingRate);
  WriteInt(edit, kMain, "DeviceIndex", settings.DeviceIndex);
  edit.WriteString(kMain, "szDeviceName", FieldText(settings.szDeviceName));
  WriteInt(edit, kMain, "bStoreCalibrationDataInWavefile", settings.bStoreCalibrationDataInWavefile);
  WriteInt(edit, kMain, "bAppendTimeStamp", settings.bAppendTimeStamp);
  WriteInt(edit, kMain, "bOverwriteWaveFiles", settings.bOverwriteWaveFiles);
  edit.WriteString(kMain, "szWavePath", FieldText(settings.szWavePath));
  edit.WriteString(kMain, "szCalPath", FieldText(settings.szCalPath));
  WriteInt(edit, kMain, "TriggerEnable", settings.TriggerEnable);
  char time[64];
  std::snprintf(time, sizeof time, "%f", static_cast<double>(settings.PostTriggerRunTime));
  edit.WriteString(kMain, "PostTriggerRunTime", time);
  edit.WriteString(kMain, "FileFormat", FileFormatKey(settings.FileFormat));
  SaveLevelTrigger(edit, settings);
  SaveTiming(edit, settings);
  edit.WriteString(kMain, "Caption", FieldText(settings.Caption));
  return edit.Commit();
}

void SaveSettingsAtClose(const std::string& path, const ChannelSettingsArray& channels,
                         const RecorderSettings& settings, WindowHost* window, ui::UiServices& ui) {
  if (path.empty()) return;
  bool saved = SaveSettings(path, channels, settings);
  if (saved && window) saved = SaveWindowPosition(path, *window);
  // Edits that are not kept must not be lost without a word.
  if (saved) return;
  platform::Trace("Settings not saved: %s\n", path.c_str());
  ui.MessageBox(
      "The settings could not be saved in " + path + ".  Please check that the file and its folder are writable.",
      "Tessaline", ui::mb::kOk | ui::mb::kIconWarning);
}

}  // namespace varnel
