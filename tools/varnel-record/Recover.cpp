#include "Recover.h"

#include <cstdio>

#include "app/SettingsFile.h"
#include "platform/FixedString.h"
#include "platform/Files.h"
#include "recovery/RecoveryOffer.h"

namespace varnel::record {

std::string WaveFolderOf(const std::string& settingsFile) {
  ChannelSettingsArray channels = DefaultChannels();
  RecorderSettings settings = DefaultRecorderSettings();
  LoadSettings(settingsFile, channels, settings);
  return std::string(FieldText(settings.szWavePath));
}

void PrintRecoveryNotice(const std::string& waveFolder) {
  if (waveFolder.empty() || !platform::FolderExists(waveFolder)) return;
  const InterruptedRecordings found = FindInterruptedRecordings(waveFolder);
  if (found.files.empty()) return;
  std::fprintf(stderr, "varnel-record: %zu file(s) of an interrupted recording in %s; recover them with "
               "varnel-record --recover:\n", found.files.size(), found.folder.c_str());
  for (const InterruptedFile& f : found.files) std::fprintf(stderr, "  %s\n", DescribeInterruptedFile(f).c_str());
}

int Recover(const std::string& waveFolder) {
  if (waveFolder.empty() || !platform::FolderExists(waveFolder)) {
    std::fprintf(stderr, "varnel-record: no folder %s\n", waveFolder.c_str());
    return 1;
  }
  const InterruptedRecordings found = FindInterruptedRecordings(waveFolder);
  for (const std::string& journal : found.liveJournals)
    std::printf("left alone: %s, the journal of a recorder that is still running\n", journal.c_str());
  if (found.files.empty() && found.refused.empty()) std::printf("nothing to recover in %s\n", found.folder.c_str());
  int status = 0;
  for (const RecoveredFile& r : RecoverRecordings(found)) {
    if (r.recoveredFile.empty()) {
      std::fprintf(stderr, "varnel-record: cannot recover %s: %s\n", r.workingFile.c_str(), r.error.c_str());
      status = 1;
    } else {
      std::printf("recovered %s (%llu frames) from %s\n", r.recoveredFile.c_str(),
                  static_cast<unsigned long long>(r.frames), r.workingFile.c_str());
    }
  }
  return status;
}

}  // namespace varnel::record
