// ALSA and the Linux composition of boards: Linux only.
#ifndef _WIN32

#include "support/AlsaTestConfig.h"

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace varnel::test {
namespace {

// An infile of `frames` frames: sample(c, f) for channel c of frame f.
template <typename Sample, typename Make>
void WriteFrames(const std::string& path, int channels, int64_t frames, Make sample) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::vector<Sample> block(static_cast<std::size_t>(channels) * 4096);
  for (int64_t f0 = 0; f0 < frames; f0 += 4096) {
    for (int64_t f = 0; f < 4096; ++f)
      for (int c = 0; c < channels; ++c) block[f * channels + c] = sample(c, f0 + f);
    std::fwrite(block.data(), sizeof(Sample), block.size(), file);
  }
  std::fclose(file);
}

void WriteSignal(const std::string& path, int channels, int64_t frames) {
  WriteFrames<int16_t>(path, channels, frames, &AlsaTestConfig::Signal);
}

// 32-bit samples whose upper half is the signal and whose lower half must be dropped.
void WriteSignal32(const std::string& path, int channels, int64_t frames) {
  WriteFrames<int32_t>(path, channels, frames, [](int c, int64_t f) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(AlsaTestConfig::Signal(c, f))) << 16) |
                                0x5A5Au);
  });
}

std::string Input(const std::string& name, const std::string& infile, const std::string& slave,
                  const std::string& description) {
  return "pcm." + name + "_raw {\n  type file\n  slave.pcm { type null }\n  file \"/dev/null\"\n  infile \"" + infile +
         "\"\n  format \"raw\"\n}\npcm." + name + " {\n  type plug\n  slave { pcm \"" + name + "_raw\" " + slave +
         " }\n  hint { show on description \"" + description + "\" }\n}\n";
}

}  // namespace

std::string AlsaTestConfig::InputName(int channels) {
  return "Varnel test input, " + std::to_string(channels) + " channels (varnel_in_" + std::to_string(channels) + ")";
}

std::string AlsaTestConfig::Input32Name() {
  return "Varnel test input, 32-bit samples (varnel_in_s32)";
}

std::string AlsaTestConfig::FloatName() {
  return "Varnel test input, float samples (varnel_in_float)";
}

float AlsaTestConfig::FloatSignal(int channel, int64_t frame) {
  const int64_t at = frame % 1000;
  if (channel == 2 && at == 999) return 1.0f;
  if (channel == 2 && at == 500) return -1.0f;
  if (channel == 3 && at == 750) return -1.5f;
  if (channel == 3 && at == 250) return std::numeric_limits<float>::quiet_NaN();
  return static_cast<float>(Signal(channel, frame)) / 32768.0f;
}

std::string AlsaTestConfig::CardName() {
  return "Varnel test card, 48 kHz only (varnel_card)";
}

AlsaTestConfig::AlsaTestConfig(int64_t frames, bool withFloat) : path_(dir_.File("asound.conf")) {
  std::string config;
  for (int channels : {2, 8, 16}) {
    const std::string infile = dir_.File("in" + std::to_string(channels) + ".raw");
    WriteSignal(infile, channels, frames);
    config += Input("varnel_in_" + std::to_string(channels), infile,
                    "channels " + std::to_string(channels) + " format S16_LE",
                    "Varnel test input, " + std::to_string(channels) + " channels");
  }
  config += Input("varnel_card", dir_.File("in2.raw"), "channels 2 rate 48000 format S16_LE",
                  "Varnel test card, 48 kHz only\nsecond line not shown");
  WriteSignal32(dir_.File("in32.raw"), 2, frames);
  config +=
      Input("varnel_in_s32", dir_.File("in32.raw"), "channels 2 format S32_LE", "Varnel test input, 32-bit samples");
  if (withFloat) {
    WriteFrames<float>(dir_.File("float.raw"), 4, frames, &AlsaTestConfig::FloatSignal);
    config += Input("varnel_in_float", dir_.File("float.raw"), "channels 4 format FLOAT_LE",
                    "Varnel test input, float samples");
  }
  WriteFile(path_, config);
  setenv("ALSA_CONFIG_PATH", path_.c_str(), 1);
}

}  // namespace varnel::test

#endif  // _WIN32
