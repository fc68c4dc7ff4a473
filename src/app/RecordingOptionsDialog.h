#pragma once
// File and trigger options of the next recording. The settings are written
// only on OK; nothing reaches the settings file until the window closes.

#include <cstdint>

#include "records/ChannelSettings.h"
#include "ui/Dialog.h"
#include "ui/UiServices.h"

namespace varnel {

class RecordingOptionsDialog : public ui::Dialog {
 public:
  static constexpr int32_t kIdWavePath = 1101;
  static constexpr int32_t kIdCalPath = 1103;
  static constexpr int32_t kIdStoreCalibration = 1146;
  static constexpr int32_t kIdAppendTimeStamp = 1102;
  static constexpr int32_t kIdOverwrite = 1105;
  static constexpr int32_t kIdDeleteWaveFiles = 1104;
  static constexpr int32_t kIdTriggerEnable = 1106;
  static constexpr int32_t kIdPostTriggerTime = 1145;
  static constexpr int32_t kIdFileFormat = 1147;

  RecordingOptionsDialog(ui::UiServices& ui, RecorderSettings& settings);

  bool OnInitDialog() override;
  void OnCommand(int32_t id) override;
  void OnOK() override;

  void DeleteWaveFiles();

 private:
  void DeleteOne(const std::string& path);
  void DeleteSeveral(const std::vector<std::string>& paths);
  bool TryDelete(const std::string& path);

  ui::UiServices& ui_;
  RecorderSettings& settings_;
};

}  // namespace varnel
