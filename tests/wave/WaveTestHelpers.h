#pragma once
// Helpers shared by the wave tests: sample blocks, little-endian fields, a
// recording made in one call, and a UiServices that answers OK to anything.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FixedString.h"
#include "support/ScriptedUiServices.h"
#include "ui/QuietUiServices.h"
#include "wave/WaveIO.h"

namespace varnel::test {

inline std::vector<int16_t> Samples(std::size_t count, int seed = 1) {
  std::vector<int16_t> out(count);
  uint32_t x = static_cast<uint32_t>(seed) * 2654435761u;
  for (auto& s : out) {
    x = x * 1103515245u + 12345u;
    s = static_cast<int16_t>(x >> 16);
  }
  return out;
}

inline uint32_t U32At(const std::string& bytes, std::size_t offset) {
  uint32_t v = 0;
  std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}
inline uint16_t U16At(const std::string& bytes, std::size_t offset) {
  uint16_t v = 0;
  std::memcpy(&v, bytes.data() + offset, 2);
  return v;
}

inline std::string Bytes(const void* data, std::size_t size) {
  return std::string(static_cast<const char*>(data), size);
}

inline SampleFormat Format(uint32_t rate, uint32_t channels, uint32_t bytesPerSample) {
  SampleFormat f;
  f.Set(rate, channels, bytesPerSample);
  return f;
}

// Files in a folder whose names start with "wav" and end in ".tmp".
inline std::vector<std::string> WorkingFiles(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    std::string name = e.path().filename().string();
    if (name.rfind("wav", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tmp")
      out.push_back(e.path().string());
  }
  return out;
}

inline CalibrationRecord SampleCalibration(const char* left = "Mic 1", const char* right = "Mic 2") {
  CalibrationRecord r{};
  CopyCut(r.CalFileName, "/home/user/orvanta/cal/mic.cal");
  r.Left.CalibrationValid = 1;
  r.Left.RefLevel = 94.0f;
  r.Left.RefType = 2;
  r.Left.RefUnits = 3;
  CopyCut(r.Left.LabelLinear, "Pa");
  CopyCut(r.Left.LabelLog, "dB SPL");
  r.Left.LabelType = 1;
  r.Left.PctFullScale = 0.5f;
  r.Left.CalRatio = 1.25f;
  r.Left.ConversionType = 4;
  r.Left.IntegrationType = 5;
  CopyCut(r.Left.ChannelName, left);
  r.Right = r.Left;
  r.Right.CalRatio = 2.5f;
  CopyCut(r.Right.ChannelName, right);
  return r;
}

// The start of a recording at 2026-12-09 15:00:00.000123 local time (UTC+1).
inline RecordingStart SampleStart(uint32_t rate = 25000) {
  RecordingStart s;
  s.utcMicroseconds = 1796824800000123;  // 2026-12-09T14:00:00.000123Z
  s.zoneOffsetSeconds = 3600;
  s.sampleRate = rate;
  s.label = "Mic 1";
  s.unit = "Pa";
  s.board = "Simulated DT9834";
  s.gain = 2;
  return s;
}

inline WaveFileChoice Broadcast(const RecordingStart& start = SampleStart()) {
  return {WaveFileFormat::kBroadcast, start};
}

// Records the bytes into folder and saves them as finalName; the object is closed.
inline bool Record(ui::UiServices& ui, const std::string& folder, const std::string& finalName,
                   const SampleFormat& format, const std::string& bytes, const CalibrationRecord* cal = nullptr,
                   const WaveFileChoice& choice = {}) {
  WaveIO wave(ui, format, folder, choice);
  if (wave.Failed == 1) return false;
  wave.SetFormat(format);
  wave.SetFileName(finalName);
  if (!bytes.empty() && wave.Append(bytes.data(), static_cast<uint32_t>(bytes.size())) != 1) return false;
  if (cal) wave.SetCalibration(*cal);
  return wave.Close() == 1;
}

using QuietUiServices = ui::QuietUiServices;

}  // namespace varnel::test
