// varnel-record: the recorder without a window, for unattended and scripted
// recordings on the configured (or simulated) board.

#include <cstdio>
#include <string>
#include <vector>

#include "ConsoleUi.h"
#include "DeviceList.h"
#include "Options.h"
#include "RecorderLoop.h"
#include "Recover.h"
#include "StopRequests.h"
#include "app/ProgramServices.h"
#include "app/SettingsFile.h"
#include "engine/RecordingEngine.h"
#include "engine/RunSummary.h"
#include "platform/Clock.h"
#include "platform/FixedString.h"

namespace {

// Exit statuses; the README lists them.
constexpr int kExitRecorded = 0;
constexpr int kExitNotStarted = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDataLost = 3;

using namespace varnel;

// Every status text the recorder shows, as it shows it.
class StatusPrinter : public RecordingObserver {
 public:
  explicit StatusPrinter(record::ConsoleOutput& console) : console_(console) {}
  void StatusChanged(const std::string& text) override { console_.Line(stdout, "status:" + text + "\n"); }
  void EventRecorded(const TriggerEvent&, const std::string& line) override { console_.Line(stdout, line + "\n"); }

 private:
  record::ConsoleOutput& console_;
};

void PrintLevels(const RecordingEngine& e, record::ConsoleOutput& console) {
  std::string line = "levels:";
  for (int32_t i = 0; i < e.Settings.MaxChannels; ++i) {
    if (!IsSet(e.Channels[i].bIsEnabled)) continue;
    line += " " + std::to_string(i) + "=" + std::to_string(e.Channels[i].Level);
  }
  console.Level(line + "\n");
}

// What the window does as it opens, once the settings are read: the device
// list, the chosen device's capabilities and the channels it offers.
void OpenAsTheWindowDoes(RecordingEngine& engine) {
  engine.EnumerateDevices();
  engine.QueryDeviceCapabilities();
  engine.FitChannelsToDevice();
}

// ... and as it closes: the run stopped and saved, then the settings, less
// the device this run was told to use.
void CloseAsTheWindowDoes(RecordingEngine& engine, record::DeviceChoice& device, const RecorderSettings& own,
                          const std::string& settingsPath, ui::UiServices& ui) {
  engine.Settings.FileFormat = own.FileFormat;
  record::RestoreTriggerSettings(own, engine.Settings);
  record::RestoreTimingSettings(own, engine.Settings);
  engine.Settings.SplitEverySeconds = own.SplitEverySeconds;
  engine.StopRecording();
  device.Restore();
  SaveSettingsAtClose(settingsPath, engine.Channels, engine.Settings, nullptr, ui);
}

int Record(const record::Options& options) {
  ProgramServices program = ComposeProgramServices();
  if (!options.settingsFile.empty()) CopyCut(program.app.SettingsFilePath, options.settingsFile);
  const std::string settingsPath(FieldText(program.app.SettingsFilePath));

  // Before the engine, so that it outlives every line the run gives it.
  record::ConsoleOutput console;
  record::ConsoleUi ui(options, console);
  record::RecorderLoop loop;
  RecordingEngine engine(EngineServicesOf(program, ui, loop));
  loop.SetHandler(&engine);
  LoadSettings(settingsPath, engine.Channels, engine.Settings);
  record::DeviceChoice device(engine);
  OpenAsTheWindowDoes(engine);
  const RecorderSettings own = engine.Settings;
  if (options.fileFormat) engine.Settings.FileFormat = *options.fileFormat;
  record::ApplyTriggerOptions(options.trigger, engine.Settings);
  if (options.splitEvery) engine.Settings.SplitEverySeconds = *options.splitEvery;
  std::string timingError;
  if (!record::ApplyTimingOptions(options.timing, options.seconds, engine.Settings, timingError)) {
    std::fprintf(stderr, "varnel-record: %s\n", timingError.c_str());
    return kExitUsage;
  }
  // A timed run ends itself at its stop, counted in samples from its start.
  const bool stopByClock = !record::HasTiming(engine.Settings);
  if (options.device >= engine.Device.GetBoardCount()) {
    std::fprintf(stderr, "varnel-record: there is no device %d (see --list-devices)\n", options.device);
    return kExitUsage;
  }
  if (!device.Choose(options.device)) {
    CloseAsTheWindowDoes(engine, device, own, settingsPath, ui);
    return kExitNotStarted;
  }
  record::PrintRecoveryNotice(std::string(FieldText(engine.Settings.szWavePath)));

  StatusPrinter printer(console);
  engine.SetObserver(&printer);
  engine.NormaliseChannelFlags();
  engine.OnRun();
  if (engine.bIsRunning != 1) {
    console.Line(stderr, "varnel-record: the recording did not start\n");
    CloseAsTheWindowDoes(engine, device, own, settingsPath, ui);
    engine.SetObserver(nullptr);
    return kExitNotStarted;
  }
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  uint32_t lastLevels = start;
  while (engine.bIsRunning == 1 && !record::StopRequested()) {
    loop.WaitAndDispatch(50);
    const uint32_t now = clock.TickCount();
    if (!options.quiet && now - lastLevels >= 1000) {
      PrintLevels(engine, console);
      lastLevels = now;
    }
    if (stopByClock && options.seconds > 0 && (now - start) / 1000.0 >= options.seconds) break;
  }
  CloseAsTheWindowDoes(engine, device, own, settingsPath, ui);
  loop.DispatchPending();
  engine.SetObserver(nullptr);
  console.Line(stdout, FormatRunSummary(engine.Files));
  if (engine.Files.Report.TriggerMissed() || engine.Files.Report.StartMissed()) return kExitNotStarted;
  return engine.Files.Report.DataLost() ? kExitDataLost : kExitRecorded;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = record::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(error.empty() ? stdout : stderr, "%s%s%s", error.c_str(), error.empty() ? "" : "\n", record::kUsage);
    return error.empty() ? kExitRecorded : kExitUsage;
  }
  if (options->listDevices) {
    record::PrintDeviceList(*ComposeProgramServices().board, stdout);
    return 0;
  }
  if (options->recover) {
    RecorderApp app;
    app.InitPathsFromExecutable();
    const std::string settings =
        options->settingsFile.empty() ? std::string(FieldText(app.SettingsFilePath)) : options->settingsFile;
    return record::Recover(options->recoverFolder.empty() ? record::WaveFolderOf(settings) : options->recoverFolder);
  }
  record::InstallStopRequests();
  const int status = Record(*options);
  record::StopCompleted();
  return status;
}
