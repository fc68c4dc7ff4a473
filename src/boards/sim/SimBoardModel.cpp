#include "boards/sim/SimBoardModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/SettingsFolder.h"

namespace varnel::sim {
namespace {

double ReadDouble(const std::string& path, const std::string& section, const char* key, double fallback) {
  const std::string text = platform::ReadProfileString(path, section, key, "", 64);
  if (text.empty()) return fallback;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  return (end == text.c_str() || !std::isfinite(value)) ? fallback : value;
}

int32_t ReadInt(const std::string& path, const std::string& section, const char* key, int32_t fallback) {
  return platform::ReadProfileInt(path, section, key, fallback);
}

SignalKind ParseSignal(std::string text, SignalKind fallback) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  if (text == "sine") return SignalKind::Sine;
  if (text == "noise") return SignalKind::Noise;
  if (text == "dc") return SignalKind::Dc;
  if (text == "silence") return SignalKind::Silence;
  if (text == "pulse") return SignalKind::Pulse;
  return fallback;
}

uint64_t ReadScans(const std::string& path, const std::string& section, const char* key, uint64_t fallback) {
  const double value = ReadDouble(path, section, key, static_cast<double>(fallback));
  return value >= 0.0 && value < 1e18 ? static_cast<uint64_t>(value) : fallback;
}

}  // namespace

double ChannelSignal::PulseValue(uint64_t scan) const {
  if (scan < pulseAt) return low;
  const uint64_t since = pulsePeriod > 0 ? (scan - pulseAt) % pulsePeriod : scan - pulseAt;
  return pulseWidth == 0 || since < pulseWidth ? amplitude : low;
}

bool BoardModel::SupportsGain(double gain) const {
  for (int32_t k = 0; k < gainCount && k < 30; ++k) {
    if (gain == static_cast<double>(1 << k)) return true;
  }
  return false;
}

BoardModel DefaultBoardModel(int32_t index) {
  BoardModel model;
  char name[32];
  std::snprintf(name, sizeof name, "DT9834(%02d)", index);
  model.name = name;
  // Distinct tones so that a recording shows which channel is which.
  for (int32_t c = 0; c < model.channels; ++c) model.signals.push_back({SignalKind::Sine, 250.0 * (c + 1), 1.0});
  return model;
}

std::vector<BoardModel> ReadBoardModels(const std::string& iniPath) {
  std::vector<BoardModel> models;
  if (!platform::FileExists(iniPath)) {
    models.push_back(DefaultBoardModel(0));
    return models;
  }
  const int32_t count = std::clamp(ReadInt(iniPath, "Boards", "Count", 1), 0, kMaxSimulatedBoards);
  for (int32_t b = 0; b < count; ++b) {
    const std::string section = "Board" + std::to_string(b);
    BoardModel model = DefaultBoardModel(b);
    model.name = platform::ReadProfileString(iniPath, section, "Name", model.name, 256);
    model.channels = std::clamp(ReadInt(iniPath, section, "Channels", model.channels), 1, 64);
    model.gainCount = std::clamp(ReadInt(iniPath, section, "Gains", model.gainCount), 1, 8);
    model.maxThroughput = ReadDouble(iniPath, section, "MaxThroughput", model.maxThroughput);
    model.simultaneous = ReadInt(iniPath, section, "Simultaneous", model.simultaneous) == 1 ? 1 : 0;
    model.encoding = ReadInt(iniPath, section, "Encoding", model.encoding);
    model.resolution = std::clamp(ReadInt(iniPath, section, "Resolution", model.resolution), 1, 16);
    model.rangeHigh = ReadDouble(iniPath, section, "RangeHigh", model.rangeHigh);
    model.rangeLow = ReadDouble(iniPath, section, "RangeLow", model.rangeLow);
    if (!(model.rangeHigh > model.rangeLow)) {
      model.rangeHigh = 10.0;
      model.rangeLow = -10.0;
    }
    model.triggerDelayMs =
        static_cast<uint32_t>(std::max(0, ReadInt(iniPath, section, "TriggerDelayMs", int32_t(model.triggerDelayMs))));
    model.signals.resize(static_cast<std::size_t>(model.channels));
    for (int32_t c = 0; c < model.channels; ++c) {
      ChannelSignal& signal = model.signals[c];
      if (c >= 16) signal = {SignalKind::Sine, 250.0 * (c + 1), 1.0};
      const std::string channel = section + "_Channel" + std::to_string(c);
      signal.kind = ParseSignal(platform::ReadProfileString(iniPath, channel, "Signal", "", 32), signal.kind);
      signal.frequency = ReadDouble(iniPath, channel, "Frequency", signal.frequency);
      signal.amplitude = ReadDouble(iniPath, channel, "Amplitude", signal.amplitude);
      signal.low = ReadDouble(iniPath, channel, "Low", signal.low);
      signal.pulseAt = ReadScans(iniPath, channel, "PulseAt", signal.pulseAt);
      signal.pulseWidth = ReadScans(iniPath, channel, "PulseWidth", signal.pulseWidth);
      signal.pulsePeriod = ReadScans(iniPath, channel, "PulsePeriod", signal.pulsePeriod);
    }
    models.push_back(std::move(model));
  }
  return models;
}

std::string DefaultSimSettingsPath() {
  return platform::JoinPath(platform::SettingsFolderFor(platform::ExecutableFolder()), "olsim.ini");
}

}  // namespace varnel::sim
