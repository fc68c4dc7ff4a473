#pragma once
// The journal of a recording run: a small text file beside the working files
// that says which working file holds which channel, the name it is to get,
// its format and the calibration to store with it. It is rewritten whole
// (durably, through a temporary name) at Run and at every rollover, and
// removed when the run ends with every file saved; a journal that is left
// behind marks an interrupted recording.
//
// Every entry carries a checksum: an entry that was cut short or damaged is
// not trusted, and its working file is recovered as one without a journal.
//
// Main thread only.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "wave/CalibrationRecord.h"
#include "wave/SampleFormat.h"
#include "wave/WaveFileFormat.h"

namespace varnel {

// Journal files are "varnel-journal-<n>.ini" in the wave folder.
inline constexpr const char* kJournalPrefix = "varnel-journal-";
inline constexpr const char* kJournalSuffix = ".ini";

struct JournalEntry {
  int32_t channel = -1;
  std::string workingFile;  // full paths
  std::string finalFile;
  std::string label;
  SampleFormat format;
  WaveFileFormat fileFormat = WaveFileFormat::kWave;
  std::string started;  // local time the file was begun, "yyyy-mm-dd hh:mm:ss"
  bool storeCalibration = false;
  std::optional<CalibrationRecord> calibration;
};

struct JournalFile {
  std::string path;
  std::string owner;    // platform::ProcessIdentity of the recorder
  std::string started;  // when the run began
  std::vector<JournalEntry> entries;          // trusted entries
  std::vector<std::string> untrustedWorkingFiles;  // named by entries that failed their check
  bool readable = true;                            // false: the file is there but could not be read
};

// The local time now as "yyyy-mm-dd hh:mm:ss".
std::string JournalTimeNow();

std::string FormatJournal(const JournalFile& journal);
JournalFile ParseJournal(const std::string& text);
// The journal files in the folder, sorted.
std::vector<std::string> JournalPaths(const std::string& folder);
// One journal file, read; path set.
JournalFile ReadJournal(const std::string& path);
// Every journal file in the folder, read.
std::vector<JournalFile> ReadJournals(const std::string& folder);
// True when a running recorder, in any process, holds a journal in the folder.
bool AnotherRecorderWrites(const std::string& folder);

class RecordingJournal {
 public:
  RecordingJournal() = default;
  RecordingJournal(const RecordingJournal&) = delete;
  RecordingJournal& operator=(const RecordingJournal&) = delete;

  // A new run: entries cleared; the file is made at the first Commit.
  void Begin(const std::string& folder);
  // The working file of a channel slot (replaces the slot's entry).
  void Track(int32_t slot, JournalEntry entry);
  // The slot's file was finalised: forgotten when that succeeded, kept (and
  // recovered at the next start) when its working file was left behind.
  void Finalised(int32_t slot, bool saved);
  // Rewrites the journal; false when it could not be written. The journal is
  // locked from its first commit until the run ends, which is how recovery,
  // in any process, namespace or machine, knows that its recorder runs.
  bool Commit();
  // The run ended: the journal goes when nothing was left behind.
  void End();

  const std::string& Path() const { return path_; }
  bool Active() const { return active_; }

 private:
  std::string folder_;
  std::string path_;
  std::string started_;
  bool active_ = false;
  std::map<int32_t, JournalEntry> entries_;
  std::vector<JournalEntry> leftBehind_;
  platform::FileLock lock_;
};

}  // namespace varnel
