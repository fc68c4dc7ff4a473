#pragma once
// The broadcast extension chunk ("bext") of a broadcast wave file: 602 bytes
// of fixed fields, then the coding history. Text fields are ASCII, cut to
// their size, NUL-padded; integers little-endian.
//
// Plain values; safe from any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RiffFile.h"
#include "wave/RecordingStart.h"
#include "wave/SampleFormat.h"

namespace varnel::wave {

inline constexpr platform::FourCC kBextId = platform::MakeFourCC('b', 'e', 'x', 't');
inline constexpr std::size_t kBextFixedSize = 602;

struct Bext {
  std::string description;          // 256
  std::string originator;           // 32
  std::string originatorReference;  // 32
  std::string originationDate;      // 10, "yyyy-mm-dd"
  std::string originationTime;      // 8, "hh-mm-ss"
  uint64_t timeReference = 0;       // samples since midnight at the first sample
  uint16_t version = 2;
  std::array<unsigned char, 64> umid{};
  // Loudness values of version 2; 0x7fff is "not measured".
  int16_t loudnessValue = 0x7fff;
  int16_t loudnessRange = 0x7fff;
  int16_t maxTruePeakLevel = 0x7fff;
  int16_t maxMomentaryLoudness = 0x7fff;
  int16_t maxShortTermLoudness = 0x7fff;
  std::string codingHistory;
};

// The chunk's content: the fixed fields and the coding history in a field of
// historySize bytes (cut to fit, NUL-padded).
std::vector<unsigned char> EncodeBext(const Bext& bext, std::size_t historySize);
// Nothing when the content is shorter than the fixed fields.
std::optional<Bext> DecodeBext(const unsigned char* content, std::size_t size);

// The description's key=value lines that this system writes.
inline constexpr std::string_view kStartUtcKey = "varnel-start-utc";
inline constexpr std::string_view kZoneOffsetKey = "varnel-zone-offset";
inline constexpr std::string_view kChannelKey = "varnel-channel";
inline constexpr std::string_view kUnitKey = "varnel-unit";
// A float file whose samples are values in these units (an export), not converter codes.
inline constexpr std::string_view kValuesKey = "varnel-values";
// The value of a key=value line of a description or a coding history's
// ";key=value" items; nothing when the key is not there.
std::optional<std::string> DescriptionValue(std::string_view description, std::string_view key);
std::optional<std::string> CodingHistoryValue(std::string_view history, std::string_view key);

// What a recording's file carries: its start, channel, board and gain.
Bext BextForRecording(const RecordingStart& start, const SampleFormat& format);

}  // namespace varnel::wave
