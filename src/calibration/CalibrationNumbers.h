#pragma once
// Numbers as .cal files hold them: decimal text read and written the same way
// whatever the process locale, and float32 values that are always finite,
// because they travel into wave files and to the analyser as they are.

#include <string>
#include <string_view>

namespace varnel {

// The decimal real at the start of the text: white space, an optional sign,
// digits with an optional fraction, an optional exponent; the rest is ignored.
// No such prefix gives 0 ("nan", "inf" and hex forms included). Too large a
// magnitude gives +-infinity, too small a one 0; ToCalibrationFloat narrows it.
double ParseCalibrationReal(std::string_view text);

// Narrows to float32 without leaving the finite range: NaN becomes 0 and a
// magnitude beyond the largest float becomes the largest float of that sign.
float ToCalibrationFloat(long double value);

// Fixed notation with six decimals ("%f" in the C locale). A non-finite value
// is written as ToCalibrationFloat makes it, so that it reads back as written.
std::string FormatCalibrationReal(float value);

}  // namespace varnel
