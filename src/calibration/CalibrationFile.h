#pragma once
// The .cal file: one "Calibration" section of eleven keys, read into and
// written from the Left half of a CalibrationRecord through the profile engine.
// Other sections and keys of a file are left alone.
//
// Called on the main thread only (Read shows message boxes).

#include <cstdint>

#include "ui/UiServices.h"
#include "wave/CalibrationRecord.h"

namespace varnel {

class CalibrationFile {
 public:
  // Fills a record the caller has zeroed: CalFileName, the Left half with
  // CalibrationValid 1, the file's values and PctFullScale times gain, and the
  // Right half as a copy of the Left. False without a message for a missing
  // path or record; false after a warning when the path is empty, is no
  // readable file or holds no "Calibration" section.
  static bool Read(const char* path, CalibrationRecord* record, int32_t channel, int32_t gain, ui::UiServices& ui);

  // Writes the Left half's eleven values at path and stores the path in
  // CalFileName. True when every key was written; a failure leaves the keys
  // written so far.
  static bool Write(const char* path, CalibrationRecord* record);
};

}  // namespace varnel
