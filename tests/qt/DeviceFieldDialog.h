#pragma once
// The main window's device field alone (a drop-down list 75 dialog units
// wide) with a short name, a simulated board's and a sound card's long one,
// for the views' tests of what the field and its list show.

#include "ui/Dialog.h"
#include "ui/DialogUnits.h"

namespace varnel::test {

inline constexpr const char* kSimulatedName = "Simulated DT9834(00)";
inline constexpr const char* kSoundCardName = "USB Audio CODEC: USB Audio (hw:CODEC,0)";
inline constexpr const char* kShortName = "Line In (hw:1,0)";

class DeviceFieldDialog : public ui::Dialog {
 public:
  static constexpr int32_t kList = 1005;
  static inline const ui::Rect kListRect = ui::DluRect(105, 11, 75, 12);
  DeviceFieldDialog() : Dialog("Devices", 206, 40) {
    AddControl(kList, ui::ControlKind::ComboBox, "", kListRect).editable = true;
    for (const char* name : {kSimulatedName, kSoundCardName, kShortName}) AddListItem(kList, name, 0);
  }
};

}  // namespace varnel::test
