#pragma once
// A dialog as a logic object: it owns its controls' states, receives the
// user's events and ends itself with a result. A view presents it; tests and
// headless front ends drive it directly.
//
// Called on the main thread only.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ControlState.h"

namespace varnel::ui {

// Dialog results and message-box answers share the platform's numbers.
enum class DialogResult : int32_t { None = 0, OK = 1, Cancel = 2, Yes = 6, No = 7 };

inline constexpr int32_t kIdOk = 1;
inline constexpr int32_t kIdCancel = 2;

// Told about every state change so a view can show it at once.
class ControlObserver {
 public:
  virtual ~ControlObserver() = default;
  virtual void ControlChanged(int32_t id) = 0;
  virtual void ControlsRebuilt() {}
};

class Dialog {
 public:
  Dialog(std::string title, int32_t widthDlu, int32_t heightDlu);
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Events, as a view or a test delivers them.
  virtual bool OnInitDialog() { return true; }
  virtual void OnCommand(int32_t /*id*/) {}
  virtual void OnEditChange(int32_t /*id*/) {}
  virtual void OnSelectionChange(int32_t /*id*/) {}
  virtual void OnOK() { EndDialog(DialogResult::OK); }
  virtual void OnCancel() { EndDialog(DialogResult::Cancel); }

  // A user's click: automatic check boxes and radio buttons change first,
  // then the command reaches the dialog (ids 1 and 2 go to OnOK / OnCancel).
  void Click(int32_t id);
  // A user's typing into an edit field or the edit part of a combo box.
  void TypeText(int32_t id, std::string_view text);
  // A user's choice in a list.
  void ChooseItem(int32_t id, int32_t index);

  void EndDialog(DialogResult result);
  bool IsEnded() const { return result_ != DialogResult::None; }
  DialogResult Result() const { return result_; }
  void ResetResult() { result_ = DialogResult::None; }

  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);
  int32_t WidthDlu() const { return widthDlu_; }
  int32_t HeightDlu() const { return heightDlu_; }

  // Control states.
  ControlState& AddControl(int32_t id, ControlKind kind, std::string text, Rect rect = {});
  bool Has(int32_t id) const { return controls_.count(id) != 0; }
  const ControlState& Control(int32_t id) const;
  const std::vector<int32_t>& ControlOrder() const { return order_; }  // creation order = tab order

  void SetText(int32_t id, std::string_view text);
  std::string GetText(int32_t id, std::size_t maxChars = std::string::npos) const;
  void SetTicked(int32_t id, bool ticked);
  bool IsTicked(int32_t id) const { return Control(id).ticked; }
  void Enable(int32_t id, bool enabled);
  bool IsEnabled(int32_t id) const { return Control(id).enabled; }
  void Show(int32_t id, bool shown);
  bool IsShown(int32_t id) const { return Control(id).shown; }
  void SetRect(int32_t id, Rect rect);
  Rect GetRect(int32_t id) const { return Control(id).rect; }
  void SetRadioGroup(int32_t id, int32_t group);

  void ResetList(int32_t id);
  void AddListItem(int32_t id, std::string text, intptr_t data);
  void SelectListItem(int32_t id, int32_t index);
  int32_t ListSelection(int32_t id) const { return Control(id).selection; }
  intptr_t ListItemData(int32_t id, int32_t index) const;
  std::size_t ListCount(int32_t id) const { return Control(id).items.size(); }

  void SetObserver(ControlObserver* observer) { observer_ = observer; }

 protected:
  ControlState& Mutable(int32_t id);
  void Changed(int32_t id);

 private:
  std::string title_;
  int32_t widthDlu_;
  int32_t heightDlu_;
  std::map<int32_t, ControlState> controls_;
  std::vector<int32_t> order_;
  ControlObserver* observer_ = nullptr;
  DialogResult result_ = DialogResult::None;
};

}  // namespace varnel::ui
