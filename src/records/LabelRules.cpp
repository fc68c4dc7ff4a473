#include "records/LabelRules.h"

#include <algorithm>

#include "platform/Files.h"

namespace varnel {
namespace {

// Room for "_yyyy_mm_dd_hhmmss" and ".wav" after the label.
constexpr std::size_t kNameSuffix = 18 + 4;
// Longest path a wave file may have.
constexpr std::size_t kMaxWavePath = 255;

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

// A label that is no single name in the wave folder, or does not fit, would
// fail only when the recording is finalised, with the whole recording left
// under its working name.
LabelFault CheckLabelFileName(std::string_view label, std::string_view waveFolder) {
  if (!platform::IsPlainFileName(label) || waveFolder.size() + 1 + label.size() + kNameSuffix > kMaxWavePath)
    return LabelFault::kNotAFileName;
  if (platform::IsReservedFileName(label)) return LabelFault::kReservedName;
  return LabelFault::kNone;
}

std::string LabelFaultText(LabelFault fault, std::string_view label) {
  const std::string head = "The channel label \"" + std::string(label) + "\" cannot be used as a wave file name";
  switch (fault) {
    case LabelFault::kNone:
      return {};
    case LabelFault::kNotAFileName:
      return head +
             ".  Labels must not contain \"/\", must not be \".\" or \"..\", and the wave file path with the label "
             "must stay within 255 characters.";
    case LabelFault::kReservedName:
      return head +
             ": the system keeps that name for a device.  Labels must not be CON, PRN, AUX, NUL, COM0 to COM9 or "
             "LPT0 to LPT9, in any case, alone or before a dot.";
  }
  return {};
}

bool LabelsCollide(std::string_view a, std::string_view b) {
  const bool sameIgnoringAsciiCase =
      std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
  return sameIgnoringAsciiCase || platform::SameFileName(a, b);
}

}  // namespace varnel
