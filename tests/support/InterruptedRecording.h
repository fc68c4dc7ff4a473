#pragma once
// Leftovers of an interrupted recording made by hand: a working file as a
// killed recorder leaves it (RIFF size 4, data as appended) and the journal of
// a recorder that is no longer running.

#include <chrono>
#include <cstring>
#include <filesystem>
#include <ctime>
#include <string>
#include <vector>

#include "platform/FixedString.h"
#include "platform/Files.h"
#include "recovery/RecordingJournal.h"
#include "recovery/RecoverWorkingFiles.h"
#include "support/TempDir.h"
#include "ui/QuietUiServices.h"
#include "wave/WaveIO.h"

namespace varnel::test {

// Sample f of a test recording.
inline int16_t PatternSample(int64_t f) { return static_cast<int16_t>((f * 37) % 30011 - 15000); }

inline CalibrationRecord TestCalibration(float ratio) {
  CalibrationRecord r{};
  CopyCut(r.CalFileName, "/cal/mic.cal");
  r.Left.CalibrationValid = 1;
  r.Left.CalRatio = ratio;
  CopyCut(r.Left.LabelLinear, "Pa");
  CopyCut(r.Left.ChannelName, "Mic");
  return r;
}

// A working file holding `frames` frames of the pattern, left as a crash
// leaves it; returns its path.
inline std::string MakeWorkingFile(const std::string& folder, const std::string& finalName, uint32_t frames,
                                   uint32_t rate = 8000, const WaveFileChoice& choice = {}) {
  ui::QuietUiServices ui;
  SampleFormat format;
  format.Set(rate, 1, 2);
  WaveIO wave(ui, format, folder, choice);
  wave.SetFileName(finalName);
  std::vector<int16_t> block(frames);
  for (uint32_t f = 0; f < frames; ++f) block[f] = PatternSample(f);
  if (frames) wave.Append(block.data(), frames * 2);
  return std::string(FieldText(wave.WorkingFileName));
}

inline JournalEntry EntryFor(const std::string& working, const std::string& finalName, int32_t channel,
                             bool withCalibration = true, uint32_t rate = 8000) {
  JournalEntry e;
  e.channel = channel;
  e.workingFile = working;
  e.finalFile = finalName;
  e.label = "Channel_" + std::to_string(channel);
  e.format.Set(rate, 1, 2);
  e.started = "2026-12-09 05:30:00";
  e.storeCalibration = withCalibration;
  if (withCalibration) e.calibration = TestCalibration(0.25f + channel);
  return e;
}

// The journal of a recorder that is gone.
inline std::string WriteDeadJournal(const std::string& folder, const std::vector<JournalEntry>& entries,
                                    const std::string& name = "varnel-journal-1.ini") {
  JournalFile j;
  j.owner = "no-such-boot 1 1";
  j.started = "2026-12-09 05:30:00";
  j.entries = entries;
  WriteFile(folder + "/" + name, FormatJournal(j));
  return folder + "/" + name;
}

inline uint32_t U32AtFile(const std::string& path, std::size_t offset) {
  const std::string bytes = ReadFile(path);
  uint32_t v = 0;
  if (bytes.size() >= offset + 4) std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}

// How many working files in `folder` count samples in their data size: a
// running recorder has appended to them.
inline int WorkingFilesWithData(const std::string& folder) {
  int count = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    if (IsWorkingFileName(e.path().filename().string()) && U32AtFile(e.path().string(), 40) > 0) ++count;
  return count;
}

// Makes a file look untouched for a while.
inline void AgeFile(const std::string& path, int seconds) {
  std::error_code ec;
  std::filesystem::last_write_time(
      path, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(seconds), ec);
}

}  // namespace varnel::test
