#include "recovery/RecoverWorkingFiles.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <set>

#include "platform/FileSync.h"
#include "platform/Files.h"
#include "platform/RiffFile.h"
#include "platform/Trace.h"
#include "recovery/WorkingFileHeader.h"
#include "wave/CalibrationChunk.h"

namespace varnel {
namespace {

using platform::RiffFile;

WorkingFileHeader ReadHeader(const std::string& path) {
  RiffFile file;
  // Read only: what a folder that cannot be written holds is found all the same.
  if (!file.Open(path, RiffFile::Mode::kRead)) return {};
  return ReadWorkingFileHeader(file);
}

// A header that never reached the disk: the journal says what it was.
WorkingFileHeader JournaledHeader(const JournalEntry& entry, uint64_t fileSize) {
  WorkingFileHeader h;
  h.valid = true;
  h.layout = entry.fileFormat;
  h.recording = true;
  h.fileSize = fileSize;
  h.dataOffset = SkeletonSize(entry.fileFormat);
  h.format = entry.format;
  return h;
}

std::string FileTimeStamp(const std::string& path, bool forName) {
  std::tm t{};
  if (!platform::FileModifiedLocalTime(path, &t)) return {};
  char text[40];
  std::strftime(text, sizeof text, forName ? "%Y_%m_%d_%H%M%S" : "%Y-%m-%d %H:%M:%S", &t);
  return text;
}

bool QuietFor(const std::string& path, int seconds) {
  const long long age = platform::SecondsSinceModified(path);
  return age >= 0 && age >= seconds;
}

std::vector<std::string> WorkingFilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& item : std::filesystem::directory_iterator(folder, ec)) {
    std::error_code typeError;
    const std::string name = item.path().filename().string();
    if (IsWorkingFileName(name) && item.is_regular_file(typeError)) files.push_back(platform::JoinPath(folder, name));
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Sizes from the data present, the calibration chunk after the data; synced.
std::string Repair(const InterruptedFile& f) {
  RiffFile file;
  if (!file.Open(f.workingFile, RiffFile::Mode::kReadWrite)) return "cannot be opened";
  WorkingFileHeader h = ReadWorkingFileHeader(file);
  if (!h.valid) {
    if (!WriteSkeleton(file, f.entry.fileFormat, f.format, f.entry.label)) return "cannot be written";
    h = JournaledHeader(f.entry, file.FileSize());
  }
  const uint64_t bytes = f.framesPresent * f.format.BlockAlign();
  const uint64_t end = h.dataOffset + bytes + (bytes & 1u);
  bool ok = WriteFinalSizes(file, h, bytes);
  if (ok && f.journaled && f.entry.storeCalibration && f.entry.calibration) {
    platform::RiffChunk chunk{kCalibrationChunkId, sizeof(CalibrationRecord)};
    ok = file.Seek(end) && file.CreateChunk(chunk, false) &&
         file.Write(&*f.entry.calibration, sizeof(CalibrationRecord)) == sizeof(CalibrationRecord);
    if (!ok) file.Truncate(end);
  }
  ok = file.Close() && ok;
  if (!ok) return "cannot be written";
  if (!platform::SyncFile(f.workingFile)) return "cannot be synced to the disk";
  return {};
}

// What the journals in a folder say about its working files (by name).
struct KnownWorkingFiles {
  std::set<std::string> busy;       // named by a running recorder's journal
  std::set<std::string> untrusted;  // named by a damaged entry of a dead recorder's journal
  std::map<std::string, std::pair<JournalEntry, std::string>> journaled;  // with the journal's path
  // Journals that could not be read.
  std::vector<std::string> unreadable;
};

// A journal whose lock is held belongs to a running recorder, wherever it
// runs; one on this machine is also known by its process identity, which
// covers a file system without locks and the moment a lock changes files.
KnownWorkingFiles ReadJournalsOf(InterruptedRecordings& found) {
  KnownWorkingFiles known;
  for (const std::string& path : JournalPaths(found.folder)) {
    auto lock = std::make_shared<platform::FileLock>();
    std::string why;
    const platform::FileLock::Outcome outcome = lock->Take(path, &why);
    JournalFile journal = ReadJournal(path);
    if (!journal.readable) {
      found.refused.push_back({path, {}, 0, "cannot be read" + (why.empty() ? std::string() : ": " + why)});
      known.unreadable.push_back(path);
      continue;
    }
    const bool running =
        outcome == platform::FileLock::Outcome::kHeldElsewhere || platform::ProcessIsRunning(journal.owner);
    for (JournalEntry& e : journal.entries) {
      const std::string name(platform::FileNameOf(e.workingFile));
      if (running) {
        known.busy.insert(name);
      } else {
        known.journaled[name] = {e, journal.path};
      }
    }
    for (const std::string& w : journal.untrustedWorkingFiles)
      (running ? known.busy : known.untrusted).insert(std::string(platform::FileNameOf(w)));
    if (running) {
      found.liveJournals.push_back(path);
    } else {
      found.journals.push_back(path);
      if (lock->Held()) found.locks[path] = std::move(lock);
    }
  }
  return known;
}

// Repairs the file and gives it its name; the reason when that failed.
std::string RecoverFile(const InterruptedFile& f, std::string& recoveredFile) {
  std::string error = Repair(f);
  for (int attempt = 0; error.empty() && attempt < 1000; ++attempt) {
    const std::string name = RecoveredNameCandidate(f, attempt);
    if (platform::RenameWithoutReplacing(f.workingFile, name)) {
      recoveredFile = name;
      return {};
    }
    if (!platform::FileExists(name)) error = "cannot be renamed to " + name;
  }
  return error.empty() ? "no free name" : error;
}

// A journal goes once none of the working files it names is left; it is
// removed through its lock, which keeps others from removing it meanwhile.
void RemoveJournalIfDone(const InterruptedRecordings& found, const std::string& path) {
  auto there = [&](const std::string& w) {
    return platform::FileExists(platform::JoinPath(found.folder, platform::FileNameOf(w)));
  };
  const JournalFile j = ReadJournal(path);
  if (!j.readable) return;
  for (const JournalEntry& e : j.entries)
    if (there(e.workingFile)) return;
  for (const std::string& w : j.untrustedWorkingFiles)
    if (there(w)) return;
  auto lock = found.locks.find(path);
  if (lock == found.locks.end() || !lock->second->Remove()) platform::DeleteFile(path);
}

}  // namespace

bool IsWorkingFileName(const std::string& name) {
  if (name.size() < 8 || name.rfind("wav", 0) != 0 || name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
  return std::all_of(name.begin() + 3, name.end() - 4, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

InterruptedRecordings FindInterruptedRecordings(const std::string& folder) {
  InterruptedRecordings found;
  found.folder = folder;
  while (found.folder.size() > 1 && found.folder.back() == '/') found.folder.pop_back();
  KnownWorkingFiles known = ReadJournalsOf(found);
  for (const std::string& path : WorkingFilesIn(found.folder)) {
    const std::string name(platform::FileNameOf(path));
    if (known.busy.count(name)) continue;
    InterruptedFile f;
    f.workingFile = path;
    auto it = known.journaled.find(name);
    f.journaled = it != known.journaled.end();
    if (f.journaled) {
      f.entry = it->second.first;
      f.journalPath = it->second.second;
    } else if (!known.untrusted.count(name) && !QuietFor(path, kUnjournaledQuietSeconds)) {
      continue;
    }
    WorkingFileHeader h = ReadHeader(path);
    if (!h.valid && f.journaled && h.fileSize >= SkeletonSize(f.entry.fileFormat)) {
      h = JournaledHeader(f.entry, h.fileSize);
    } else if (!h.valid) {
      continue;  // not a recording of ours: left alone
    }
    f.format = h.format;
    f.framesPresent = h.DataBytesPresent() / h.format.BlockAlign();
    f.started = f.journaled && !f.entry.started.empty() ? f.entry.started : FileTimeStamp(path, false);
    if (!f.journaled && !known.untrusted.count(name) && !known.unreadable.empty()) {
      // It may be a running recorder's, named in the journal that cannot be read.
      if (f.framesPresent > 0)
        found.refused.push_back({path, {}, f.framesPresent, "no journal that could be read names it"});
    } else if (f.framesPresent > 0) {
      found.files.push_back(std::move(f));
    } else if (f.journaled) {
      found.emptyWorkingFiles.push_back(path);
    }
  }
  return found;
}

std::string RecoveredNameCandidate(const InterruptedFile& file, int attempt) {
  const std::string folder(platform::FolderOf(file.workingFile));
  std::string stem;
  if (file.journaled && !platform::FileNameOf(file.entry.finalFile).empty()) {
    stem = std::string(platform::FileNameOf(file.entry.finalFile));
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".wav") == 0) stem.resize(stem.size() - 4);
  } else {
    std::string working(platform::FileNameOf(file.workingFile));
    working.resize(working.size() - 4);
    const std::string who = file.journaled && !file.entry.label.empty() ? file.entry.label : "unknown_channel";
    stem = who + "_" + FileTimeStamp(file.workingFile, true) + "_" + working;
    if (attempt == 0) attempt = 1;  // always says it was recovered
  }
  if (attempt == 1) stem += "_recovered";
  if (attempt > 1) stem += "_recovered_" + std::to_string(attempt);
  return platform::JoinPath(folder, stem + ".wav");
}

std::vector<RecoveredFile> RecoverRecordings(const InterruptedRecordings& found) {
  std::vector<RecoveredFile> results;
  const std::string unwritable = found.files.empty() ? "" : platform::FolderWriteProblem(found.folder);
  for (const InterruptedFile& f : found.files) {
    RecoveredFile r{f.workingFile, {}, f.framesPresent, {}};
    // Nothing is touched where the rename that ends a repair would fail.
    r.error = unwritable.empty() ? RecoverFile(f, r.recoveredFile) : "the folder cannot be written: " + unwritable;
    if (r.error.empty()) {
      platform::SyncFolder(found.folder);
      platform::Trace("Recovered %s as %s (%llu frames)\n", r.workingFile.c_str(), r.recoveredFile.c_str(),
                      static_cast<unsigned long long>(r.frames));
    } else {
      platform::Trace("Cannot recover %s: %s\n", r.workingFile.c_str(), r.error.c_str());
    }
    results.push_back(std::move(r));
  }
  if (unwritable.empty()) {
    // An empty working file holds nothing to recover; its journal named it ours.
    for (const std::string& empty : found.emptyWorkingFiles) platform::DeleteFile(empty);
    for (const std::string& path : found.journals) RemoveJournalIfDone(found, path);
    platform::SyncFolder(found.folder);
  }
  results.insert(results.end(), found.refused.begin(), found.refused.end());
  return results;
}

}  // namespace varnel
