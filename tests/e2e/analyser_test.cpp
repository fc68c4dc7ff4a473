#include <gtest/gtest.h>

#include <cstring>

#include "AnalyzerPeer.h"
#include "platform/Messages.h"
#include "support/RecorderRig.h"

namespace varnel {
namespace {

using peer::Kind;

TEST(Analyser, ARunFeedsTheAnalyserItsCommandsCalibrationAndTimeSeries) {
  test::RecorderRig rig;
  const std::string name = "VarnelRun" + std::to_string(::getpid());
  test::WriteFile(rig.dir.File("orvantis.ini"), "[DDE]\nServerName=" + name + "\n");
  peer::PeerOptions options;
  options.serverName = name;
  options.fftAnswer = "16384";
  peer::AnalyzerPeer analyser(options);
  ASSERT_TRUE(analyser.Start());

  rig.UseChannels({1, 2}, {1});
  rig.channels[1].bIsMonitoringLeft = 1;
  rig.channels[2].bIsMonitoringRight = 1;
  rig.settings.SamplingRate = 50000;
  rig.Open();
  rig.dialog->Click(kIdRun);  // no question: the analyser answers
  ASSERT_EQ(1, rig.dialog->bIsRunning);
  EXPECT_TRUE(rig.ui.Messages().empty());
  EXPECT_EQ(5u, analyser.Of(Kind::Execute).size());
  auto calibration = analyser.Of(Kind::Poke, "CalibrationData");
  ASSERT_EQ(1u, calibration.size());
  ASSERT_EQ(2048u, calibration[0].bytes.size());
  CalibrationRecord sent;
  std::memcpy(&sent, calibration[0].bytes.data(), sizeof sent);
  EXPECT_FLOAT_EQ(rig.dialog->Engine.CalibrationRecords[1].Left.RefLevel, sent.Left.RefLevel);
  EXPECT_FLOAT_EQ(rig.dialog->Engine.CalibrationRecords[2].Left.RefLevel, sent.Right.RefLevel);

  rig.StepBuffers(4);
  rig.loop.FireTimer(platform::kRefreshTimerId);
  auto series = analyser.Of(Kind::Poke, "TimeSeriesData");
  ASSERT_EQ(1u, series.size());
  ASSERT_EQ(16384u * 2 * 2, series[0].bytes.size());
  std::vector<int16_t> frames(16384 * 2);
  std::memcpy(frames.data(), series[0].bytes.data(), series[0].bytes.size());
  for (std::size_t i = 0; i < 16384; i += 511) {
    EXPECT_EQ(1000, frames[2 * i + 1] - frames[2 * i]) << i;  // Right is list entry 1, Left entry 0
  }
  // Oldest first: consecutive frames of the board's ramp.
  EXPECT_EQ((frames[2] - frames[0] + 700) % 700, 1);

  // Moving L to another channel while running sends the calibration again.
  rig.dialog->Click(kGridRows[2].left);
  rig.loop.DispatchPending();
  EXPECT_EQ(2u, analyser.Of(Kind::Poke, "CalibrationData").size());
  rig.dialog->Click(kIdRun);
  EXPECT_EQ(1u, rig.WaveFiles().size());
}

}  // namespace
}  // namespace varnel
