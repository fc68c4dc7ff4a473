#pragma once
// A UiServices that answers from a script and records everything it was asked.
// A message box, file dialog or modal dialog that the script did not expect
// fails the running test loudly.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/UiServices.h"

namespace varnel::test {

struct ShownMessage {
  std::string text;
  std::string caption;
  uint32_t style = 0;
};

class ScriptedUiServices : public ui::UiServices {
 public:
  using DialogScript = std::function<void(ui::Dialog&)>;

  ~ScriptedUiServices() override;

  // Queue answers, in the order the boxes will appear.
  void ExpectMessageBox(ui::DialogResult answer);
  // The same, and the test fails unless the box shows this text.
  void ExpectMessageBox(const std::string& text, ui::DialogResult answer);
  void ExpectOpenFile(std::optional<std::vector<std::string>> answer);
  void ExpectSaveFile(std::optional<std::string> answer);
  // The script plays the user: it types and clicks, and must end the dialog.
  void ExpectModal(DialogScript script);

  ui::DialogResult MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;
  std::optional<std::vector<std::string>> OpenFileDialog(const ui::FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const ui::FileDialogRequest& request) override;
  ui::DialogResult RunModal(ui::Dialog& dialog) override;
  void SetWaitCursor(bool on) override;

  const std::vector<ShownMessage>& Messages() const { return messages_; }
  const std::vector<ui::FileDialogRequest>& FileRequests() const { return fileRequests_; }
  const std::vector<bool>& WaitCursorCalls() const { return waitCursor_; }
  bool AllAnswersUsed() const;
  void Clear();

  // Boxes nobody scripted are answered with `answer` instead of failing the
  // test; for runs whose number of notices depends on the machine.
  void AnswerUnscriptedBoxes(ui::DialogResult answer) { unscripted_ = answer; }

 private:
  std::optional<ui::DialogResult> unscripted_;
  struct Answer {
    std::optional<std::string> text;
    ui::DialogResult result;
  };
  std::deque<Answer> boxAnswers_;
  std::deque<std::optional<std::vector<std::string>>> openAnswers_;
  std::deque<std::optional<std::string>> saveAnswers_;
  std::deque<DialogScript> modalScripts_;
  std::vector<ShownMessage> messages_;
  std::vector<ui::FileDialogRequest> fileRequests_;
  std::vector<bool> waitCursor_;
};

}  // namespace varnel::test
