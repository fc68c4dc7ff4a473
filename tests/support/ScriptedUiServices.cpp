#include "support/ScriptedUiServices.h"

#include <gtest/gtest.h>

namespace varnel::test {

ScriptedUiServices::~ScriptedUiServices() {
  EXPECT_TRUE(AllAnswersUsed()) << "the script holds answers that no box, file dialog or dialog asked for";
}

void ScriptedUiServices::ExpectMessageBox(ui::DialogResult answer) { boxAnswers_.push_back({std::nullopt, answer}); }

void ScriptedUiServices::ExpectMessageBox(const std::string& text, ui::DialogResult answer) {
  boxAnswers_.push_back({text, answer});
}

void ScriptedUiServices::ExpectOpenFile(std::optional<std::vector<std::string>> answer) {
  openAnswers_.push_back(std::move(answer));
}

void ScriptedUiServices::ExpectSaveFile(std::optional<std::string> answer) { saveAnswers_.push_back(std::move(answer)); }

void ScriptedUiServices::ExpectModal(DialogScript script) { modalScripts_.push_back(std::move(script)); }

ui::DialogResult ScriptedUiServices::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  messages_.push_back({std::string(text), std::string(caption), style});
  if (boxAnswers_.empty() && unscripted_) return *unscripted_;
  if (boxAnswers_.empty()) {
    ADD_FAILURE() << "unexpected message box \"" << text << "\" captioned \"" << caption << "\"";
    return (style & ui::mb::kButtonMask) == ui::mb::kYesNo ? ui::DialogResult::No : ui::DialogResult::Cancel;
  }
  Answer answer = boxAnswers_.front();
  boxAnswers_.pop_front();
  if (answer.text) {
    EXPECT_EQ(*answer.text, text) << "message box text";
  }
  return answer.result;
}

std::optional<std::vector<std::string>> ScriptedUiServices::OpenFileDialog(const ui::FileDialogRequest& request) {
  fileRequests_.push_back(request);
  if (openAnswers_.empty()) {
    ADD_FAILURE() << "unexpected open-file dialog \"" << request.title << "\"";
    return std::nullopt;
  }
  auto answer = openAnswers_.front();
  openAnswers_.pop_front();
  return answer;
}

std::optional<std::string> ScriptedUiServices::SaveFileDialog(const ui::FileDialogRequest& request) {
  fileRequests_.push_back(request);
  if (saveAnswers_.empty()) {
    ADD_FAILURE() << "unexpected save-file dialog \"" << request.title << "\"";
    return std::nullopt;
  }
  auto answer = saveAnswers_.front();
  saveAnswers_.pop_front();
  return answer;
}

ui::DialogResult ScriptedUiServices::RunModal(ui::Dialog& dialog) {
  dialog.ResetResult();
  dialog.OnInitDialog();
  if (modalScripts_.empty()) {
    ADD_FAILURE() << "unexpected modal dialog \"" << dialog.Title() << "\"";
    return ui::DialogResult::Cancel;
  }
  DialogScript script = std::move(modalScripts_.front());
  modalScripts_.pop_front();
  script(dialog);
  if (!dialog.IsEnded()) {
    ADD_FAILURE() << "the script left dialog \"" << dialog.Title() << "\" open";
    return ui::DialogResult::Cancel;
  }
  return dialog.Result();
}

void ScriptedUiServices::SetWaitCursor(bool on) { waitCursor_.push_back(on); }

bool ScriptedUiServices::AllAnswersUsed() const {
  return boxAnswers_.empty() && openAnswers_.empty() && saveAnswers_.empty() && modalScripts_.empty();
}

void ScriptedUiServices::Clear() {
  boxAnswers_.clear();
  openAnswers_.clear();
  saveAnswers_.clear();
  modalScripts_.clear();
  messages_.clear();
  fileRequests_.clear();
  waitCursor_.clear();
}

}  // namespace varnel::test
