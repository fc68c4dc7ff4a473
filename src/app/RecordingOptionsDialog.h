#pragma once
// File, trigger and timing options of the next recording. The settings are
// written only on OK, after every field is checked; nothing reaches the
// settings file until the window closes.
//
// Called on the main thread only.

#include <array>
#include <cstdint>
#include <string>

#include "calibration/ChannelScale.h"
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
  static constexpr int32_t kIdLevelTriggerEnable = 1150;
  static constexpr int32_t kIdTriggerChannel = 1151;
  static constexpr int32_t kIdTriggerLevel = 1152;
  static constexpr int32_t kIdTriggerUnit = 1153;  // the channel's unit beside the level
  static constexpr int32_t kIdTriggerSlope = 1154;
  static constexpr int32_t kIdPreTrigger = 1155;
  static constexpr int32_t kIdTriggerEvents = 1156;
  static constexpr int32_t kIdStartAt = 1160;
  static constexpr int32_t kIdStopAfter = 1161;
  static constexpr int32_t kIdStopAt = 1162;
  static constexpr int32_t kIdSplitEvery = 1163;

  // `channels` offers the enabled ones to the level trigger; it must outlive the dialog.
  RecordingOptionsDialog(ui::UiServices& ui, RecorderSettings& settings, const ChannelSettingsArray& channels);

  bool OnInitDialog() override;
  void OnCommand(int32_t id) override;
  void OnSelectionChange(int32_t id) override;
  void OnOK() override;

  void DeleteWaveFiles();

 private:
  void DeleteOne(const std::string& path);
  void DeleteSeveral(const std::vector<std::string>& paths);
  bool TryDelete(const std::string& path);

  // The level trigger's and the timing's groups (RecordingOptionsTrigger.cpp).
  void AddLevelTriggerControls();
  void AddTimingControls();
  void InitLevelTrigger();
  void InitTiming();
  void EnableTriggerControls();
  void ShowTriggerUnit();
  // Each reads its group into `next`; false once it has told the user which field is wrong and why.
  bool ReadLevelTrigger(RecorderSettings& next);
  bool ReadTiming(RecorderSettings& next);
  bool Refuse(const std::string& text);

  ui::UiServices& ui_;
  RecorderSettings& settings_;
  const ChannelSettingsArray& channels_;
  std::array<ChannelScale, kChannelCount> scales_;  // of the enabled channels, read at the start
};

}  // namespace varnel
