#pragma once
// The native view of one ui::Dialog: a dialog made from the model's in-memory
// template, showing every state change at once and handing every user action
// back as the model's event (Click, TypeText, ChooseItem). Tab order is the
// creation order; Escape is the model's cancel, Enter its default button.
// Check boxes and radio buttons are shown as the model ticks them; they never
// tick themselves.
//
// Main thread only. The model must outlive the view; a model has one
// observer, so one view at a time.

#include "win32/Windows.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "ui/Dialog.h"
#include "win32/DialogTemplate.h"

namespace varnel::win32 {

class DialogWindow : public ui::ControlObserver {
 public:
  explicit DialogWindow(ui::Dialog& model, TemplateOptions options = {});
  ~DialogWindow() override;
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  ui::Dialog& Model() { return model_; }
  // Before the run: a main window's template differs from a dialog's.
  void SetTemplateOptions(TemplateOptions options) { options_ = std::move(options); }

  // Creates the dialog, initialises the model and runs the platform's modal
  // loop until the model ends; posted messages keep being dispatched.
  // Cancel if the dialog could not be created.
  ui::DialogResult RunModal(HWND owner);

  HWND Handle() const { return hwnd_; }
  HWND ControlHandle(int32_t id) const;
  // The tooltip of a native control (a drop-down list's edit field), "" for none.
  std::string ToolTipOf(HWND control) const;
  // The model's id of a native control, or nothing.
  bool ModelId(HWND control, int32_t& id) const;

  // Model pixels to the dialog's device pixels (the font's base units over
  // the model's fixed ones), so drawings scale with the controls.
  RECT ToDevice(const ui::Rect& rect) const;
  int32_t ScaleX(int32_t pixels) const { return MulDiv(pixels, baseX_, 6); }
  int32_t ScaleY(int32_t pixels) const { return MulDiv(pixels, baseY_, 13); }

  // Ends the native dialog once the model has ended; true when it has.
  bool CheckEnded();

  // Messages a main window handles itself (paint, close, end of session,
  // device changes, cursor). Return true with the message's result when handled.
  using MessageHook = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
  void SetMessageHook(MessageHook hook) { hook_ = std::move(hook); }
  // Called once the native dialog exists, before the model initialises.
  void SetOnCreated(std::function<void()> onCreated) { onCreated_ = std::move(onCreated); }

  // Copies every control's state onto its native control.
  void SyncAll();

  // ui::ControlObserver
  void ControlChanged(int32_t id) override;
  void ControlsRebuilt() override;

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog(HWND hwnd);
  void OnCommand(WPARAM wParam, LPARAM lParam);
  void CreateMissing();
  void Sync(int32_t id);
  void SyncText(const ui::ControlState& state, HWND control);
  void SyncList(const ui::ControlState& state, HWND control);
  void SyncFieldText(const ui::ControlState& state, HWND control);
  void FitListWidth(const ui::ControlState& state, HWND control);
  void SetToolTip(HWND control, const std::wstring& text);
  void SyncGeometry(const ui::ControlState& state, HWND control);

  ui::Dialog& model_;
  TemplateOptions options_;
  HWND hwnd_ = nullptr;
  std::map<int32_t, HWND> controls_;
  std::map<HWND, int32_t> byHandle_;
  std::map<int32_t, ui::Rect> placed_;  // the model rectangle each control was last put at
  HWND toolTips_ = nullptr;             // made when a first control needs a tooltip
  std::set<HWND> toolTipped_;
  int baseX_ = 6;
  int baseY_ = 13;
  int applying_ = 0;  // > 0 while model state is copied onto controls
  bool endSent_ = false;
  MessageHook hook_;
  std::function<void()> onCreated_;
};

// The width of a UTF-8 text in a control's font, in device pixels.
int TextWidth(HWND control, std::string_view text);

}  // namespace varnel::win32
