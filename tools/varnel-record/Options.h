#pragma once
// Command line of the headless recorder.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TimingOptions.h"
#include "TriggerOptions.h"
#include "ui/Dialog.h"

namespace varnel::record {

struct Options {
  // 0: until Ctrl-C or, with triggering, until the run ends itself; with a
  // start or stop time, counted from the start
  double seconds = 0;
  ui::DialogResult overwrite = ui::DialogResult::Cancel;
  ui::DialogResult acceptRate = ui::DialogResult::No;
  bool continueWithoutAnalyser = false;
  bool quiet = false;                 // no level lines
  std::string settingsFile;           // empty: varnel.ini in the settings folder
  bool listDevices = false;           // print the device list instead of recording
  int32_t device = -1;                // device index for this run (-1: the settings' own)
  bool recover = false;               // recover interrupted recordings instead of recording
  std::string recoverFolder;          // empty: the wave folder of the settings
  std::optional<int32_t> fileFormat;  // the files' layout for this run (nothing: the settings' own)
  TriggerOptions trigger;             // the level trigger of this run
  std::optional<int32_t> splitEvery;  // seconds; the files of this run split on the clock
  TimingOptions timing;               // the start and stop times of this run
};

// Nothing when the command line is wrong; `error` says why (empty for --help).
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);
extern const char* const kUsage;

}  // namespace varnel::record
