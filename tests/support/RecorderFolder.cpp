#include "support/RecorderFolder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "app/SettingsFile.h"
#include "calibration/CalibrationFile.h"
#include "platform/Files.h"
#include "platform/FixedString.h"

namespace varnel::test {

RecorderFolder::RecorderFolder(const std::string& programFile)
    : wavePath(dir.File("wave")),
      calPath(dir.File("cal")),
      channels(DefaultChannels()),
      settings(DefaultRecorderSettings()) {
  app.SetProgramFile(dir.File(programFile));
  platform::CreateFolders(wavePath);
  platform::CreateFolders(calPath);
  CopyCut(settings.szWavePath, wavePath);
  CopyCut(settings.szCalPath, calPath);
  // Nobody serves this name (the folder's own): the analyser is absent unless
  // a test starts one.
  std::string unique = std::filesystem::path(dir.Path()).filename().string();
  unique.erase(
      std::remove_if(unique.begin(), unique.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
      unique.end());
  WriteFile(AnalyserSettingsPath(), "[DDE]\nServerName=NoAnalyser" + unique + "\n");
}

void RecorderFolder::GiveCalibrationFile(int channel) {
  const std::string cal = platform::JoinPath(calPath, "ch" + std::to_string(channel) + ".cal");
  CalibrationRecord record{};
  record.Left.RefLevel = 1.0f + channel;
  record.Left.CalRatio = 0.5f * (channel + 1);
  CopyCut(record.Left.LabelLinear, "V");
  CopyCut(record.Left.LabelLog, "dBV");
  CalibrationFile::Write(cal.c_str(), &record);
  CopyCut(channels[channel].szCalFilename, cal);
}

void RecorderFolder::MeasureInPascals(int channel) {
  CalibrationRecord pascals{};
  pascals.Left.CalibrationValid = 1;
  pascals.Left.RefLevel = 94.0f;
  pascals.Left.PctFullScale = 0.5f;
  pascals.Left.CalRatio = 32768.0f;
  CopyCut(pascals.Left.LabelLinear, "Pa");
  CalibrationFile::Write(channels[channel].szCalFilename, &pascals);
}

void RecorderFolder::UseChannels(const std::vector<int>& enabled, const std::vector<int>& recorded) {
  for (ChannelSettings& c : channels) c.bIsEnabled = 0;
  for (int i : enabled) {
    channels[i].bIsEnabled = 1;
    GiveCalibrationFile(i);
  }
  for (int i : recorded) channels[i].bIsRecording = 1;
}

void RecorderFolder::WriteSettings() const {
  SaveSettings(SettingsPath(), channels, settings);
}

std::string RecorderFolder::SettingsPath() const {
  return std::string(FieldText(app.SettingsFilePath));
}

std::string RecorderFolder::AnalyserSettingsPath() const {
  return std::string(FieldText(app.AnalyzerSettingsFilePath));
}

std::string RecorderFolder::Wave(const std::string& name) const {
  return platform::JoinPath(wavePath, name);
}

std::vector<std::string> RecorderFolder::ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace varnel::test
