// varnel-monitor: serves the analyser link and shows the Left and Right
// channels live: waveform, calibrated spectrum and peak.

#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <string>

#include "MonitorWindow.h"
#include "platform/Files.h"
#include "platform/SettingsFolder.h"

namespace {

using varnel::monitor::Averaging;
using varnel::monitor::MonitorOptions;

constexpr const char* kUsage =
    "usage: varnel-monitor [options]\n"
    "  --server-name NAME   the ServerName to serve (default: [DDE] ServerName of\n"
    "                       orvantis.ini in the settings folder, else Orvantis)\n"
    "  --fft-size N         the FFT size answered at start (1024 ... 65536, default 8192)\n"
    "  --averaging MODE     none, linear (default) or exponential\n"
    "  --screenshot FILE    write the window to FILE after N blocks and end\n"
    "  --after-blocks N     the N of --screenshot (default 20)\n"
    "  --timeout SECONDS    end with status 3 after this long\n"
    "  --report             one line per command, calibration, block and refusal\n";

bool Number(const std::string& text, unsigned long long& out) {
  char* end = nullptr;
  out = std::strtoull(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0';
}

bool Parse(int argc, char** argv, std::string& serverName, MonitorOptions& options, unsigned long long& timeout) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string text;
    unsigned long long n = 0;
    if (arg == "--server-name") {
      if (!value(serverName)) return false;
    } else if (arg == "--fft-size") {
      if (!value(text) || !Number(text, n)) return false;
      bool offered = false;
      for (uint32_t size : varnel::monitor::kFftSizes) offered |= size == n;
      if (!offered) return false;
      options.fftSize = static_cast<uint32_t>(n);
    } else if (arg == "--averaging") {
      if (!value(text)) return false;
      if (text == "none")
        options.averaging = Averaging::None;
      else if (text == "linear")
        options.averaging = Averaging::Linear;
      else if (text == "exponential")
        options.averaging = Averaging::Exponential;
      else
        return false;
    } else if (arg == "--screenshot") {
      if (!value(options.screenshot)) return false;
    } else if (arg == "--after-blocks") {
      if (!value(text) || !Number(text, n) || n == 0) return false;
      options.afterBlocks = n;
    } else if (arg == "--timeout") {
      if (!value(text) || !Number(text, n) || n == 0) return false;
      timeout = n;
    } else if (arg == "--report") {
      options.report = true;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string serverName;
  MonitorOptions options;
  unsigned long long timeout = 0;
  if (!Parse(argc, argv, serverName, options, timeout)) {
    std::cerr << kUsage;
    return 2;
  }
  QApplication app(argc, argv);
  if (serverName.empty())
    serverName = varnel::monitor::ServerNameFromSettings(varnel::platform::JoinPath(
        varnel::platform::SettingsFolderFor(varnel::platform::ExecutableFolder()), "orvantis.ini"));
  if (serverName.empty()) {
    std::cerr << "varnel-monitor: the ServerName is empty: there is no analyser to serve\n";
    return 1;
  }

  varnel::monitor::MonitorServer server(serverName, options.fftSize);
  varnel::monitor::MonitorWindow window(server, options);
  std::string error;
  if (!server.Start(&error)) {
    std::cerr << "varnel-monitor: " << error << "\n";
    return 1;
  }
  std::cout << "serving " << server.BusName() << std::endl;
  if (timeout > 0) QTimer::singleShot(static_cast<int>(timeout * 1000), &app, [] { QCoreApplication::exit(3); });
  // Without its bus the monitor has nothing left to show (its session ended).
  QTimer busWatch;
  QObject::connect(&busWatch, &QTimer::timeout, &app, [&server] {
    if (!server.Serving()) {
      std::cerr << "varnel-monitor: the session bus has gone away\n";
      QCoreApplication::exit(1);
    }
  });
  busWatch.start(1000);
  window.show();
  const int status = app.exec();
  server.Stop();
  return status;
}
