// The recorder feeds varnel-monitor over a private session bus: what the
// monitor shows is what the simulated board played.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>

#include "MonitorProcess.h"
#include "RecorderRig.h"
#include "ui/Messages.h"

namespace varnel {
namespace {

// The creator's records: a 50 mV/Pa microphone, a 100 mV/G accelerometer.
void WriteCalibration(const std::string& path, const char* units, int refUnits, double pct, const char* linear,
                      const char* log) {
  test::WriteFile(path, std::string("[Calibration]\nRefLevel=1.000000\nRefType=1\nConversionType=0\n") +
                            "IntegrationType=0\nLabelType=1\nCalRatioLeft=32768.000000\nRefUnits=" +
                            std::to_string(refUnits) + "\nPctFullScaleLeft=" + std::to_string(pct) +
                            "\nLabelLinear=" + linear + "\nLabelLog=" + log + "\nLeftChannelName=" + units + "\n");
}

struct Peak {
  double hz = 0;
  double db = 0;
};

// "<name>: peak <hz> Hz, <db> <units>" in the monitor's block line after `from`.
Peak PeakIn(const std::string& out, std::size_t from, const std::string& name, const std::string& units) {
  const std::size_t line = out.find('\n', from);
  const std::string text = out.substr(from, line == std::string::npos ? std::string::npos : line - from);
  std::smatch m;
  const std::regex pattern(name + ": peak ([0-9.]+) Hz, (-?[0-9.]+) " +
                           std::regex_replace(units, std::regex(R"([()])"), R"(\$&)"));
  if (!std::regex_search(text, m, pattern)) {
    ADD_FAILURE() << "no peak of " << name << " in units " << units << " in: " << text;
    return {};
  }
  return {std::stod(m[1]), std::stod(m[2])};
}

TEST(Monitor, ShowsTheSimulatedSinesAndFollowsTheRecordersChannels) {
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus; run under dbus-run-session";
  test::RecorderRig rig;
  const std::string name = "VarnelMonitor" + std::to_string(::getpid());
  test::WriteFile(rig.dir.File("orvantis.ini"), "[DDE]\nServerName=" + name + "\n");
  const std::string shot = rig.dir.File("monitor.png");
  test::MonitorProcess monitor({"--server-name", name, "--fft-size", "8192", "--report", "--screenshot", shot,
                                "--after-blocks", "3", "--timeout", "300"},
                               rig.dir.File("monitor.log"));
  ASSERT_NE(std::string::npos, monitor.WaitFor("serving", 60000)) << monitor.Output();

  rig.UseChannels({0, 1, 2}, {0});
  WriteCalibration(rig.calPath + "/mic.cal", "Mic", 8, 0.00707, "Pascals (PA)", "SPL (dB re 20uPA)");
  WriteCalibration(rig.calPath + "/acc.cal", "Acc", 3, 0.01414, "Acceleration (G)", "Acceleration (G dB)");
  CopyCut(rig.channels[0].szCalFilename, rig.calPath + "/mic.cal");
  CopyCut(rig.channels[1].szCalFilename, rig.calPath + "/mic.cal");
  CopyCut(rig.channels[2].szCalFilename, rig.calPath + "/acc.cal");
  rig.channels[0].bIsMonitoringLeft = 1;
  rig.channels[1].bIsMonitoringRight = 1;
  rig.settings.SamplingRate = 20000;
  rig.Open();
  rig.dialog->Click(kIdRun);  // no question: the monitor answers
  ASSERT_EQ(1, rig.dialog->bIsRunning) << monitor.Output();
  ASSERT_NE(std::string::npos, monitor.WaitFor("calibration Right: Channel_1 [SPL (dB re 20uPA)]", 60000))
      << monitor.Output();
  EXPECT_NE(std::string::npos, monitor.Output().find("command: 20000 Hz"));
  EXPECT_NE(std::string::npos, monitor.Output().find("command: real time"));

  // The default sines: channel c plays 250 (c + 1) Hz at 1 V peak, 14.1 Pa rms.
  auto block = [&](int number) {
    for (int i = 0; i < 4; ++i) {
      rig.board->StepBuffer();
      rig.loop.DispatchPending();
    }
    rig.loop.FireTimer(ui::kRefreshTimerId);
    // The monitor's answer, not the recorder's 16384, sets the block size.
    const std::size_t at = monitor.WaitFor("block " + std::to_string(number) + " of 8192 frames", 60000);
    EXPECT_NE(std::string::npos, at) << monitor.Output();
    return at;
  };
  const double spl = 20 * std::log10(std::sqrt(0.5) / 0.05 / 20e-6);
  std::size_t at = block(1);
  ASSERT_NE(std::string::npos, at);
  Peak left = PeakIn(monitor.Output(), at, "Channel_0", "SPL (dB re 20uPA)");
  Peak right = PeakIn(monitor.Output(), at, "Channel_1", "SPL (dB re 20uPA)");
  EXPECT_NEAR(250.0, left.hz, 0.2);
  EXPECT_NEAR(500.0, right.hz, 0.2);
  EXPECT_NEAR(spl, left.db, 0.2);
  EXPECT_NEAR(spl, right.db, 0.2);

  // R moves to the accelerometer channel: a new name, new units, its own tone.
  rig.dialog->Click(kGridRows[2].right);
  rig.loop.DispatchPending();
  ASSERT_NE(std::string::npos, monitor.WaitFor("calibration Right: Channel_2 [Acceleration (G dB)]", 60000))
      << monitor.Output();
  at = block(2);
  ASSERT_NE(std::string::npos, at);
  right = PeakIn(monitor.Output(), at, "Channel_2", "Acceleration (G dB)");
  EXPECT_NEAR(750.0, right.hz, 0.2);
  EXPECT_NEAR(20 * std::log10(std::sqrt(0.5) / 0.1), right.db, 0.2);

  // Screenshot mode: the third block ends the program with the picture written.
  block(3);
  EXPECT_EQ(0, monitor.Wait(60000)) << monitor.Output();
  // A PNG by its signature and a first chunk that is the header.
  EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16), test::ReadFile(shot).substr(0, 16));
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(0, rig.dialog->bIsRunning);
  EXPECT_EQ(std::string::npos, monitor.Output().find("refused")) << monitor.Output();
}

}  // namespace
}  // namespace varnel
