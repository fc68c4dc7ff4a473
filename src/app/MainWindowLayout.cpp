#include "app/MainWindowLayout.h"

#include "ui/DialogUnits.h"

namespace varnel {

GridHit FindGridControl(int32_t id) {
  for (int32_t row = 0; row < kChannelCount; ++row) {
    const GridRow& r = kGridRows[row];
    const std::array<std::pair<int32_t, GridColumn>, 8> columns = {{{r.number, GridColumn::Number},
                                                                    {r.label, GridColumn::Label},
                                                                    {r.enable, GridColumn::Enable},
                                                                    {r.rec, GridColumn::Rec},
                                                                    {r.left, GridColumn::Left},
                                                                    {r.right, GridColumn::Right},
                                                                    {r.cal, GridColumn::Cal},
                                                                    {r.gain, GridColumn::Gain}}};
    for (const auto& [controlId, column] : columns) {
      if (controlId == id) return {column, row};
    }
  }
  return {};
}

ui::Rect GridRowRect(GridColumn column, int32_t row) {
  const int32_t y = 65 + 10 * row;
  switch (column) {
    case GridColumn::Number:
      return ui::DluRect(row >= 10 ? 9 : 12, y + 1, 10, 8);
    case GridColumn::Label:
      return ui::DluRect(23, y, 44, 10);
    case GridColumn::Enable:
      return ui::DluRect(72, y, 10, 10);
    case GridColumn::Rec:
      return ui::DluRect(88, y, 10, 10);
    case GridColumn::Left:
      return ui::DluRect(101, y, 10, 10);
    case GridColumn::Right:
      return ui::DluRect(114, y, 10, 10);
    case GridColumn::Cal:
      return ui::DluRect(126, y, 11, 10);
    case GridColumn::Gain:
      return ui::DluRect(141, y, 11, 10);
    case GridColumn::None:
      break;
  }
  return {};
}

}  // namespace varnel
