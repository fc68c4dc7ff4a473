// libFuzzer target: any bytes as a .cal file, read at every gain and written
// back; its numbers read back the same after the rewrite.

#include <cstdlib>

#include "FuzzInput.h"
#include "calibration/CalibrationFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = varnel::fuzz::WriteInput(data, size);
  varnel::CalibrationRecord first{};
  if (!varnel::CalibrationFile::Read(path.c_str(), &first, 0, 1)) return 0;
  for (int32_t gain : {2, 4, 8, -3}) {
    varnel::CalibrationRecord record{};
    varnel::CalibrationFile::Read(path.c_str(), &record, 1, gain);
  }
  varnel::CalibrationRecord written = first;
  if (!varnel::CalibrationFile::Write(path.c_str(), &written)) return 0;
  varnel::CalibrationRecord again{};
  if (!varnel::CalibrationFile::Read(path.c_str(), &again, 0, 1)) std::abort();
  // Integers come back as written. (Text is written verbatim, as the format
  // has it, so a value cut to its buffer between quotes may read back unquoted.)
  if (first.Left.RefUnits != again.Left.RefUnits || first.Left.LabelType != again.Left.LabelType) std::abort();
  return 0;
}
