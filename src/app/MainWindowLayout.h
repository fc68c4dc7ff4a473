#pragma once
// The main window's controls: ids, the row table of the channel grid and the
// layout, in pixels from the dialog-unit layout of the window resource.

#include <array>
#include <cstdint>

#include "records/ChannelSettings.h"
#include "ui/ControlState.h"

namespace varnel {

inline constexpr int32_t kIdRun = 1000;
inline constexpr int32_t kIdOptions = 1002;
inline constexpr int32_t kIdDeviceList = 1005;
inline constexpr int32_t kIdSamplingRate = 1079;
inline constexpr int32_t kIdStatus = 1100;
inline constexpr int32_t kIdGridFrame = 1144;

// The eight controls of one grid row, in the row table's order.
struct GridRow {
  int32_t number;
  int32_t label;
  int32_t enable;
  int32_t rec;
  int32_t left;
  int32_t right;
  int32_t cal;
  int32_t gain;
};

inline constexpr std::array<GridRow, kChannelCount> kGridRows = {{
    {1143, 1070, 1038, 1006, 1022, 1039, 1121, 1088}, {1111, 1072, 1055, 1007, 1023, 1040, 1122, 1089},
    {1112, 1073, 1056, 1008, 1024, 1041, 1123, 1090}, {1115, 1074, 1057, 1009, 1025, 1042, 1124, 1091},
    {1114, 1075, 1058, 1010, 1026, 1043, 1125, 1092}, {1116, 1076, 1059, 1011, 1027, 1044, 1126, 1093},
    {1117, 1077, 1060, 1012, 1028, 1045, 1127, 1094}, {1118, 1078, 1061, 1013, 1029, 1046, 1128, 1095},
    {1119, 1080, 1062, 1014, 1030, 1047, 1129, 1096}, {1120, 1081, 1063, 1015, 1031, 1048, 1130, 1097},
    {1137, 1082, 1064, 1016, 1032, 1049, 1131, 1098}, {1138, 1083, 1065, 1017, 1033, 1050, 1132, 1101},
    {1139, 1084, 1066, 1018, 1034, 1051, 1133, 1102}, {1140, 1085, 1067, 1019, 1035, 1052, 1134, 1103},
    {1141, 1086, 1068, 1020, 1036, 1053, 1135, 1104}, {1142, 1087, 1069, 1021, 1037, 1054, 1136, 1105},
}};

// Radio groups of the L and R columns.
inline constexpr int32_t kLeftGroup = 1;
inline constexpr int32_t kRightGroup = 2;

// Window size in dialog units before the grid is fitted.
inline constexpr int32_t kMainWidthDlu = 206;
inline constexpr int32_t kMainHeightDlu = 247;

// Which grid column a control id belongs to, and its row; row -1 when none.
enum class GridColumn { None, Number, Label, Enable, Rec, Left, Right, Cal, Gain };
struct GridHit {
  GridColumn column = GridColumn::None;
  int32_t row = -1;
};
GridHit FindGridControl(int32_t id);

// Layout rectangles in client pixels.
ui::Rect GridRowRect(GridColumn column, int32_t row);

}  // namespace varnel
