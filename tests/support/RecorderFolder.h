#pragma once
// The folder of a recorder in a test: the program's place in a temporary
// folder (and so its settings files), a wave and a calibration folder in it,
// the channels and settings the test gives, calibration files for the
// channels it uses, and an orvantis.ini that names an analyser nobody serves.
// Every rig of a recorder (the engine, the dialog, the Qt and Win32 windows,
// the headless recorder as a child) starts from one.

#include <string>
#include <vector>

#include "app/RecorderApp.h"
#include "records/ChannelSettings.h"
#include "support/TempDir.h"

namespace varnel::test {

// The question a Run asks when no analyser answers.
inline constexpr const char* kNoAnalyser =
    "Failure establishing a DDE link to Orvanta for channel monitoring.  Continue anyway?";

class RecorderFolder {
 public:
  // `programFile`: the program's name in the folder ("varnel", "varnel.exe").
  explicit RecorderFolder(const std::string& programFile = "varnel");

  // Enables the given channels (all others off), each with a calibration file
  // of its own, and records the `recorded` ones.
  void UseChannels(const std::vector<int>& enabled, const std::vector<int>& recorded = {});
  // A calibration file for channel i (RefLevel 1 + i, CalRatio (i + 1) / 2),
  // named in its record.
  void GiveCalibrationFile(int channel);
  // Channel i's calibration file made a microphone's: pascals, 94 dB at half
  // of full scale, one code a count.
  void MeasureInPascals(int channel);
  // varnel.ini beside the program, from channels and settings.
  void WriteSettings() const;
  std::string SettingsPath() const;
  std::string AnalyserSettingsPath() const;

  // The names in the wave folder, sorted.
  std::vector<std::string> WaveFiles() const { return ListFolder(wavePath); }
  std::string Wave(const std::string& name) const;
  static std::vector<std::string> ListFolder(const std::string& folder);

  TempDir dir;
  std::string wavePath;
  std::string calPath;
  RecorderApp app;
  ChannelSettingsArray channels;
  RecorderSettings settings;
};

}  // namespace varnel::test
