#include "MainWindowRig.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/SettingsFile.h"
#include "boards/sim/SimulatedBoard.h"
#include "calibration/CalibrationFile.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/Profile.h"
#include "transport/PlatformTransport.h"

namespace varnel::test {

MainWindowRig::MainWindowRig(const std::string& windowPosition) : RecorderFolder("varnel.exe") {
  UseChannels({0, 1, 2});
  for (int i = 3; i < kChannelCount; ++i) GiveCalibrationFile(i);
  settings.SamplingRate = 20000;
  WriteSettings();
  if (!windowPosition.empty()) platform::WriteProfileString(SettingsPath(), "Main", "WindowPosition", windowPosition);

  RecorderServices services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = sim::MakeSimulatedBoard(dir.File("olsim.ini"));
  services.transport = MakePlatformTransport();
  services.app = &app;
  recorder = std::make_unique<RecorderDialog>(std::move(services));
  handler = std::make_unique<win32::ViewMessageHandler>(*recorder, ui);
  loop.SetHandler(handler.get());
  window = std::make_unique<win32::MainWindow>(*recorder, ui);
  boxes.NotABox([this](HWND hwnd) { return IsView(ui, hwnd); });
  ui.SetViewConfigurator([this](ui::Dialog& d, win32::DialogWindow& v) {
    if (&d == recorder.get()) window->Attach(v);
  });
}

MainWindowRig::~MainWindowRig() {
  loop.SetHandler(nullptr);
  recorder.reset();
}

ui::DialogResult MainWindowRig::Run() {
  script.Start();
  const ui::DialogResult result = ui.RunModal(*recorder);
  EXPECT_TRUE(script.Done()) << "the window closed before the script ended";
  return result;
}

HWND MainWindowRig::Window() const {
  return window->View() ? window->View()->Handle() : nullptr;
}

HWND MainWindowRig::Control(int32_t id) const {
  return window->View() ? window->View()->ControlHandle(id) : nullptr;
}

HWND MainWindowRig::TopDialog() const {
  return ui.OpenViews().empty() ? nullptr : ui.OpenViews().back()->Handle();
}

HWND MainWindowRig::TopControl(int32_t id) const {
  return ui.OpenViews().empty() ? nullptr : ui.OpenViews().back()->ControlHandle(id);
}

bool MainWindowRig::WaitedMs(uint32_t ms) {
  const ULONGLONG now = GetTickCount64();
  if (waitStart_ == 0) waitStart_ = now;
  if (now - waitStart_ < ms) return false;
  waitStart_ = 0;
  return true;
}

int64_t WaveDataBytes(const std::string& path) {
  const std::string bytes = ReadFile(path);
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return -1;
  std::size_t at = 12;
  while (at + 8 <= bytes.size()) {
    uint32_t size = 0;
    std::memcpy(&size, bytes.data() + at + 4, 4);
    if (bytes.compare(at, 4, "data") == 0) return size;
    at += 8 + size + (size & 1);
  }
  return -1;
}

uint64_t WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

}  // namespace varnel::test
