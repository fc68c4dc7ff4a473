// varnel-info: what a wave file holds (format, length, start time, calibration,
// levels), and its samples in calibrated units. See InfoOptions.cpp for the
// command line and the README for examples.

#include <cstdio>
#include <string>
#include <vector>

#include "InfoOptions.h"
#include "InfoReport.h"

namespace {

using namespace varnel::info;

int Fail(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "varnel-info: %s: %s\n", path.c_str(), why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = ParseInfoOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    if (!error.empty()) std::fprintf(stderr, "varnel-info: %s\n", error.c_str());
    std::fputs(kInfoUsage, error.empty() ? stdout : stderr);
    return error.empty() ? 0 : 2;
  }
  int status = 0;
  std::vector<WaveInfo> infos;
  for (const std::string& path : options->files) {
    varnel::platform::RiffFile file;
    auto info = ReadWaveInfo(path, file, error);
    if (!info) {
      status = Fail(path, error);
    } else if (options->exportTo) {
      if (!ExportSamples(file, *info, *options->exportTo, error)) status = Fail(path, error);
    } else if (!MeasureLevels(file, *info, error)) {
      status = Fail(path, error);
    } else if (options->json) {
      infos.push_back(std::move(*info));
    } else {
      std::fputs(TextReport(*info).c_str(), stdout);
    }
  }
  if (options->json) std::fputs(JsonReport(infos).c_str(), stdout);
  return status;
}
