#pragma once
// The calibration of one channel as wave files store it and the analyser
// receives it: a byte layout, little-endian, held and copied as it is.

#include <cstddef>
#include <cstdint>

namespace varnel {

#pragma pack(push, 1)

struct ChannelCalibration {
  int32_t CalibrationValid;
  float RefLevel;
  int32_t RefType;
  int32_t RefUnits;
  char LabelLinear[60];
  char LabelLog[60];
  int32_t LabelType;
  float PctFullScale;
  float CalRatio;
  int32_t ConversionType;
  int32_t IntegrationType;
  char ChannelName[40];
  char Reserved[438];
};

struct CalibrationRecord {
  char CalFileName[260];
  ChannelCalibration Left;
  ChannelCalibration Right;
  char Reserved[520];
};

#pragma pack(pop)

static_assert(sizeof(ChannelCalibration) == 634);
static_assert(offsetof(ChannelCalibration, CalibrationValid) == 0);
static_assert(offsetof(ChannelCalibration, RefLevel) == 4);
static_assert(offsetof(ChannelCalibration, RefType) == 8);
static_assert(offsetof(ChannelCalibration, RefUnits) == 12);
static_assert(offsetof(ChannelCalibration, LabelLinear) == 16);
static_assert(offsetof(ChannelCalibration, LabelLog) == 76);
static_assert(offsetof(ChannelCalibration, LabelType) == 136);
static_assert(offsetof(ChannelCalibration, PctFullScale) == 140);
static_assert(offsetof(ChannelCalibration, CalRatio) == 144);
static_assert(offsetof(ChannelCalibration, ConversionType) == 148);
static_assert(offsetof(ChannelCalibration, IntegrationType) == 152);
static_assert(offsetof(ChannelCalibration, ChannelName) == 156);
static_assert(offsetof(ChannelCalibration, Reserved) == 196);

static_assert(sizeof(CalibrationRecord) == 2048);
static_assert(offsetof(CalibrationRecord, CalFileName) == 0);
static_assert(offsetof(CalibrationRecord, Left) == 260);
static_assert(offsetof(CalibrationRecord, Right) == 894);
static_assert(offsetof(CalibrationRecord, Reserved) == 1528);

// The file layout is little-endian and the record is stored as held.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "CalibrationRecord is stored byte for byte");

// All fields zero, as the main window holds a record before any Run.
inline CalibrationRecord ZeroCalibrationRecord() { return CalibrationRecord{}; }

}  // namespace varnel
