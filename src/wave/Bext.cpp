#include "wave/Bext.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/LittleEndian.h"

namespace varnel::wave {
namespace {

using platform::GetLittle;
using platform::PutLittle;

// Offsets of the fixed fields.
constexpr std::size_t kDescription = 0, kOriginator = 256, kReference = 288, kDate = 320, kTime = 330;
constexpr std::size_t kTimeReference = 338, kVersion = 346, kUmid = 348, kLoudness = 412;

void PutText(unsigned char* field, std::size_t size, std::string_view text) {
  std::memcpy(field, text.data(), std::min(size, text.size()));
}

std::string GetText(const unsigned char* field, std::size_t size) {
  const void* end = std::memchr(field, '\0', size);
  const std::size_t n = end ? static_cast<std::size_t>(static_cast<const unsigned char*>(end) - field) : size;
  return std::string(reinterpret_cast<const char*>(field), n);
}

// A value on one line of its own: no line breaks, and no item separators of a coding history.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == ';') c = ' ';
  return out;
}

// Cut to at most `size` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string text, std::size_t size) {
  if (text.size() <= size) return text;
  std::size_t n = size;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  text.resize(n);
  return text;
}

std::optional<std::string> ValueAfter(std::string_view text, std::string_view key, std::string_view before,
                                      std::string_view ends) {
  for (std::size_t at = 0; (at = text.find(key, at)) != std::string_view::npos; at += key.size()) {
    const bool starts = at == 0 || before.find(text[at - 1]) != std::string_view::npos;
    if (!starts || at + key.size() >= text.size() || text[at + key.size()] != '=') continue;
    const std::size_t from = at + key.size() + 1;
    const std::size_t to = text.find_first_of(ends, from);
    return std::string(text.substr(from, to == std::string_view::npos ? std::string_view::npos : to - from));
  }
  return std::nullopt;
}

}  // namespace

std::vector<unsigned char> EncodeBext(const Bext& bext, std::size_t historySize) {
  std::vector<unsigned char> out(kBextFixedSize + historySize, 0);
  unsigned char* p = out.data();
  PutText(p + kDescription, 256, bext.description);
  PutText(p + kOriginator, 32, bext.originator);
  PutText(p + kReference, 32, bext.originatorReference);
  PutText(p + kDate, 10, bext.originationDate);
  PutText(p + kTime, 8, bext.originationTime);
  PutLittle(p + kTimeReference, bext.timeReference, 8);
  PutLittle(p + kVersion, bext.version, 2);
  std::copy(bext.umid.begin(), bext.umid.end(), p + kUmid);
  const int16_t loudness[] = {bext.loudnessValue, bext.loudnessRange, bext.maxTruePeakLevel, bext.maxMomentaryLoudness,
                              bext.maxShortTermLoudness};
  for (int i = 0; i < 5; ++i) PutLittle(p + kLoudness + 2 * i, static_cast<uint16_t>(loudness[i]), 2);
  PutText(p + kBextFixedSize, historySize, bext.codingHistory);
  return out;
}

std::optional<Bext> DecodeBext(const unsigned char* p, std::size_t size) {
  if (size < kBextFixedSize) return std::nullopt;
  Bext b;
  b.description = GetText(p + kDescription, 256);
  b.originator = GetText(p + kOriginator, 32);
  b.originatorReference = GetText(p + kReference, 32);
  b.originationDate = GetText(p + kDate, 10);
  b.originationTime = GetText(p + kTime, 8);
  b.timeReference = GetLittle(p + kTimeReference, 8);
  b.version = static_cast<uint16_t>(GetLittle(p + kVersion, 2));
  std::copy(p + kUmid, p + kUmid + 64, b.umid.begin());
  int16_t* loudness[] = {&b.loudnessValue, &b.loudnessRange, &b.maxTruePeakLevel, &b.maxMomentaryLoudness,
                         &b.maxShortTermLoudness};
  for (int i = 0; i < 5; ++i) *loudness[i] = static_cast<int16_t>(GetLittle(p + kLoudness + 2 * i, 2));
  b.codingHistory = GetText(p + kBextFixedSize, size - kBextFixedSize);
  return b;
}

std::optional<std::string> DescriptionValue(std::string_view description, std::string_view key) {
  return ValueAfter(description, key, "\r\n", "\r\n");
}

std::optional<std::string> CodingHistoryValue(std::string_view history, std::string_view key) {
  return ValueAfter(history, key, ";", ";\r\n");
}

Bext BextForRecording(const RecordingStart& start, const SampleFormat& format) {
  const int64_t utc = FileStartUtcMicroseconds(start);
  const std::string utcText = FormatUtcMicroseconds(utc);
  Bext b;
  std::string lines = std::string(kStartUtcKey) + "=" + utcText + "\n" + std::string(kZoneOffsetKey) + "=" +
                      FormatZoneOffset(start.zoneOffsetSeconds) + "\n";
  if (!start.unit.empty()) lines += std::string(kUnitKey) + "=" + CutUtf8(OneLine(start.unit), 60) + "\n";
  const std::string channel = std::string(kChannelKey) + "=";
  // The label is the one field of any length: it gets what is left.
  if (lines.size() + channel.size() + 1 < 256)
    lines += channel + CutUtf8(OneLine(start.label), 256 - lines.size() - channel.size() - 1) + "\n";
  b.description = lines;
  b.originator = "Varnel";
  std::string compact = utcText;
  compact.erase(std::remove_if(compact.begin(), compact.end(), [](char c) { return c == '-' || c == ':'; }),
                compact.end());
  b.originatorReference = "varnel-" + compact;

  const LocalSampleTime local = FileLocalSampleTime(start);
  const uint64_t second = start.sampleRate ? local.samplesSinceMidnight / start.sampleRate : 0;
  char date[16], time[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", local.date.year, local.date.month, local.date.day);
  std::snprintf(time, sizeof time, "%02d-%02d-%02d", static_cast<int>(second / 3600),
                static_cast<int>(second / 60 % 60), static_cast<int>(second % 60));
  b.originationDate = date;
  b.originationTime = time;
  b.timeReference = local.samplesSinceMidnight;
  b.codingHistory = "A=PCM,F=" + std::to_string(format.SampleRate) + ",W=" + std::to_string(format.BitsPerSample) +
                    (format.Channels == 2 ? ",M=stereo" : ",M=mono") + ",T=Varnel;gain=" + std::to_string(start.gain) +
                    ";board=" + OneLine(start.board) + "\r\n";
  return b;
}

}  // namespace varnel::wave
