#pragma once
// varnel-info's report of a file: lines for a person, or JSON for a program.
// Texts are UTF-8; JSON escapes what it must and replaces bytes that are not
// UTF-8, so that any file's report parses.

#include <string>
#include <vector>

#include "WaveInfo.h"

namespace varnel::info {

std::string TextReport(const WaveInfo& info);
// One object per file, in a list.
std::string JsonReport(const std::vector<WaveInfo>& infos);

}  // namespace varnel::info
