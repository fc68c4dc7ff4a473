#pragma once
// A file's samples in the channel's calibrated linear units (volts at the
// converter without calibration): as CSV with the time in seconds since the
// first sample, or as a 32-bit float wave file that becomes RF64 past 4 GiB
// and keeps the source's bext. An export that fails leaves no file behind.
//
// One thread at a time.

#include <cstdint>
#include <string>

#include "WaveInfo.h"
#include "platform/RiffFile.h"

namespace varnel::info {

enum class ExportKind { kCsv, kFloatWave };

struct ExportRequest {
  ExportKind kind = ExportKind::kCsv;
  std::string out;
  uint64_t riffSizeLimit = UINT32_MAX;  // where a float wave turns RF64; tests lower it
};

bool ExportSamples(platform::RiffFile& in, const WaveInfo& info, const ExportRequest& request, std::string& error);

}  // namespace varnel::info
