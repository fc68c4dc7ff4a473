// varnel.exe: the recorder's native window (GUI subsystem).

#include "app/ProgramServices.h"
#include "app/RecorderDialog.h"
#include "platform/win32/WindowMessageLoop.h"
#include "win32/MainWindow.h"
#include "win32/Win32UiServices.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace varnel;
  ProgramServices program = ComposeProgramServices();
  platform::WindowMessageLoop loop;
  win32::Win32UiServices ui;
  RecorderDialog recorder(RecorderServicesOf(program, ui, loop));
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
