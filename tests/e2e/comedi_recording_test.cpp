// Recordings through the comedi board on a scripted device
// (support/FakeComedi.h): Linux only.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <sstream>

#include "support/RecorderRig.h"
#include "boards/comedi/ComediBoard.h"
#include "platform/Trace.h"
#include "support/FakeComedi.h"

namespace varnel {
namespace {

constexpr int32_t kRate = 10000;

class ComediRecording : public ::testing::Test {
 protected:
  // The rig on a board of `spec` recording `channels` at kRate.
  void Open(const std::vector<int>& channels, test::FakeComediSpec spec = {}) {
    device = calls_->Add("comedi0", std::move(spec));
    rig.UseChannels(channels, channels);
    rig.settings.SamplingRate = kRate;
    rig.settings.DeviceIndex = 0;
    rig.Open(std::make_unique<comedi::ComediBoard>(calls_));
  }
  // Records until `seconds` of signal were processed, then presses Stop.
  void Record(float seconds, bool vanish = false) {
    rig.Run();
    ASSERT_EQ(1, rig.Engine().bIsRunning) << (rig.ui.Messages().empty() ? "" : rig.ui.Messages().back().text);
    device->AllowUnlimited();
    for (int i = 0; i < 600 && rig.Engine().Device.GetRunTime() < seconds; ++i) rig.loop.WaitAndDispatch(50);
    if (vanish) {
      device->Vanish();
      for (int i = 0; i < 600 && rig.Engine().Files.Report.Overruns().empty(); ++i) rig.loop.WaitAndDispatch(50);
    }
    rig.dialog->Click(kIdRun);
    ASSERT_EQ(0, rig.Engine().bIsRunning);
  }
  // Per channel file Channel_c.wav (read by Python's wave module): frames,
  // samples unlike the device's codes, channels and rate.
  std::vector<std::vector<long>> CheckFiles(int channels) {
    const std::string script =
        "import struct, sys, wave\n"
        "for c in range(int(sys.argv[2])):\n"
        "  w = wave.open('%s/Channel_%d.wav' % (sys.argv[1], c)); n = w.getnframes()\n"
        "  s = struct.unpack('<%dh' % n, w.readframes(n))\n"
        "  want = lambda f: ((c << 12) | (f & 0xFFF)) - 32768\n"
        "  print(n, sum(1 for f, v in enumerate(s) if v != want(f)), w.getnchannels(), w.getframerate())\n";
    std::istringstream out(
        test::RunCommand("python3 -c \"" + script + "\" '" + rig.wavePath + "' " + std::to_string(channels)));
    std::vector<std::vector<long>> files(static_cast<std::size_t>(channels), std::vector<long>(4, -1));
    for (auto& file : files) out >> file[0] >> file[1] >> file[2] >> file[3];
    return files;
  }

  test::RecorderRig rig;
  std::shared_ptr<test::FakeComediCalls> calls_ = std::make_shared<test::FakeComediCalls>(rig.dir.Path());
  std::shared_ptr<test::FakeComediState> device;
};

TEST_F(ComediRecording, EveryChannelsFileHoldsTheBoardsCodesExactly) {
  Open({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  char name[kBoardNameSize] = {};
  rig.Engine().Device.GetBoardName(0, name);
  EXPECT_STREQ("comedi0: fake_daq fake-6016", name);
  EXPECT_EQ(16, rig.Engine().Settings.MaxChannels);
  EXPECT_EQ(4, rig.Engine().Settings.NumGains);
  Record(2.0f);
  const auto files = CheckFiles(16);
  for (std::size_t c = 0; c < files.size(); ++c) {
    SCOPED_TRACE(c);
    EXPECT_GE(files[c][0], 2 * kRate);
    EXPECT_EQ(0, files[c][1]);
    EXPECT_EQ(1, files[c][2]);
    EXPECT_EQ(kRate, files[c][3]);
  }
  EXPECT_FALSE(rig.Engine().Files.Report.DataLost());
}

TEST_F(ComediRecording, AVanishedBoardEndsTheRunWithItsFilesSavedAndTheLossReported) {
  Open({0, 1});
  Record(0.5f, true);
  EXPECT_TRUE(rig.Engine().Files.Report.DataLost());
  const auto files = CheckFiles(2);
  for (const auto& file : files) {
    EXPECT_GE(file[0], kRate / 2);
    EXPECT_EQ(0, file[1]) << "the samples before the loss are kept as they came";
  }
}

TEST_F(ComediRecording, WhatTheBoardCannotDoIsRefusedBeforeAnyFileIsMade) {
  struct Case {
    int32_t rate;
    int32_t trigger;
    std::string says;
  };
  for (const Case& c : {Case{30000, 0, "Rates near it that it runs: 25000 Hz and 31250 Hz."},
                        Case{kRate, 1, "cannot start on an external TTL trigger"}}) {
    SCOPED_TRACE(c.says);
    test::RecorderRig other;
    auto calls = std::make_shared<test::FakeComediCalls>(other.dir.Path());
    calls->Add("comedi0");
    other.UseChannels({0, 1}, {0, 1});
    other.settings.SamplingRate = c.rate;
    other.settings.TriggerEnable = c.trigger;
    other.settings.DeviceIndex = 0;
    other.Open(std::make_unique<comedi::ComediBoard>(calls));
    other.ui.ExpectMessageBox(ui::DialogResult::OK);
    other.dialog->Click(kIdRun);
    EXPECT_EQ(0, other.Engine().bIsRunning);
    ASSERT_FALSE(other.ui.Messages().empty());
    EXPECT_NE(std::string::npos, other.ui.Messages().back().text.find(c.says)) << other.ui.Messages().back().text;
    EXPECT_TRUE(other.WaveFiles().empty());
  }
}

}  // namespace
}  // namespace varnel

#endif  // _WIN32
