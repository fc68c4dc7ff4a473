// varnel-record: the recorder without a window, for unattended and scripted
// recordings on the configured (or simulated) board.

#include <cstdio>
#include <string>
#include <vector>

#include "ConsoleUi.h"
#include "DeviceList.h"
#include "Options.h"
#include "RecorderLoop.h"
#include "StopRequests.h"
#include "Recover.h"
#include "app/RecorderApp.h"
#include "app/RecorderDialog.h"
#include "app/RunSummary.h"
#include "boards/PlatformBoards.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/SettingsFolder.h"
#include "transport/PlatformTransport.h"

namespace {

// Exit statuses; the README lists them.
constexpr int kExitRecorded = 0;
constexpr int kExitNotStarted = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDataLost = 3;

using namespace varnel;

// Every status text the recorder shows, as it shows it.
class StatusPrinter : public ui::ControlObserver {
 public:
  explicit StatusPrinter(const ui::Dialog& dialog) : dialog_(dialog) {}
  void ControlChanged(int32_t id) override {
    if (id != kIdStatus) return;
    std::printf("status:%s\n", dialog_.GetText(kIdStatus).c_str());
    std::fflush(stdout);
  }

 private:
  const ui::Dialog& dialog_;
};

void PrintLevels(const RecorderDialog& d) {
  std::string line = "levels:";
  for (int32_t i = 0; i < d.Settings.MaxChannels; ++i) {
    if (!IsSet(d.Channels[i].bIsEnabled)) continue;
    line += " " + std::to_string(i) + "=" + std::to_string(d.Channels[i].Level);
  }
  std::printf("%s\n", line.c_str());
}

int Record(const record::Options& options) {
  RecorderApp app;
  app.InitPathsFromExecutable();
  if (!options.settingsFile.empty()) CopyCut(app.SettingsFilePath, options.settingsFile);

  record::ConsoleUi ui(options);
  record::RecorderLoop loop;
  RecorderServices services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = boards::MakePlatformBoards(std::string(FieldText(app.SettingsFolder)));
  services.transport = MakePlatformTransport();
  services.app = &app;
  services.offerRecovery = false;  // a notice instead: nobody is there to answer
  RecorderDialog dialog(std::move(services));
  loop.SetHandler(&dialog);
  dialog.OnInitDialog();
  record::DeviceChoice device(dialog, options.device);
  if (!device.Valid()) return 2;
  record::PrintRecoveryNotice(std::string(FieldText(dialog.Settings.szWavePath)));

  StatusPrinter printer(dialog);
  dialog.SetObserver(&printer);
  dialog.Click(kIdRun);
  if (dialog.bIsRunning != 1) {
    std::fprintf(stderr, "varnel-record: the recording did not start\n");
    device.Restore();
    dialog.OnClose();
    dialog.SetObserver(nullptr);
    return kExitNotStarted;
  }
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  uint32_t lastLevels = start;
  while (dialog.bIsRunning == 1 && !record::StopRequested()) {
    loop.WaitAndDispatch(50);
    const uint32_t now = clock.TickCount();
    if (!options.quiet && now - lastLevels >= 1000) {
      PrintLevels(dialog);
      lastLevels = now;
    }
    if (options.seconds > 0 && (now - start) / 1000.0 >= options.seconds) break;
  }
  device.Restore();
  dialog.OnClose();
  loop.DispatchPending();
  dialog.SetObserver(nullptr);
  std::fputs(FormatRunSummary(dialog.Files).c_str(), stdout);
  return dialog.Files.Report.DataLost() ? kExitDataLost : kExitRecorded;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = record::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(error.empty() ? stdout : stderr, "%s%s%s", error.c_str(), error.empty() ? "" : "\n",
                 record::kUsage);
    return error.empty() ? kExitRecorded : kExitUsage;
  }
  if (options->listDevices) {
    const std::string settings = platform::SettingsFolderFor(platform::ExecutableFolder());
    record::PrintDeviceList(*boards::MakePlatformBoards(settings), stdout);
    return 0;
  }
  if (options->recover) {
    RecorderApp app;
    app.InitPathsFromExecutable();
    const std::string settings = options->settingsFile.empty() ? std::string(FieldText(app.SettingsFilePath))
                                                               : options->settingsFile;
    return record::Recover(options->recoverFolder.empty() ? record::WaveFolderOf(settings) : options->recoverFolder);
  }
  record::InstallStopRequests();
  const int status = Record(*options);
  record::StopCompleted();
  return status;
}
