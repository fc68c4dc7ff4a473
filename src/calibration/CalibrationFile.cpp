#include "calibration/CalibrationFile.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "calibration/CalibrationNumbers.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/Profile.h"

namespace varnel {
namespace {

constexpr const char* kSection = "Calibration";
constexpr std::size_t kNumberBuffer = 80;
constexpr std::size_t kLabelBuffer = 60;
constexpr std::size_t kNameBuffer = 40;

// One key of the file and where its value lives in a ChannelCalibration. The
// order is the order of reading and writing.
enum class KeyKind { Real, Integer, Text };

struct CalibrationKey {
  const char* name;
  KeyKind kind;
  const char* defaultText;
  std::size_t bufferSize;
  std::size_t offset;  // of the field within ChannelCalibration
};

constexpr CalibrationKey kKeys[] = {
    {"RefLevel", KeyKind::Real, "1.0", kNumberBuffer, offsetof(ChannelCalibration, RefLevel)},
    {"RefUnits", KeyKind::Integer, "1", kNumberBuffer, offsetof(ChannelCalibration, RefUnits)},
    {"RefType", KeyKind::Integer, "1", kNumberBuffer, offsetof(ChannelCalibration, RefType)},
    {"ConversionType", KeyKind::Integer, "0", kNumberBuffer, offsetof(ChannelCalibration, ConversionType)},
    {"IntegrationType", KeyKind::Integer, "0", kNumberBuffer, offsetof(ChannelCalibration, IntegrationType)},
    {"LabelLinear", KeyKind::Text, "millivolts rms", kLabelBuffer, offsetof(ChannelCalibration, LabelLinear)},
    {"LabelLog", KeyKind::Text, "dBmV rms", kLabelBuffer, offsetof(ChannelCalibration, LabelLog)},
    {"LabelType", KeyKind::Integer, "1", kNumberBuffer, offsetof(ChannelCalibration, LabelType)},
    {"PctFullScaleLeft", KeyKind::Real, "0.50", kNumberBuffer, offsetof(ChannelCalibration, PctFullScale)},
    {"CalRatioLeft", KeyKind::Real, "1.0", kNumberBuffer, offsetof(ChannelCalibration, CalRatio)},
    {"LeftChannelName", KeyKind::Text, "Left", kNameBuffer, offsetof(ChannelCalibration, ChannelName)},
};

static_assert(sizeof(ChannelCalibration::LabelLinear) == kLabelBuffer);
static_assert(sizeof(ChannelCalibration::LabelLog) == kLabelBuffer);
static_assert(sizeof(ChannelCalibration::ChannelName) == kNameBuffer);

// The fields are packed: go through memcpy, never through a typed pointer.
char* FieldOf(ChannelCalibration& half, const CalibrationKey& key) {
  return reinterpret_cast<char*>(&half) + key.offset;
}

void StoreValue(ChannelCalibration& half, const CalibrationKey& key, const std::string& text) {
  char* field = FieldOf(half, key);
  switch (key.kind) {
    case KeyKind::Real: {
      const float value = ToCalibrationFloat(ParseCalibrationReal(text));
      std::memcpy(field, &value, sizeof value);
      break;
    }
    case KeyKind::Integer: {
      const int32_t value = platform::ParseProfileInt(text, 0);
      std::memcpy(field, &value, sizeof value);
      break;
    }
    case KeyKind::Text:
      std::memset(field, 0, key.bufferSize);
      std::memcpy(field, text.data(), std::min(text.size(), key.bufferSize - 1));
      break;
  }
}

std::string FormatValue(const ChannelCalibration& half, const CalibrationKey& key) {
  const char* field = reinterpret_cast<const char*>(&half) + key.offset;
  switch (key.kind) {
    case KeyKind::Real: {
      float value;
      std::memcpy(&value, field, sizeof value);
      return FormatCalibrationReal(value);
    }
    case KeyKind::Integer: {
      int32_t value;
      std::memcpy(&value, field, sizeof value);
      return std::to_string(value);
    }
    case KeyKind::Text:
      return std::string(field, strnlen(field, key.bufferSize));
  }
  return {};
}

bool Fail(CalibrationProblem* problem, CalibrationError error, int32_t channel, const char* path) {
  if (problem) *problem = {error, channel, path};
  return false;
}

}  // namespace

std::string CalibrationErrorText(CalibrationError error, int32_t channel, std::string_view path) {
  switch (error) {
    case CalibrationError::kNone:
      return {};
    case CalibrationError::kNotSpecified:
      return "Calibration file not specified for channel " + std::to_string(channel);
    case CalibrationError::kCannotOpen:
      break;
  }
  return "Failure opening calibration file: \"" + std::string(path) + " for channel " + std::to_string(channel);
}

bool CalibrationFile::Read(const char* path, CalibrationRecord* record, int32_t channel, int32_t gain,
                           CalibrationProblem* problem) {
  if (path == nullptr || record == nullptr) return false;
  if (*path == '\0') return Fail(problem, CalibrationError::kNotSpecified, channel, path);
  // Only a readable regular file with its section counts: a folder, a pipe or
  // a file of something else would otherwise pass as a default calibration.
  const platform::ProfileReader file(path);
  if (!file.Readable() || !file.HasSection(kSection))
    return Fail(problem, CalibrationError::kCannotOpen, channel, path);
  CopyCut(record->CalFileName, path);
  ChannelCalibration& left = record->Left;
  left.CalibrationValid = 1;
  for (const CalibrationKey& key : kKeys)
    StoreValue(left, key, file.ReadString(kSection, key.name, key.defaultText, key.bufferSize));
  left.PctFullScale = ToCalibrationFloat(static_cast<long double>(left.PctFullScale) * gain);
  std::memcpy(&record->Right, &record->Left, sizeof(ChannelCalibration));
  return true;
}

bool CalibrationFile::Write(const char* path, CalibrationRecord* record) {
  if (path == nullptr || record == nullptr) return false;
  CopyCut(record->CalFileName, path);
  // All eleven values land in one rewrite: a failed write leaves no half-new file.
  platform::ProfileEdit edit(path);
  for (const CalibrationKey& key : kKeys) edit.WriteString(kSection, key.name, FormatValue(record->Left, key));
  return edit.Commit();
}

}  // namespace varnel
