#pragma once
// Recovery of the working files that an interrupted recording left in a wave
// folder (a crash, SIGKILL, a power cut). Each file is repaired where it lies:
// its sizes are set from the data actually present, whole frames only, the
// calibration chunk its journal holds is appended, and it is moved to the
// final name its journal gives. An existing file is never replaced (the name
// gets "_recovered"), a working file that no journal describes is recovered
// under a name that says so, and nothing is deleted that was not recovered.
//
// Journals of recorders that are still running, and their working files, are
// left alone: a running recorder holds its journal's lock, seen from any
// process, PID namespace or machine (and one that runs on this machine is
// known by its process identity too). Main thread only.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "recovery/RecordingJournal.h"

namespace varnel {

// Working files are "wav<hex>.tmp".
bool IsWorkingFileName(const std::string& name);

struct InterruptedFile {
  std::string workingFile;
  bool journaled = false;
  JournalEntry entry;           // when journaled
  std::string journalPath;      // when journaled
  std::string started;          // "yyyy-mm-dd hh:mm:ss": from the journal, else the file's time
  SampleFormat format;          // from the file's own header
  uint64_t framesPresent = 0;   // whole frames of data the file holds
  double Seconds() const { return format.SampleRate ? static_cast<double>(framesPresent) / format.SampleRate : 0; }
};

struct RecoveredFile {
  std::string workingFile;
  std::string recoveredFile;  // empty when it failed
  uint64_t frames = 0;
  std::string error;  // why it failed
};

struct InterruptedRecordings {
  std::string folder;
  std::vector<InterruptedFile> files;          // hold samples: to recover
  std::vector<std::string> emptyWorkingFiles;  // journaled, without samples: to remove
  std::vector<std::string> journals;           // of dead recorders
  std::vector<std::string> liveJournals;       // of recorders still running: left alone
  std::vector<RecoveredFile> refused;          // files found that cannot be recovered, and why
  // The locks of the dead recorders' journals, held from the search to the
  // recovery, so that no other program recovers the same files meanwhile.
  std::map<std::string, std::shared_ptr<platform::FileLock>> locks;
  bool Empty() const { return files.empty() && emptyWorkingFiles.empty() && journals.empty() && refused.empty(); }
};

// A working file without a journal entry is taken only once it has not been
// written to for this long: a recorder that is starting may not have
// journaled it yet.
inline constexpr int kUnjournaledQuietSeconds = 10;

InterruptedRecordings FindInterruptedRecordings(const std::string& folder);

// Recovers every file found; journals go once none of their files is left.
// Nothing is changed in a folder that cannot be written: every file found is
// then named with that reason. The results end with the files found refused.
std::vector<RecoveredFile> RecoverRecordings(const InterruptedRecordings& found);

// The name a recovered file gets: the final name, or "<stem>_recovered.wav"
// (then "_recovered_2" ...) when that is taken; for a file without a journal
// entry "unknown_channel_<time>_<working name>_recovered.wav".
std::string RecoveredNameCandidate(const InterruptedFile& file, int attempt);

}  // namespace varnel
