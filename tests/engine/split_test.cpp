// Files split on the clock: boundaries at whole multiples of the period of
// the local clock, computed from the sample count, and not one sample lost or
// doubled across them. The fake clock puts the run's first sample at a known
// time (the first buffer's end at 03:04:05.100 local).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/RecorderRig.h"
#include "support/WaveSamples.h"

namespace varnel {
namespace {

using test::RecorderRig;

struct Split {
  int32_t rate;
  int32_t seconds;
  int buffers;
  std::vector<std::string> stamps;  // of the files after the first
  std::vector<uint32_t> frames;     // of every file
};

TEST(SplitOnTheClock, ConsecutiveFilesBeginAtWholeMultiplesOfThePeriodAndJoinedAreEverySample) {
  const Split cases[] = {
      {8000, 1, 5, {"030405", "030406", "030407", "030408", "030409"}, {7392, 8000, 8000, 8000, 8000, 1568}},
      {48000, 2, 20, {"030406", "030408"}, {51392, 96000, 16448}},
  };
  for (const Split& c : cases) {
    SCOPED_TRACE(c.rate);
    RecorderRig rig;
    rig.UseChannels({0, 2}, {0, 2});
    rig.settings.SamplingRate = c.rate;
    rig.settings.SplitEverySeconds = c.seconds;
    rig.OpenEngine();
    rig.Run();
    rig.StepBuffers(c.buffers);
    rig.engine->StopRecording();
    for (int32_t entry = 0; entry < 2; ++entry) {
      const std::string label = entry == 0 ? "Channel_0" : "Channel_2";
      std::vector<std::string> names{platform::JoinPath(rig.wavePath, label + ".wav")};
      for (const std::string& stamp : c.stamps)
        names.push_back(platform::JoinPath(rig.wavePath, label + "_2026_01_02_" + stamp + ".wav"));
      std::vector<int16_t> joined;
      for (std::size_t i = 0; i < names.size(); ++i) {
        const std::vector<int16_t> samples = test::WaveSamples(names[i]);
        EXPECT_EQ(c.frames[i], samples.size()) << names[i];
        joined.insert(joined.end(), samples.begin(), samples.end());
      }
      const int64_t total = int64_t{c.buffers} * rig.engine->Device.GetSamplesPerChannel();
      ASSERT_EQ(static_cast<std::size_t>(total), joined.size()) << label;
      for (int64_t f = 0; f < total; ++f) {
        if (joined[f] == RecorderRig::Expected(entry, f)) continue;
        ADD_FAILURE() << label << " frame " << f << ": " << joined[f];
        break;
      }
    }
    EXPECT_EQ(2 * c.frames.size(), rig.WaveFiles().size());
  }
}

}  // namespace
}  // namespace varnel
