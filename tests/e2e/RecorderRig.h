#pragma once
// A main window on the simulated board in step mode, with a fake clock,
// scripted answers and real files in a temporary folder.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/RecorderDialog.h"
#include "app/SettingsFile.h"
#include "boards/sim/SimulatedBoard.h"
#include "calibration/CalibrationFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/QueueMessageLoop.h"
#include "support/ScriptedUiServices.h"
#include "support/TempDir.h"
#include "transport/PlatformTransport.h"
#include "wave/WaveIO.h"

namespace varnel::test {

inline constexpr const char* kNoAnalyser =
    "Failure establishing a DDE link to Orvanta for channel monitoring.  Continue anyway?";

class RecorderRig {
 public:
  RecorderRig() : clock_(1000), scoped_(clock_) {
    app.SetProgramFile(dir.File("varnel"));
    wavePath = dir.File("wave");
    calPath = dir.File("cal");
    platform::CreateFolders(wavePath);
    platform::CreateFolders(calPath);
    channels = DefaultChannels();
    settings = DefaultRecorderSettings();
    CopyCut(settings.szWavePath, wavePath);
    CopyCut(settings.szCalPath, calPath);
    // Nobody serves this name: the analyser is absent unless a test starts one.
    WriteFile(dir.File("orvantis.ini"), "[DDE]\nServerName=NoAnalyser" + std::to_string(::getpid()) + "\n");
  }
  ~RecorderRig() {
    dialog.reset();
  }

  // Enables the given channels (all others off) with a calibration file each.
  void UseChannels(const std::vector<int>& enabled, const std::vector<int>& recorded) {
    for (int i = 0; i < kChannelCount; ++i) channels[i].bIsEnabled = 0;
    for (int i : enabled) {
      channels[i].bIsEnabled = 1;
      const std::string cal = platform::JoinPath(calPath, "ch" + std::to_string(i) + ".cal");
      CalibrationRecord record{};
      record.Left.RefLevel = 1.0f + i;
      record.Left.CalRatio = 0.5f * (i + 1);
      CopyCut(record.Left.LabelLinear, "V");
      CopyCut(record.Left.LabelLog, "dBV");
      CalibrationFile::Write(cal.c_str(), &record);
      CopyCut(channels[i].szCalFilename, cal);
    }
    for (int i : recorded) channels[i].bIsRecording = 1;
  }

  // Writes the settings file and opens the window on it.
  void Open() {
    auto simBoard = std::make_unique<sim::SimulatedBoard>(dir.File("olsim.ini"));
    simBoard->SetStepMode(true);
    board = simBoard.get();
    Open(std::move(simBoard));
  }
  // The same on another board.
  void Open(std::unique_ptr<BoardApi> driver) {
    SaveSettings(FieldText(app.SettingsFilePath).data(), channels, settings);
    RecorderServices services;
    services.ui = &ui;
    services.loop = &loop;
    services.board = std::move(driver);
    services.transport = MakePlatformTransport();
    services.app = &app;
    dialog = std::make_unique<RecorderDialog>(std::move(services));
    loop.SetHandler(dialog.get());
    dialog->OnInitDialog();
  }

  // Presses Run, going on without the analyser.
  void Run() {
    ui.ExpectMessageBox(kNoAnalyser, ui::DialogResult::Yes);
    dialog->Click(kIdRun);
  }

  // One buffer of known codes: entry e of frame f holds 32768 + 1000 e + f % 700.
  void StepBuffers(int count) {
    for (int i = 0; i < count; ++i) {
      const int32_t list = dialog->Device.GetListSize();
      const int32_t frames = dialog->Device.GetSamplesPerChannel();
      std::vector<uint16_t> codes(static_cast<std::size_t>(list) * frames);
      for (int32_t f = 0; f < frames; ++f)
        for (int32_t e = 0; e < list; ++e)
          codes[f * list + e] = static_cast<uint16_t>(32768 + 1000 * e + (bufferIndex_ * frames + f) % 700);
      ++bufferIndex_;
      board->StepBuffer(codes);
      loop.DispatchPending();
    }
  }

  // The sample the board produced for list entry e at frame f of the run.
  static int16_t Expected(int32_t entry, int64_t frame) { return static_cast<int16_t>(1000 * entry + frame % 700); }

  // The names in the wave folder, sorted.
  std::vector<std::string> WaveFiles() const { return ListFolder(wavePath); }

  static std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Wave(const std::string& name) const { return platform::JoinPath(wavePath, name); }

  TempDir dir;
  std::string wavePath;
  std::string calPath;
  RecorderApp app;
  ChannelSettingsArray channels;
  RecorderSettings settings;
  ScriptedUiServices ui;
  platform::QueueMessageLoop loop;
  sim::SimulatedBoard* board = nullptr;
  std::unique_ptr<RecorderDialog> dialog;

 private:
  platform::FakeClock clock_;
  platform::ScopedClock scoped_;
  int bufferIndex_ = 0;
};

}  // namespace varnel::test
