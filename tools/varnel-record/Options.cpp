#include "Options.h"

#include <cmath>
#include <cstdlib>

#include "engine/FileFormatSetting.h"
#include "engine/RecordingFileSet.h"
#include "platform/Clock.h"
#include "records/RunClock.h"

namespace varnel::record {

const char* const kUsage =
    "usage: varnel-record [--seconds N] [--overwrite yes|no|cancel] [--accept-rate yes|no]\n"
    "                     [--continue-without-analyser] [--settings FILE] [--quiet] [--device N]\n"
    "                     [--format wav|bwf] [--trigger-level CH:LEVEL[:rising|falling|either]]\n"
    "                     [--pre-trigger SECONDS] [--post-trigger SECONDS] [--events N|all]\n"
    "                     [--split-every DURATION] [--start-at TIME] [--stop-at TIME]\n"
    "       varnel-record --list-devices\n"
    "       varnel-record --recover [FOLDER] [--settings FILE]\n"
    "Records with the settings of varnel.ini (as the window does) until N seconds have passed, a\n"
    "triggered run ends, or Ctrl-C; then saves the files and the settings. The settings files\n"
    "(varnel.ini, orvantis.ini, olsim.ini) lie beside the program, or in $XDG_CONFIG_HOME/varnel\n"
    "(~/.config/varnel) when the program's folder cannot be written.\n"
    "--format chooses the files' layout for this run: wav (plain wave) or bwf (broadcast wave with\n"
    "its start time, one file past 4 GiB); the settings keep their own.\n"
    "--trigger-level waits for channel CH to cross LEVEL (in its calibrated units, or 25% of full\n"
    "scale); each event's files hold --pre-trigger seconds before the trigger sample and\n"
    "--post-trigger seconds from it on; --events N (default 1) or all, each told on one line.\n"
    "--split-every 30s|10m|1h splits the files at whole multiples of the period of the clock.\n"
    "--start-at TIME waits until TIME (HH:MM[:SS] today, or 2026-12-10T14:00:00) and records from\n"
    "the first sample at or after it; --stop-at TIME ends the run there, and --seconds N then\n"
    "counts N seconds of samples from the start.\n"
    "--recover repairs the recordings an interrupted run left in FOLDER (default: the wave folder).\n";

namespace {

std::optional<ui::DialogResult> Answer(const std::string& text, bool allowCancel) {
  if (text == "yes") return ui::DialogResult::Yes;
  if (text == "no") return ui::DialogResult::No;
  if (allowCancel && text == "cancel") return ui::DialogResult::Cancel;
  return std::nullopt;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      error.clear();
      return std::nullopt;
    } else if (a == "--seconds") {
      auto v = value();
      if (!v) return std::nullopt;
      char* end = nullptr;
      o.seconds = std::strtod(v->c_str(), &end);
      if (end == v->c_str() || *end != '\0' || !std::isfinite(o.seconds) || o.seconds <= 0) {
        error = "--seconds needs a positive number, not \"" + *v + "\"";
        return std::nullopt;
      }
    } else if (a == "--overwrite" || a == "--accept-rate") {
      auto v = value();
      if (!v) return std::nullopt;
      auto answer = Answer(*v, a == "--overwrite");
      if (!answer) {
        error = a + ": unknown answer \"" + *v + "\"";
        return std::nullopt;
      }
      (a == "--overwrite" ? o.overwrite : o.acceptRate) = *answer;
    } else if (a == "--continue-without-analyser") {
      o.continueWithoutAnalyser = true;
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--list-devices") {
      o.listDevices = true;
    } else if (a == "--device") {
      auto v = value();
      if (!v) return std::nullopt;
      char* end = nullptr;
      const long n = std::strtol(v->c_str(), &end, 10);
      if (end == v->c_str() || *end != '\0' || n < 0 || n > 1000) {
        error = "--device needs a device index from --list-devices, not \"" + *v + "\"";
        return std::nullopt;
      }
      o.device = static_cast<int32_t>(n);
    } else if (a == "--format") {
      auto v = value();
      if (!v) return std::nullopt;
      const auto format = WaveFileFormatFromKey(*v);
      if (!format) {
        error = "--format needs wav or bwf, not \"" + *v + "\"";
        return std::nullopt;
      }
      o.fileFormat = FileFormatSettingOf(*format);
    } else if (a == "--recover") {
      o.recover = true;
      if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) o.recoverFolder = args[++i];
    } else if (a == "--split-every") {
      auto v = value();
      if (!v) return std::nullopt;
      const auto seconds = ParseDuration(*v);
      if (!seconds || *seconds < 1 || *seconds > kMaxSplitSeconds) {
        error = "--split-every needs a period from 1s to 31 days (30s, 10m, 1h), not \"" + *v + "\"";
        return std::nullopt;
      }
      o.splitEvery = static_cast<int32_t>(*seconds);
    } else if (IsTimingFlag(a)) {
      auto v = value();
      if (!v || !ParseTimingFlag(a, *v, o.timing, error)) return std::nullopt;
    } else if (IsTriggerFlag(a)) {
      auto v = value();
      if (!v || !ParseTriggerFlag(a, *v, o.trigger, error)) return std::nullopt;
    } else if (a == "--settings") {
      auto v = value();
      if (!v) return std::nullopt;
      o.settingsFile = *v;
    } else {
      error = "unknown option \"" + a + "\"";
      return std::nullopt;
    }
  }
  if (!CheckTimingOptions(o.timing, o.seconds, platform::GetClock().WallNow(), error)) return std::nullopt;
  return o;
}

}  // namespace varnel::record
