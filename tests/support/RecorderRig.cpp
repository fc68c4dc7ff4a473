#include "support/RecorderRig.h"

#include "app/MainWindowLayout.h"
#include "app/SettingsFile.h"
#include "transport/PlatformTransport.h"

namespace varnel::test {

RecorderRig::RecorderRig() : clock_(1000), scoped_(clock_) {}

RecorderRig::~RecorderRig() {
  dialog.reset();
  engine.reset();
}

std::unique_ptr<BoardApi> RecorderRig::SteppedBoard() {
  auto simBoard = std::make_unique<sim::SimulatedBoard>(dir.File("olsim.ini"));
  simBoard->SetStepMode(true);
  board = simBoard.get();
  return simBoard;
}

void RecorderRig::Open() {
  Open(SteppedBoard());
}

void RecorderRig::Open(std::unique_ptr<BoardApi> driver) {
  WriteSettings();
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

void RecorderRig::OpenEngine() {
  WriteSettings();
  EngineServices services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = SteppedBoard();
  services.transport = MakePlatformTransport();
  services.analyzerSettingsPath = AnalyserSettingsPath();
  engine = std::make_unique<RecordingEngine>(std::move(services));
  loop.SetHandler(engine.get());
  LoadSettings(SettingsPath(), engine->Channels, engine->Settings);
  engine->EnumerateDevices();
  engine->QueryDeviceCapabilities();
  engine->FitChannelsToDevice();
}

void RecorderRig::Run() {
  ui.ExpectMessageBox(kNoAnalyser, ui::DialogResult::Yes);
  if (dialog) {
    dialog->Click(kIdRun);
    return;
  }
  engine->NormaliseChannelFlags();
  engine->OnRun();
}

void RecorderRig::StepBuffers(int count) {
  for (int i = 0; i < count; ++i) {
    const int32_t list = Engine().Device.GetListSize();
    const int32_t frames = Engine().Device.GetSamplesPerChannel();
    std::vector<uint16_t> codes(static_cast<std::size_t>(list) * frames);
    for (int32_t f = 0; f < frames; ++f)
      for (int32_t e = 0; e < list; ++e)
        codes[f * list + e] = static_cast<uint16_t>(32768 + 1000 * e + (bufferIndex_ * frames + f) % 700);
    ++bufferIndex_;
    board->StepBuffer(codes);
    loop.DispatchPending();
  }
}

}  // namespace varnel::test
