#include "recovery/RecordingJournal.h"

#include <unistd.h>  // getpid

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "platform/Clock.h"
#include "platform/FileSync.h"
#include "platform/Files.h"

namespace varnel {
namespace {

constexpr const char* kRecordingSection = "[Recording]";
constexpr const char* kFileSection = "[File]";
constexpr uintmax_t kLargestJournal = 1024 * 1024;

uint64_t Fnv1a(std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string Hex64(uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

std::string ToHex(const void* data, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char b = static_cast<const unsigned char*>(data)[i];
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool FromHex(std::string_view text, void* data, std::size_t size) {
  if (text.size() != size * 2) return false;
  auto* out = static_cast<unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    const int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = static_cast<unsigned char>(hi << 4 | lo);
  }
  return true;
}

std::optional<uint32_t> ParseNumber(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(v);
}

std::string FormatEntry(const JournalEntry& e) {
  std::string body;
  auto put = [&](const char* key, const std::string& value) { body += std::string(key) + "=" + value + "\n"; };
  put("Channel", std::to_string(e.channel));
  put("WorkingFile", e.workingFile);
  put("FinalFile", e.finalFile);
  put("Label", e.label);
  put("SampleRate", std::to_string(e.format.SampleRate));
  put("Channels", std::to_string(e.format.Channels));
  put("BytesPerSample", std::to_string(e.format.BytesPerSample));
  // Only a broadcast file says its layout: a journal of wave files reads as it always did.
  if (e.fileFormat != WaveFileFormat::kWave) put("FileFormat", std::string(WaveFileFormatKey(e.fileFormat)));
  put("Started", e.started);
  put("StoreCalibration", e.storeCalibration ? "1" : "0");
  put("Calibration", e.calibration ? ToHex(&*e.calibration, sizeof(CalibrationRecord)) : "");
  return std::string(kFileSection) + "\n" + body + "Check=" + Hex64(Fnv1a(body)) + "\n";
}

// One [File] section's lines after its head; nothing unless its check holds.
std::optional<JournalEntry> ParseEntry(const std::vector<std::string>& lines, std::string* workingFile) {
  std::string body;
  std::map<std::string, std::string> values;
  std::string check;
  for (const std::string& line : lines) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "WorkingFile") *workingFile = value;
    if (key == "Check") {
      check = value;
      break;
    }
    values[key] = value;
    body += line + "\n";
  }
  if (check.empty() || check != Hex64(Fnv1a(body))) return std::nullopt;
  JournalEntry e;
  auto channel = ParseNumber(values["Channel"]);
  auto rate = ParseNumber(values["SampleRate"]);
  auto channels = ParseNumber(values["Channels"]);
  auto bytes = ParseNumber(values["BytesPerSample"]);
  if (!channel || !rate || !channels || !bytes || values["WorkingFile"].empty()) return std::nullopt;
  e.channel = static_cast<int32_t>(*channel);
  e.workingFile = values["WorkingFile"];
  e.finalFile = values["FinalFile"];
  e.label = values["Label"];
  e.format.Set(*rate, *channels, *bytes);
  e.fileFormat = WaveFileFormatFromKey(values["FileFormat"]).value_or(WaveFileFormat::kWave);
  e.started = values["Started"];
  e.storeCalibration = values["StoreCalibration"] == "1";
  CalibrationRecord record;
  if (FromHex(values["Calibration"], &record, sizeof record)) e.calibration = record;
  return e;
}

}  // namespace

std::string JournalTimeNow() {
  platform::LocalTime t = platform::GetClock().Now();
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

std::string FormatJournal(const JournalFile& journal) {
  std::string text = std::string(kRecordingSection) + "\nOwner=" + journal.owner + "\nStarted=" + journal.started + "\n";
  for (const JournalEntry& e : journal.entries) text += FormatEntry(e);
  return text;
}

JournalFile ParseJournal(const std::string& text) {
  JournalFile journal;
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::size_t i = 0;
  auto sectionEnd = [&](std::size_t from) {
    while (from < lines.size() && (lines[from].empty() || lines[from][0] != '[')) ++from;
    return from;
  };
  while (i < lines.size()) {
    if (lines[i] == kRecordingSection) {
      const std::size_t end = sectionEnd(i + 1);
      for (std::size_t k = i + 1; k < end; ++k) {
        if (lines[k].rfind("Owner=", 0) == 0) journal.owner = lines[k].substr(6);
        if (lines[k].rfind("Started=", 0) == 0) journal.started = lines[k].substr(8);
      }
      i = end;
    } else if (lines[i] == kFileSection) {
      const std::size_t end = sectionEnd(i + 1);
      std::string working;
      auto entry = ParseEntry({lines.begin() + static_cast<std::ptrdiff_t>(i + 1),
                               lines.begin() + static_cast<std::ptrdiff_t>(end)},
                              &working);
      if (entry) {
        journal.entries.push_back(std::move(*entry));
      } else if (!working.empty()) {
        journal.untrustedWorkingFiles.push_back(working);
      }
      i = end;
    } else {
      ++i;
    }
  }
  return journal;
}

bool AnotherRecorderWrites(const std::string& folder) {
  for (const std::string& path : JournalPaths(folder)) {
    platform::FileLock probe;
    if (probe.Take(path) == platform::FileLock::Outcome::kHeldElsewhere) return true;
  }
  return false;
}

std::vector<std::string> JournalPaths(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (const auto& item : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = item.path().filename().string();
    if (name.rfind(kJournalPrefix, 0) != 0 || name.size() < std::strlen(kJournalSuffix) ||
        name.compare(name.size() - std::strlen(kJournalSuffix), std::string::npos, kJournalSuffix) != 0)
      continue;
    // Sixteen entries take about 70 KB; anything far larger is not one of ours.
    std::error_code typeError, sizeError;
    if (item.is_regular_file(typeError) && item.file_size(sizeError) <= kLargestJournal && !sizeError)
      paths.push_back(item.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

JournalFile ReadJournal(const std::string& path) {
  JournalFile journal;
  // Read as the platform reads, which a recorder's lock lets through.
  const std::optional<std::string> text = platform::ReadRegularFile(path);
  if (text) journal = ParseJournal(*text);
  journal.path = path;
  journal.readable = text.has_value();
  return journal;
}

std::vector<JournalFile> ReadJournals(const std::string& folder) {
  std::vector<JournalFile> journals;
  for (const std::string& path : JournalPaths(folder)) journals.push_back(ReadJournal(path));
  return journals;
}

void RecordingJournal::Begin(const std::string& folder) {
  lock_.Release();
  folder_ = folder;
  while (folder_.size() > 1 && folder_.back() == platform::kPathSeparator) folder_.pop_back();
  path_.clear();
  started_ = JournalTimeNow();
  entries_.clear();
  leftBehind_.clear();
  active_ = true;
}

void RecordingJournal::Track(int32_t slot, JournalEntry entry) {
  if (!active_) return;
  auto it = entries_.find(slot);
  if (entry.started.empty()) {
    const bool same = it != entries_.end() && it->second.workingFile == entry.workingFile;
    entry.started = same ? it->second.started : JournalTimeNow();
  }
  entries_[slot] = std::move(entry);
}

void RecordingJournal::Finalised(int32_t slot, bool saved) {
  auto it = entries_.find(slot);
  if (it == entries_.end()) return;
  if (!saved) leftBehind_.push_back(std::move(it->second));
  entries_.erase(it);
}

bool RecordingJournal::Commit() {
  if (!active_) return false;
  JournalFile journal;
  journal.owner = platform::ProcessIdentity();
  journal.started = started_;
  for (const auto& [slot, entry] : entries_) journal.entries.push_back(entry);
  journal.entries.insert(journal.entries.end(), leftBehind_.begin(), leftBehind_.end());
  const std::string text = FormatJournal(journal);
  if (!path_.empty()) return lock_.WriteDurably(path_, text, true);
  // The pid keeps recorders apart, but not those of other PID namespaces or
  // machines: a name that is taken is never replaced, the next one is tried.
  const std::string base = platform::JoinPath(folder_, kJournalPrefix + std::to_string(::getpid()));
  for (int n = 1; n < 1000; ++n) {
    const std::string path = base + (n == 1 ? "" : "-" + std::to_string(n)) + kJournalSuffix;
    if (platform::FileExists(path)) continue;
    if (lock_.WriteDurably(path, text, false)) {
      path_ = path;
      return true;
    }
    if (!platform::FileExists(path)) return false;
  }
  return false;
}

void RecordingJournal::End() {
  if (!active_) return;
  entries_.clear();
  if (leftBehind_.empty()) {
    if (!path_.empty() && !lock_.Remove()) platform::DeleteFile(path_);
  } else {
    Commit();
  }
  // What was left behind is for the next start to recover.
  lock_.Release();
  active_ = false;
  path_.clear();
}

}  // namespace varnel
