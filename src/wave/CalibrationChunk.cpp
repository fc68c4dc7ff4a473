#include "wave/CalibrationChunk.h"

#include <cstring>

#include "wave/WaveLayout.h"

namespace varnel {

// The record is packed: its fields are reached by offset, never by reference.
#define VARNEL_TAKE(block, field, at) \
  std::memcpy(reinterpret_cast<unsigned char*>(&(block)) + offsetof(ChannelCalibration, field), chunk + (at), \
              sizeof(ChannelCalibration::field))

void ConvertEarlierCalibration(const unsigned char (&chunk)[kEarlierCalibrationSize], CalibrationRecord& record) {
  ChannelCalibration& left = record.Left;
  VARNEL_TAKE(left, CalibrationValid, 0);
  std::memcpy(record.CalFileName, chunk + 4, 256);
  VARNEL_TAKE(left, RefLevel, 260);
  VARNEL_TAKE(left, RefType, 264);
  VARNEL_TAKE(left, RefUnits, 268);
  VARNEL_TAKE(left, LabelLinear, 272);
  VARNEL_TAKE(left, LabelLog, 332);
  VARNEL_TAKE(left, LabelType, 392);
  VARNEL_TAKE(left, PctFullScale, 396);
  VARNEL_TAKE(left, CalRatio, 404);
  VARNEL_TAKE(left, ConversionType, 412);
  VARNEL_TAKE(left, IntegrationType, 416);
  VARNEL_TAKE(left, ChannelName, 420);

  record.Right = left;
  VARNEL_TAKE(record.Right, PctFullScale, 400);
  VARNEL_TAKE(record.Right, CalRatio, 408);
  VARNEL_TAKE(record.Right, ChannelName, 460);
}

#undef VARNEL_TAKE

void NameUnnamedChannels(CalibrationRecord& record) {
  // Only the name and its terminator are written; the rest of the field stays as stored.
  if (record.Left.ChannelName[0] == '\0') std::memcpy(record.Left.ChannelName, "Left", 5);
  if (record.Right.ChannelName[0] == '\0') std::memcpy(record.Right.ChannelName, "Right", 6);
}

bool ReadStoredCalibration(platform::RiffFile& file, CalibrationRecord& record) {
  // The record is taken whole or not at all: a short chunk leaves the held one alone.
  CalibrationRecord current;
  const auto chunk = wave::FindTopLevelChunk(file, kCalibrationChunkId);
  bool found = chunk && file.Seek(chunk->dataOffset) && file.Read(&current, sizeof current) == sizeof current;
  if (found) record = current;
  if (!found) {
    unsigned char earlier[kEarlierCalibrationSize] = {};
    const auto old = wave::FindTopLevelChunk(file, kEarlierCalibrationChunkId);
    found = old && file.Seek(old->dataOffset) && file.Read(earlier, sizeof earlier) == sizeof earlier;
    if (found) ConvertEarlierCalibration(earlier, record);
  }
  if (found) NameUnnamedChannels(record);
  return found;
}

}  // namespace varnel
