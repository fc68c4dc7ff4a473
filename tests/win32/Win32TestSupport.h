#pragma once
// Driving the native view from inside its own modal loops: a script whose
// steps run on a thread timer (so they run inside every dialog's and message
// box's loop), and a hook that sees every message box, records its text,
// caption, buttons and icon, and answers it as a user would, by its button.
//
// Main thread only.

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "win32/Win32UiServices.h"

namespace varnel::test {

// Steps run in order, one attempt per tick; a step that returns false is
// tried again on the next tick (it waits for its window). A step that waits
// longer than the time-out fails the test and stops the script.
class Script {
 public:
  explicit Script(uint32_t timeoutMs = 60000) : timeoutMs_(timeoutMs) {}
  ~Script();
  Script& Then(std::function<bool()> step);
  // Each runs once, never waits.
  Script& Do(std::function<void()> step);
  void Start();
  bool Done() const { return next_ >= steps_.size(); }
  bool TimedOut() const { return timedOut_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
  void RunStep();

  std::vector<std::function<bool()>> steps_;
  std::size_t next_ = 0;
  UINT_PTR timer_ = 0;
  ULONGLONG stepStarted_ = 0;
  uint32_t timeoutMs_;
  bool timedOut_ = false;
  bool running_ = false;
};

struct SeenBox {
  std::string text;
  std::string caption;
  uint32_t buttons = 0;  // ui::mb button set
  uint32_t icon = 0;     // ui::mb icon
};

class MessageBoxHook {
 public:
  MessageBoxHook();
  ~MessageBoxHook();
  // Answers in order (IDOK, IDYES, ...); with none left a box gets its
  // default answer (OK, or No for Yes/No questions).
  void Answer(std::vector<int> answers) { answers_ = std::move(answers); }
  // Dialogs of the program are no message boxes, even when they hold a
  // static text of the box's id (-1).
  void NotABox(std::function<bool(HWND)> ours) { ours_ = std::move(ours); }
  // Called while the box is up, before it is answered.
  void WhileOpen(std::function<void(HWND box)> during) { during_ = std::move(during); }
  const std::vector<SeenBox>& Seen() const { return seen_; }
  void Clear() { seen_.clear(); }

 private:
  static LRESULT CALLBACK Procedure(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  void Inspect(HWND box);

  HHOOK hook_ = nullptr;
  UINT_PTR timer_ = 0;
  std::vector<std::pair<HWND, int>> pending_;
  std::vector<int> answers_;
  std::function<void(HWND)> during_;
  std::function<bool(HWND)> ours_;
  std::vector<SeenBox> seen_;
  std::set<HWND> handled_;
};

// One of the dialogs the view has open.
bool IsView(const win32::Win32UiServices& ui, HWND hwnd);
// The dialog's text of a native control.
std::string WindowTextOf(HWND hwnd);
std::string ClassOf(HWND hwnd);
// What a user does: click a button, type into an edit field (replacing its text).
void UserClick(HWND control);
// A click whose handler opens a modal window: posted, so the step returns and
// the script goes on inside the new window's loop.
void UserClickLater(HWND control);
void UserType(HWND edit, const std::string& text);
void UserKey(HWND target, WPARAM key);
bool IsChecked(HWND button);

}  // namespace varnel::test
