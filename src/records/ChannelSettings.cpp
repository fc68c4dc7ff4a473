#include "records/ChannelSettings.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Files.h"
#include "platform/FixedString.h"
#include "records/LabelRules.h"

namespace varnel {
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

int CheckUniqueLabels(const ChannelSettingsArray& channels, ui::UiServices& ui) {
  for (std::size_t i = 0; i < channels.size(); ++i) {
    if (!IsSet(channels[i].bIsEnabled)) continue;
    for (std::size_t j = 0; j < channels.size(); ++j) {
      if (j == i || !IsSet(channels[j].bIsEnabled)) continue;
      if (!LabelsCollide(FieldText(channels[i].szLabel), FieldText(channels[j].szLabel))) continue;
      std::string text = "The channel label \"" + std::string(FieldText(channels[i].szLabel)) +
                         "\" is used by more than one channel.  Each label must be unique.";
      ui.MessageBox(text, "Tessaline", ui::mb::kOk | ui::mb::kIconError);
      return 0;
    }
  }
  return 1;
}

}  // namespace varnel
