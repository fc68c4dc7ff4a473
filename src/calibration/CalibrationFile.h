#pragma once
// The .cal file: one "Calibration" section of eleven keys, read into and
// written from the Left half of a CalibrationRecord through the profile engine.
// Other sections and keys of a file are left alone.
//
// Called on the main thread only.

#include <cstdint>
#include <string>
#include <string_view>

#include "wave/CalibrationRecord.h"

namespace varnel {

// Why a channel's calibration could not be read, each with its text.
enum class CalibrationError { kNone, kNotSpecified, kCannotOpen };
// The text shown for `error` about channel's file `path`; empty for kNone.
std::string CalibrationErrorText(CalibrationError error, int32_t channel, std::string_view path);

struct CalibrationProblem {
  CalibrationError error = CalibrationError::kNone;
  int32_t channel = -1;
  std::string path;
  std::string Text() const { return CalibrationErrorText(error, channel, path); }
  explicit operator bool() const { return error != CalibrationError::kNone; }
};

class CalibrationFile {
 public:
  // Fills a record the caller has zeroed: CalFileName, the Left half with
  // CalibrationValid 1, the file's values and PctFullScale times gain, and the
  // Right half as a copy of the Left. False without a problem for a missing
  // path or record; false with the problem (when asked for) when the path is
  // empty, is no readable file or holds no "Calibration" section.
  static bool Read(const char* path, CalibrationRecord* record, int32_t channel, int32_t gain,
                   CalibrationProblem* problem = nullptr);

  // Writes the Left half's eleven values at path and stores the path in
  // CalFileName. True when every key was written; a failure leaves the keys
  // written so far.
  static bool Write(const char* path, CalibrationRecord* record);
};

}  // namespace varnel
