#pragma once
// Whether a channel label can name its wave file, and whether two labels name
// the same one: pure functions of the labels, the wave folder's path and the
// platform's file-name rules. Safe from any thread.

#include <string>
#include <string_view>

namespace varnel {

enum class LabelFault {
  kNone,
  kNotAFileName,  // a separator, "." or "..", or a path too long with the label
  kReservedName,  // a name the system keeps for a device (Windows: NUL, COM1 ...)
};

// Why the label cannot name its wave file in the folder; kNone when it can.
LabelFault CheckLabelFileName(std::string_view label, std::string_view waveFolder);
// The message that says so, naming the label; empty for kNone.
std::string LabelFaultText(LabelFault fault, std::string_view label);

// Two labels are one when they differ only in the case of ASCII letters, or
// when the platform's file system takes them for one name (Windows ignores
// case beyond ASCII too: "Ä1" and "ä1" would be one file).
bool LabelsCollide(std::string_view a, std::string_view b);

}  // namespace varnel
