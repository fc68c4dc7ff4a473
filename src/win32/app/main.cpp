// varnel.exe: the recorder's native window (GUI subsystem).

#include "app/RecorderApp.h"
#include "app/RecorderDialog.h"
#include "boards/PlatformBoards.h"
#include "platform/FixedString.h"
#include "transport/PlatformTransport.h"
#include "ui/win32/WindowMessageLoop.h"
#include "win32/MainWindow.h"
#include "win32/Win32UiServices.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace varnel;
  RecorderApp app;
  app.InitPathsFromExecutable();

  ui::WindowMessageLoop loop;
  win32::Win32UiServices ui;
  RecorderServices services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = boards::MakePlatformBoards(std::string(FieldText(app.SettingsFolder)));
  services.transport = MakePlatformTransport();
  services.app = &app;
  RecorderDialog recorder(std::move(services));
  win32::ViewMessageHandler handler(recorder, ui);
  loop.SetHandler(&handler);

  win32::MainWindow window(recorder, ui);
  ui.SetViewConfigurator([&](ui::Dialog& dialog, win32::DialogWindow& view) {
    if (&dialog == &recorder) window.Attach(view);
  });
  ui.RunModal(recorder);
  loop.SetHandler(nullptr);
  return 0;
}
