#pragma once
// The abstract state of one control: what a view shows and what logic reads.
// Views copy these states onto widgets; they never keep a second copy.

#include <cstdint>
#include <string>
#include <vector>

namespace varnel::ui {

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

enum class ControlKind {
  PushButton,
  DefaultPushButton,
  CheckBox,     // automatic: a click toggles it
  RadioButton,  // automatic: a click ticks it and clears the others of its group
  Edit,
  ComboBox,     // drop-down list, optionally editable
  StaticText,
  GroupBox,
};

struct ListItem {
  std::string text;
  intptr_t data = 0;
  bool operator==(const ListItem&) const = default;
};

struct ControlState {
  int32_t id = 0;
  ControlKind kind = ControlKind::StaticText;
  std::string text;
  bool ticked = false;
  bool enabled = true;
  bool shown = true;
  Rect rect;                   // pixels, relative to the dialog's client area
  int32_t radioGroup = 0;      // radio buttons with the same non-zero group exclude each other
  std::vector<ListItem> items; // combo boxes
  int32_t selection = -1;      // index into items, -1 for none
  bool editable = false;       // combo boxes whose edit part takes typing
  bool sunken = false;         // static texts drawn with a sunken edge
};

}  // namespace varnel::ui
