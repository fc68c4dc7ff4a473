#include "InfoOptions.h"

namespace varnel::info {

const char* const kInfoUsage =
    "usage: varnel-info [--json] FILE...\n"
    "       varnel-info --export csv|f32 OUT FILE\n"
    "Tells each wave file's format, rate, length, start time, calibration and levels;\n"
    "--json tells the same as JSON. --export writes FILE's samples to OUT in the channel's\n"
    "calibrated units (volts at the converter without calibration): csv with a time column\n"
    "in seconds, or f32, a 32-bit float wave file (RF64 past 4 GiB).\n"
    "Exit status: 0 done, 1 a file was refused or could not be written, 2 wrong command line.\n";

std::optional<InfoOptions> ParseInfoOptions(const std::vector<std::string>& args, std::string& error) {
  InfoOptions o;
  error.clear();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      return std::nullopt;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--export") {
      if (i + 2 >= args.size() || (args[i + 1] != "csv" && args[i + 1] != "f32")) {
        error = "--export takes csv or f32 and the file to write";
        return std::nullopt;
      }
      o.exportTo = ExportRequest{args[i + 1] == "csv" ? ExportKind::kCsv : ExportKind::kFloatWave, args[i + 2]};
      i += 2;
    } else if (a == "--") {
      o.files.insert(o.files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return std::nullopt;
    } else {
      o.files.push_back(a);
    }
  }
  if (o.files.empty()) {
    error = "no file given";
  } else if (o.exportTo && (o.files.size() != 1 || o.json)) {
    error = "--export takes one file and no --json";
  }
  if (!error.empty()) return std::nullopt;
  return o;
}

}  // namespace varnel::info
