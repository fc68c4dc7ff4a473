#include "recovery/RecoveryOffer.h"

#include <algorithm>
#include <cstdio>

#include "platform/Files.h"

namespace varnel {
namespace {

constexpr const char* kCaption = "Tessaline";

std::string ShownName(const InterruptedFile& file) {
  if (file.journaled && !platform::FileNameOf(file.entry.finalFile).empty())
    return std::string(platform::FileNameOf(file.entry.finalFile));
  return "channel unknown (" + std::string(platform::FileNameOf(file.workingFile)) + ")";
}

}  // namespace

std::string DescribeInterruptedFile(const InterruptedFile& file) {
  char length[32];
  std::snprintf(length, sizeof length, "%.1f s", file.Seconds());
  return ShownName(file) + ", started " + file.started + ", " + length;
}

std::string RecoveryQuestion(const InterruptedRecordings& found) {
  std::string text = "A recording in " + found.folder + " was interrupted before its files were saved:\n\n";
  for (const InterruptedFile& f : found.files) text += DescribeInterruptedFile(f) + "\n";
  text +=
      "\nRecover these files now?  Each one gets its final name; an existing file is never replaced.  "
      "No keeps them as they are until the next start.";
  return text;
}

std::string RecoveryFailureMessage(const std::vector<RecoveredFile>& results) {
  std::string text = "These files could not be recovered and stay as they are:\n\n";
  for (const RecoveredFile& r : results) {
    if (r.recoveredFile.empty()) text += r.workingFile + ": " + r.error + "\n";
  }
  return text;
}

void OfferRecovery(ui::UiServices& ui, const std::string& waveFolder) {
  if (waveFolder.empty() || !platform::FolderExists(waveFolder)) return;
  InterruptedRecordings found = FindInterruptedRecordings(waveFolder);
  if (found.Empty()) return;
  if (!found.files.empty() &&
      ui.MessageBox(RecoveryQuestion(found), kCaption, ui::mb::kYesNo | ui::mb::kIconQuestion) != ui::DialogResult::Yes)
    return;
  const std::vector<RecoveredFile> results = RecoverRecordings(found);
  const bool failed =
      std::any_of(results.begin(), results.end(), [](const RecoveredFile& r) { return r.recoveredFile.empty(); });
  if (failed) ui.MessageBox(RecoveryFailureMessage(results), kCaption, ui::mb::kOk | ui::mb::kIconError);
}

}  // namespace varnel
