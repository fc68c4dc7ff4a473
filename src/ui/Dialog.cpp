#include "ui/Dialog.h"

#include <algorithm>

namespace varnel::ui {
namespace {
// Unknown ids behave like a missing control: reads give an empty state and
// writes are ignored, as with a control handle that does not exist.
const ControlState kMissing{};
thread_local ControlState g_scratch;  // absorbs writes to unknown ids
}  // namespace

Dialog::Dialog(std::string title, int32_t widthDlu, int32_t heightDlu)
    : title_(std::move(title)), widthDlu_(widthDlu), heightDlu_(heightDlu) {}

void Dialog::Click(int32_t id) {
  const ControlState& c = Control(id);
  if (!Has(id) || !c.enabled || !c.shown) return;
  if (c.kind == ControlKind::CheckBox) {
    SetTicked(id, !c.ticked);
  } else if (c.kind == ControlKind::RadioButton) {
    if (c.radioGroup != 0) {
      for (auto& [otherId, other] : controls_)
        if (otherId != id && other.kind == ControlKind::RadioButton && other.radioGroup == c.radioGroup &&
            other.ticked)
          SetTicked(otherId, false);
    }
    SetTicked(id, true);
  }
  if (id == kIdOk) {
    OnOK();
  } else if (id == kIdCancel) {
    OnCancel();
  } else {
    OnCommand(id);
  }
}

void Dialog::TypeText(int32_t id, std::string_view text) {
  if (!Has(id)) return;
  SetText(id, text);
  OnEditChange(id);
}

void Dialog::ChooseItem(int32_t id, int32_t index) {
  if (!Has(id)) return;
  SelectListItem(id, index);
  OnSelectionChange(id);
}

void Dialog::EndDialog(DialogResult result) { result_ = result; }

void Dialog::SetTitle(std::string title) {
  title_ = std::move(title);
  if (observer_) observer_->ControlChanged(0);
}

ControlState& Dialog::AddControl(int32_t id, ControlKind kind, std::string text, Rect rect) {
  auto [it, inserted] = controls_.try_emplace(id);
  if (inserted) order_.push_back(id);
  it->second.id = id;
  it->second.kind = kind;
  it->second.text = std::move(text);
  it->second.rect = rect;
  if (observer_) observer_->ControlsRebuilt();
  return it->second;
}

const ControlState& Dialog::Control(int32_t id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? kMissing : it->second;
}

ControlState& Dialog::Mutable(int32_t id) {
  auto it = controls_.find(id);
  if (it != controls_.end()) return it->second;
  g_scratch = ControlState{};
  return g_scratch;
}

void Dialog::Changed(int32_t id) {
  if (observer_ && Has(id)) observer_->ControlChanged(id);
}

void Dialog::SetText(int32_t id, std::string_view text) {
  ControlState& c = Mutable(id);
  if (c.text == text) return;
  c.text.assign(text);
  Changed(id);
}

std::string Dialog::GetText(int32_t id, std::size_t maxChars) const {
  const std::string& text = Control(id).text;
  return text.substr(0, std::min(maxChars, text.size()));
}

void Dialog::SetTicked(int32_t id, bool ticked) {
  ControlState& c = Mutable(id);
  if (c.ticked == ticked) return;
  c.ticked = ticked;
  Changed(id);
}

void Dialog::Enable(int32_t id, bool enabled) {
  ControlState& c = Mutable(id);
  if (c.enabled == enabled) return;
  c.enabled = enabled;
  Changed(id);
}

void Dialog::Show(int32_t id, bool shown) {
  ControlState& c = Mutable(id);
  if (c.shown == shown) return;
  c.shown = shown;
  Changed(id);
}

void Dialog::SetRect(int32_t id, Rect rect) {
  ControlState& c = Mutable(id);
  if (c.rect == rect) return;
  c.rect = rect;
  Changed(id);
}

void Dialog::SetRadioGroup(int32_t id, int32_t group) { Mutable(id).radioGroup = group; }

void Dialog::ResetList(int32_t id) {
  ControlState& c = Mutable(id);
  c.items.clear();
  c.selection = -1;
  Changed(id);
}

void Dialog::AddListItem(int32_t id, std::string text, intptr_t data) {
  Mutable(id).items.push_back({std::move(text), data});
  Changed(id);
}

void Dialog::SelectListItem(int32_t id, int32_t index) {
  ControlState& c = Mutable(id);
  int32_t sel = (index >= 0 && static_cast<std::size_t>(index) < c.items.size()) ? index : -1;
  c.selection = sel;
  if (sel >= 0 && c.kind == ControlKind::ComboBox) c.text = c.items[static_cast<std::size_t>(sel)].text;
  Changed(id);
}

intptr_t Dialog::ListItemData(int32_t id, int32_t index) const {
  const ControlState& c = Control(id);
  if (index < 0 || static_cast<std::size_t>(index) >= c.items.size()) return -1;
  return c.items[static_cast<std::size_t>(index)].data;
}

}  // namespace varnel::ui
