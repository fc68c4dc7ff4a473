#include "wave/CalibrationChunk.h"

#include <cstring>

namespace varnel {
namespace {

template <typename T>
void Take(T& field, const unsigned char* chunk, std::size_t offset) {
  std::memcpy(&field, chunk + offset, sizeof field);
}

}  // namespace

void ConvertEarlierCalibration(const unsigned char (&chunk)[kEarlierCalibrationSize], CalibrationRecord& record) {
  ChannelCalibration& left = record.Left;
  Take(left.CalibrationValid, chunk, 0);
  std::memcpy(record.CalFileName, chunk + 4, 256);
  Take(left.RefLevel, chunk, 260);
  Take(left.RefType, chunk, 264);
  Take(left.RefUnits, chunk, 268);
  Take(left.LabelLinear, chunk, 272);
  Take(left.LabelLog, chunk, 332);
  Take(left.LabelType, chunk, 392);
  Take(left.PctFullScale, chunk, 396);
  Take(left.CalRatio, chunk, 404);
  Take(left.ConversionType, chunk, 412);
  Take(left.IntegrationType, chunk, 416);
  Take(left.ChannelName, chunk, 420);

  record.Right = left;
  Take(record.Right.PctFullScale, chunk, 400);
  Take(record.Right.CalRatio, chunk, 408);
  Take(record.Right.ChannelName, chunk, 460);
}

void NameUnnamedChannels(CalibrationRecord& record) {
  // Only the name and its terminator are written; the rest of the field stays as stored.
  if (record.Left.ChannelName[0] == '\0') std::memcpy(record.Left.ChannelName, "Left", 5);
  if (record.Right.ChannelName[0] == '\0') std::memcpy(record.Right.ChannelName, "Right", 6);
}

}  // namespace varnel
