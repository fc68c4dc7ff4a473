#include "engine/RunSummary.h"

#include <cstdio>

namespace varnel {

std::string FormatRunSummary(const RecordingFileSet& files) {
  std::string out;
  char line[640];
  for (const FinishedFile& f : files.FinishedFiles()) {
    std::snprintf(line, sizeof line, "wrote %s (%u frames)\n", f.name.c_str(), f.frames);
    out += line;
  }
  const RunReport& report = files.Report;
  if (report.StartMissed()) out += std::string(kStartNotReached) + "\n";
  if (report.TriggerMissed()) out += std::string(kNoTriggerCame) + "\n";
  for (double at : report.HistoriesEmptied()) {
    std::snprintf(line, sizeof line,
                  "overrun after %.3f s while waiting for the trigger: the pre-trigger history was emptied\n", at);
    out += line;
  }
  for (const TriggerEvent& e : report.Events()) {
    if (e.framesBefore >= e.framesAsked) continue;
    std::snprintf(line, sizeof line, "event %d: %u of %u pre-trigger frames (%s)\n", e.number, e.framesBefore,
                  e.framesAsked,
                  e.historyEmptied ? "an overrun emptied the history" : "the run had not been going that long");
    out += line;
  }
  for (const RecordingGap& g : report.Gaps()) {
    std::snprintf(line, sizeof line, "lost channel %d (%s) from %.3f s: %.3f s (%llu frames), %s%s\n", g.channel,
                  g.label.c_str(), report.Seconds(g.startFrame), report.Seconds(g.frames),
                  static_cast<unsigned long long>(g.frames), WaveErrorText(g.reason).data(),
                  g.resumed ? "" : ", not recorded again");
    out += line;
  }
  for (const RenamedFile& r : report.RenamedFiles()) {
    out += "saved as " + r.savedAs + ": " + r.wanted + " appeared during the run and was left as it was\n";
  }
  for (const UnsavedFile& u : report.Unsaved()) {
    out += "not saved: " + u.file + " (its samples are in " + u.workingFile +
           "; varnel-record --recover repairs it once its folder can be written)\n";
  }
  for (std::size_t i = 0; i < report.Overruns().size(); ++i) {
    const uint64_t lost = report.OverrunLosses()[i];
    std::snprintf(line, sizeof line, "overrun %zu after %.3f s of recording: %.3f s (%llu frames) lost\n", i + 1,
                  report.Overruns()[i], report.Seconds(lost), static_cast<unsigned long long>(lost));
    out += line;
  }
  return out;
}

}  // namespace varnel
