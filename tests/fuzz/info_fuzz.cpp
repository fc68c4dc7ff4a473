// libFuzzer target: any bytes as a file given to varnel-info: read, measured,
// reported as text and JSON, and exported both ways. Refusing is fine; reading
// outside the file or its chunks, or crashing, is not.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "InfoReport.h"
#include "SampleExport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace varnel::info;
  const std::string& path = varnel::fuzz::WriteInput(data, size);
  static const std::string out = path + ".out";
  varnel::platform::RiffFile file;
  std::string error;
  auto info = ReadWaveInfo(path, file, error);
  if (!info) return 0;
  if (MeasureLevels(file, *info, error)) {
    TextReport(*info);
    JsonReport({*info});
  }
  // A small limit sends the float export through its RF64 turn too.
  ExportSamples(file, *info, {ExportKind::kCsv, out}, error);
  ExportSamples(file, *info, {ExportKind::kFloatWave, out, size % 2 ? 64 : UINT32_MAX}, error);
  return 0;
}
