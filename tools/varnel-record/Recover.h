#pragma once
// Interrupted recordings from the command line: a notice before recording,
// and --recover to repair them unattended.

#include <string>

#include "Options.h"

namespace varnel::record {

// The wave folder of the settings file.
std::string WaveFolderOf(const std::string& settingsFile);
// Tells on stderr which interrupted recordings the folder holds, if any.
void PrintRecoveryNotice(const std::string& waveFolder);
// --recover: 0 when every file was recovered (or none was waiting), 1 when
// some were not; each of those is named with the reason.
int Recover(const std::string& waveFolder);

}  // namespace varnel::record
