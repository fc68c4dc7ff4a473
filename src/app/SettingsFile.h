#pragma once
// The configuration in varnel.ini in the settings folder: read once when the main
// window initialises, written once when it closes. Failures to write are
// silent: the changes are lost, the previous file stays intact.

#include <string>

#include "records/ChannelSettings.h"

namespace varnel {

void LoadSettings(const std::string& path, ChannelSettingsArray& channels, RecorderSettings& settings);
// False when the file could not be written (it then stays as it was).
bool SaveSettings(const std::string& path, const ChannelSettingsArray& channels, const RecorderSettings& settings);

// The post-trigger time as the loader reads it: a decimal number at the start
// of the text, narrowed to float32, at least 0.1.
float ParsePostTriggerRunTime(const std::string& text);

}  // namespace varnel
