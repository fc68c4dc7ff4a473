#include "records/ChannelSettings.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Files.h"
#include "platform/FixedString.h"

namespace varnel {
namespace {

bool SameLabel(const char* a, const char* b) {
  for (;; ++a, ++b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(*a) != lower(*b)) return false;
    if (*a == '\0') return true;
  }
}

// Room for "_yyyy_mm_dd_hhmmss" and ".wav" after the label.
constexpr std::size_t kNameSuffix = 18 + 4;
// Longest path a wave file may have.
constexpr std::size_t kMaxWavePath = 255;

// The name a label gives its wave file must stay a single name in the wave
// folder, and fit; anything else would fail only when the recording is
// finalised, with the whole recording left under its working name.
bool IsFileNameLabel(std::string_view label, std::string_view folder) {
  if (!platform::IsPlainFileName(label)) return false;
  return folder.size() + 1 + label.size() + kNameSuffix <= kMaxWavePath;
}

struct LabelErrorEntry {
  LabelError error;
  const char* text;  // "%s" stands for the label
};

constexpr LabelErrorEntry kLabelErrorTexts[] = {
    {LabelError::kNone, ""},
    {LabelError::kNotUnique, "The channel label \"%s\" is used by more than one channel.  Each label must be unique."},
    {LabelError::kNotFileName,
     "The channel label \"%s\" cannot be used as a wave file name.  Labels must not contain \"/\", must not be \".\" "
     "or "
     "\"..\", and the wave file path with the label must stay within 255 characters."},
};

}  // namespace

ChannelSettings DefaultChannelSettings(int32_t index) {
  ChannelSettings c;
  c.ChannelIndex = index;
  char name[32];
  std::snprintf(name, sizeof name, "Channel_%d", index);
  CopyCut(c.szLabel, name);
  return c;
}

ChannelSettingsArray DefaultChannels() {
  ChannelSettingsArray channels;
  for (int32_t i = 0; i < kChannelCount; ++i) channels[static_cast<std::size_t>(i)] = DefaultChannelSettings(i);
  return channels;
}

RecorderSettings DefaultRecorderSettings() {
  RecorderSettings s;
  CopyCut(s.szWavePath, platform::DefaultDataFolder("wave"));
  CopyCut(s.szCalPath, platform::DefaultDataFolder("cal"));
  return s;
}

int32_t NextGain(int32_t gain) {
  switch (gain) {
    case 1: return 2;
    case 2: return 4;
    case 4: return 8;
    case 8: return 1;
    default: return gain;
  }
}

std::string LabelErrorText(LabelError error, std::string_view label) {
  for (const LabelErrorEntry& entry : kLabelErrorTexts) {
    if (entry.error != error) continue;
    std::string text(entry.text);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, label);
    return text;
  }
  return {};
}

LabelProblem CheckUniqueLabels(const ChannelSettingsArray& channels) {
  for (std::size_t i = 0; i < channels.size(); ++i) {
    if (!IsSet(channels[i].bIsEnabled)) continue;
    for (std::size_t j = 0; j < channels.size(); ++j) {
      if (j == i || !IsSet(channels[j].bIsEnabled)) continue;
      if (SameLabel(channels[i].szLabel, channels[j].szLabel))
        return {LabelError::kNotUnique, static_cast<int32_t>(i), std::string(FieldText(channels[i].szLabel))};
    }
  }
  return {};
}

LabelProblem CheckLabelsAreFileNames(const ChannelSettingsArray& channels, std::string_view waveFolder) {
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const ChannelSettings& c = channels[i];
    if (IsSet(c.bIsEnabled) && !IsFileNameLabel(FieldText(c.szLabel), waveFolder))
      return {LabelError::kNotFileName, static_cast<int32_t>(i), std::string(FieldText(c.szLabel))};
  }
  return {};
}

}  // namespace varnel
