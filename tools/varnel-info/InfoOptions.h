#pragma once
// varnel-info's command line.

#include <optional>
#include <string>
#include <vector>

#include "SampleExport.h"

namespace varnel::info {

struct InfoOptions {
  bool json = false;
  std::optional<ExportRequest> exportTo;  // --export csv|f32 OUT: one file's samples
  std::vector<std::string> files;
};

// Nothing when the command line is wrong; `error` says why (empty for --help).
std::optional<InfoOptions> ParseInfoOptions(const std::vector<std::string>& args, std::string& error);
extern const char* const kInfoUsage;

}  // namespace varnel::info
