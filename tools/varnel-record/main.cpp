// varnel-record: the recorder without a window, for unattended and scripted
// recordings on the configured (or simulated) board.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "ConsoleUi.h"
#include "Options.h"
#include "Recover.h"
#include "app/RecorderApp.h"
#include "app/RecorderDialog.h"
#include "boards/PlatformBoards.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "transport/PlatformTransport.h"
#include "ui/QueueMessageLoop.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void OnSignal(int) { g_interrupted = 1; }

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
  ui::QueueMessageLoop loop;
  RecorderServices services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = boards::MakePlatformBoards(platform::ExecutableFolder());
  services.transport = MakePlatformTransport();
  services.app = &app;
  services.offerRecovery = false;  // a notice instead: nobody is there to answer
  RecorderDialog dialog(std::move(services));
  loop.SetHandler(&dialog);
  dialog.OnInitDialog();
  record::PrintRecoveryNotice(std::string(FieldText(dialog.Settings.szWavePath)));

  StatusPrinter printer(dialog);
  dialog.SetObserver(&printer);
  dialog.Click(kIdRun);
  if (dialog.bIsRunning != 1) {
    std::fprintf(stderr, "varnel-record: the recording did not start\n");
    dialog.OnClose();
    dialog.SetObserver(nullptr);
    return 1;
  }
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  uint32_t lastLevels = start;
  while (dialog.bIsRunning == 1 && !g_interrupted) {
    loop.WaitAndDispatch(50);
    const uint32_t now = clock.TickCount();
    if (!options.quiet && now - lastLevels >= 1000) {
      PrintLevels(dialog);
      lastLevels = now;
    }
    if (options.seconds > 0 && (now - start) / 1000.0 >= options.seconds) break;
  }
  dialog.OnClose();
  loop.DispatchPending();
  dialog.SetObserver(nullptr);
  for (const FinishedFile& f : dialog.Files.FinishedFiles())
    std::printf("wrote %s (%u frames)\n", f.name.c_str(), f.frames);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = record::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(error.empty() ? stdout : stderr, "%s%s%s", error.c_str(), error.empty() ? "" : "\n",
                 record::kUsage);
    return error.empty() ? 0 : 2;
  }
  if (options->recover) {
    RecorderApp app;
    app.InitPathsFromExecutable();
    const std::string settings = options->settingsFile.empty() ? std::string(FieldText(app.SettingsFilePath))
                                                               : options->settingsFile;
    return record::Recover(options->recoverFolder.empty() ? record::WaveFolderOf(settings) : options->recoverFolder);
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  return Record(*options);
}
