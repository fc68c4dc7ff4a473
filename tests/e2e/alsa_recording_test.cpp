// Recordings through the real ALSA backend, on a private configuration whose
// inputs deliver a known counter per channel.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <sstream>

#include "boards/alsa/AlsaBoard.h"
#include "platform/Trace.h"
#include "support/AlsaTestConfig.h"
#include "support/PcmFaults.h"
#include "support/RecorderRig.h"
#include "support/WaveSamples.h"

namespace varnel {
namespace {

using test::AlsaTestConfig;

constexpr int32_t kFramesPerBuffer = 8192;  // at 48000 Hz
// The inputs run this many times faster than real time, as a quick card would.
constexpr double kSpeed = 8.0;

int32_t IndexOf(const std::string& name) {
  alsa::AlsaBoard board;
  int32_t index = 0, found = -1;
  board.EnumerateBoards([&](std::string_view n) {
    if (n == name) found = index;
    ++index;
    return 1;
  });
  return found;
}

// Python's wave module reads channel c's file Channel_c.wav for every c below
// `channels`; one line each: frames, samples unlike the input's counter,
// channels and rate of the file.
std::string CheckWithPython(const std::string& folder, int channels) {
  const std::string script =
      "import struct, sys, wave\n"
      "for c in range(int(sys.argv[2])):\n"
      "  w = wave.open('%s/Channel_%d.wav' % (sys.argv[1], c)); n = w.getnframes()\n"
      "  s = struct.unpack('<%dh' % n, w.readframes(n))\n"
      "  want = lambda f: ((c << 12) | (f & 0xFFF)) - (65536 if c >= 8 else 0)\n"
      "  print(n, sum(1 for f, v in enumerate(s) if v != want(f)), w.getnchannels(), w.getframerate())\n";
  return test::RunCommand("python3 -c \"" + script + "\" '" + folder + "' " + std::to_string(channels));
}

void Prepare(test::RecorderRig& rig, const std::string& device, const std::vector<int>& channels) {
  rig.UseChannels(channels, channels);
  rig.settings.SamplingRate = 48000;
  rig.settings.DeviceIndex = IndexOf(device);
  ASSERT_GE(rig.settings.DeviceIndex, 0) << device;
}

// Records until `buffers` buffers were processed, then presses Stop.
void Record(test::RecorderRig& rig, int buffers) {
  rig.Run();
  ASSERT_EQ(1, rig.dialog->bIsRunning) << (rig.ui.Messages().empty() ? "" : rig.ui.Messages().back().text);
  const float until = static_cast<float>(buffers * kFramesPerBuffer) / 48000.0f - 1e-4f;
  while (rig.dialog->Engine.Device.GetRunTime() < until) rig.loop.WaitAndDispatch(50);
  rig.dialog->Click(kIdRun);
  ASSERT_EQ(0, rig.dialog->bIsRunning);
}

void ExpectInputInFiles(test::RecorderRig& rig, int channels, int buffers) {
  std::istringstream result(CheckWithPython(rig.wavePath, channels));
  for (int c = 0; c < channels; ++c) {
    const std::string file = "Channel_" + std::to_string(c) + ".wav";
    long frames = -1, mismatches = -1, fileChannels = 0, rate = 0;
    result >> frames >> mismatches >> fileChannels >> rate;
    // Stop keeps the part of the last buffer too, so the count need not be whole buffers.
    EXPECT_GE(frames, long{buffers} * kFramesPerBuffer) << file;
    EXPECT_EQ(0, mismatches) << file;
    EXPECT_EQ(1, fileChannels);
    EXPECT_EQ(48000, rate);
  }
}

std::vector<int> FirstChannels(int count) {
  std::vector<int> all(static_cast<std::size_t>(count));
  std::iota(all.begin(), all.end(), 0);
  return all;
}

TEST(AlsaRecording, EveryChannelsFileHoldsItsInputExactlyAcrossBuffers) {
  AlsaTestConfig config{1 << 18};
  for (int channels : {2, 8, 16}) {
    SCOPED_TRACE(channels);
    test::RecorderRig rig;
    Prepare(rig, AlsaTestConfig::InputName(channels), FirstChannels(channels));
    rig.Open(std::make_unique<alsa::AlsaBoard>(std::make_shared<test::PacedPcm>(48000, kSpeed)));
    EXPECT_EQ(channels, rig.dialog->Settings.MaxChannels);
    EXPECT_EQ(1, rig.dialog->Settings.NumGains);
    Record(rig, 3);
    ExpectInputInFiles(rig, channels, 3);
    std::string info = test::RunCommand("sndfile-info '" + rig.wavePath + "/Channel_1.wav' 2>&1");
    EXPECT_NE(std::string::npos, info.find("Sample Rate : 48000")) << info;
  }
}

TEST(AlsaRecording, AnOverrunIsReportedAndTheRecordingGoesOnWithNothingLost) {
  AlsaTestConfig config{1 << 18};
  platform::MemoryTraceSink traces;
  platform::TraceSink* before = platform::SetTraceSink(&traces);
  test::RecorderRig rig;
  Prepare(rig, AlsaTestConfig::InputName(2), {0, 1});
  rig.Open(std::make_unique<alsa::AlsaBoard>(std::make_shared<test::PacedWithOverrun>(48000, kSpeed, 20)));
  Record(rig, 4);
  platform::SetTraceSink(before);
  EXPECT_EQ(1u, traces.Count("DT_BUFFER_OVERRUN\n"));
  EXPECT_TRUE(traces.Contains("ALSA overrun on " + AlsaTestConfig::InputName(2)));
  ExpectInputInFiles(rig, 2, 4);
}

// A sound server's device (float samples only) records as a card does.
TEST(AlsaRecording, AFloatOnlyDeviceRecordsItsSamplesAtFullScale) {
  AlsaTestConfig config{1 << 18, true};
  test::RecorderRig rig;
  Prepare(rig, AlsaTestConfig::FloatName(), {0, 1});
  rig.Open(std::make_unique<alsa::AlsaBoard>(std::make_shared<test::PacedPcm>(48000, kSpeed)));
  EXPECT_EQ(4, rig.dialog->Settings.MaxChannels);
  Record(rig, 2);
  ExpectInputInFiles(rig, 2, 2);
}

// A sound card has no TTL input: the level trigger catches its events, each
// file beginning at a known frame of the input. Channel 1's counter climbs
// from 4096 to 8191 every 4096 frames: it reaches 7097 (the first sample
// beyond 21.6568 % of full scale, 7096.5 codes) at frames 3001 + 4096 k.
// Each event holds 10 ms before its trigger sample and 100 ms from it on.
TEST(AlsaRecording, TheLevelTriggerCatchesEventsAtKnownFramesOfTheInput) {
  AlsaTestConfig config{1 << 18};
  test::RecorderRig rig;
  Prepare(rig, AlsaTestConfig::InputName(2), {0, 1});
  RecorderSettings& s = rig.settings;
  s.LevelTriggerEnable = 1;
  s.LevelTriggerChannel = 1;
  s.LevelTrigger = {709650.0 / 32768.0, true};
  s.PreTriggerSeconds = 0.01;
  s.PostTriggerRunTime = 0.1f;
  s.TriggerEvents = 2;
  rig.Open(std::make_unique<alsa::AlsaBoard>(std::make_shared<test::PacedPcm>(48000, kSpeed)));
  rig.Run();
  ASSERT_EQ(1, rig.dialog->bIsRunning);
  for (int i = 0; i < 2000 && rig.dialog->bIsRunning == 1; ++i) rig.loop.WaitAndDispatch(50);
  ASSERT_EQ(0, rig.dialog->bIsRunning) << "the run did not end by itself after its second event";
  const std::vector<FinishedFile>& files = rig.dialog->Engine.Files.FinishedFiles();
  ASSERT_EQ(4u, files.size());
  // The second crossing falls within the first event: the next one after it fires.
  const int64_t triggers[] = {3001, 2 * 4096 + 3001};
  for (std::size_t i = 0; i < files.size(); ++i) {
    const int channel = static_cast<int>(i % 2);
    const int64_t first = triggers[i / 2] - 480;
    const std::vector<int16_t> samples = test::WaveSamples(files[i].name);
    ASSERT_EQ(480u + 4800u, samples.size()) << files[i].name;
    for (std::size_t f = 0; f < samples.size(); ++f) {
      if (samples[f] == AlsaTestConfig::Signal(channel, first + static_cast<int64_t>(f))) continue;
      ADD_FAILURE() << files[i].name << " frame " << f;
      break;
    }
  }
}

// A card that runs 48000 Hz on two channels and has no trigger input.
TEST(AlsaRecording, WhatTheCardCannotDoIsRefusedBeforeAnyFileIsMade) {
  AlsaTestConfig config{1 << 12};
  struct Case {
    int32_t rate;
    int32_t trigger;
    std::string says;
  };
  for (const Case& c :
       {Case{44100, 0, "cannot sample at 44100 Hz without resampling"}, Case{32000, 0, "Rates it runs: 48000 Hz."},
        Case{48000, 1, "has no external TTL trigger input"}}) {
    SCOPED_TRACE(c.says);
    test::RecorderRig rig;
    Prepare(rig, AlsaTestConfig::CardName(), {0, 1});
    rig.settings.SamplingRate = c.rate;
    rig.settings.TriggerEnable = c.trigger;
    rig.Open(std::make_unique<alsa::AlsaBoard>());
    rig.ui.ExpectMessageBox(ui::DialogResult::OK);
    rig.dialog->Click(kIdRun);
    EXPECT_EQ(0, rig.dialog->bIsRunning);
    ASSERT_FALSE(rig.ui.Messages().empty());
    EXPECT_NE(std::string::npos, rig.ui.Messages().back().text.find(c.says)) << rig.ui.Messages().back().text;
    EXPECT_TRUE(rig.WaveFiles().empty());
    EXPECT_FALSE(rig.dialog->Engine.Device.IsOpen());
  }
}

}  // namespace
}  // namespace varnel
