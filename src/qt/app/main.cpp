// varnel: the recorder's window.

// The board and transport headers come before Qt's, whose keyword macros
// ("signals", "slots") would otherwise rewrite their member names.
#include "app/RecorderApp.h"
#include "app/RecorderDialog.h"
#include "boards/PlatformBoards.h"
#include "transport/PlatformTransport.h"

#include <QApplication>
#include <clocale>

#include "platform/FixedString.h"
#include "qt/DeviceChangeMonitor.h"
#include "qt/QtMessageLoop.h"
#include "qt/QtUiServices.h"
#include "qt/TerminationSignals.h"
#include "qt/RecorderWindow.h"
#include "ui/Messages.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Settings, calibration and analyser texts use '.' whatever the desktop's language.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("varnel");

  using namespace varnel;
  RecorderApp app;
  app.InitPathsFromExecutable();

  qt::QtMessageLoop loop;
  qt::QtUiServices ui(&loop);
  RecorderServices services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = boards::MakePlatformBoards(std::string(FieldText(app.SettingsFolder)));
  services.transport = MakePlatformTransport();
  services.app = &app;
  RecorderDialog recorder(std::move(services));
  loop.SetHandler(&recorder);

  qt::RecorderWindow window(recorder, loop);
  ui.SetViewConfigurator([&](ui::Dialog& dialog, qt::DialogView& view) {
    if (&dialog == &recorder) window.Attach(view);
  });
  qt::DeviceChangeMonitor devices;
  devices.StartUsbMonitor();
  devices.WatchFile(QString::fromStdString(std::string(FieldText(app.SettingsFolder)) + "/olsim.ini"));
  devices.PostTo(loop);
  // Logging out or Ctrl-C in a terminal closes the window as its close button does.
  qt::TerminationSignals termination([&](int) { loop.Post({ui::WM_CLOSE, 0, 0}); });

  ui.RunModal(recorder);
  return 0;
}
