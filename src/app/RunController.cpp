// Starting and stopping a recording, and the per-buffer work while it runs.

#include <cstdio>

#include "app/RecorderDialog.h"
#include "calibration/ChannelCalibrations.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/Trace.h"
#include "ui/Messages.h"

namespace varnel {
namespace {

constexpr const char* kCaption = "Tessaline";

void Sleep(uint32_t ms) { platform::GetClock().Sleep(ms); }

// Room for "_yyyy_mm_dd_hhmmss" and ".wav" after the label.
constexpr std::size_t kNameSuffix = 18 + 4;
// Longest path a wave file may have.
constexpr std::size_t kMaxWavePath = 255;

// The name a label gives its wave file must stay a single name in the wave
// folder, and fit; anything else would fail only when the recording is
// finalised, with the whole recording left under its working name.
bool IsFileNameLabel(std::string_view label, std::string_view folder) {
  if (!platform::IsPlainFileName(label)) return false;
  return folder.size() + 1 + label.size() + kNameSuffix <= kMaxWavePath;
}

}  // namespace

bool RecorderDialog::CheckLabelsAreFileNames() {
  for (const ChannelSettings& c : Channels) {
    if (!IsSet(c.bIsEnabled) || IsFileNameLabel(FieldText(c.szLabel), FieldText(Settings.szWavePath))) continue;
    std::string text = "The channel label \"" + std::string(FieldText(c.szLabel)) +
                       "\" cannot be used as a wave file name.  Labels must not contain \"/\", must not be \".\" or "
                       "\"..\", and the wave file path with the label must stay within 255 characters.";
    ui_.MessageBox(text, kCaption, ui::mb::kOk | ui::mb::kIconError);
    return false;
  }
  return true;
}

bool RecorderDialog::LoadChannelCalibrations() {
  return varnel::LoadChannelCalibrations(Channels, CalibrationRecords, ui_);
}

int RecorderDialog::ValidateSamplingRate() {
  const int32_t r = Settings.SamplingRate;
  const int32_t max = Settings.MaxSamplingRate;
  char text[512];
  auto error = [&](const char* message) {
    ui_.MessageBox(message, kCaption, ui::mb::kOk | ui::mb::kIconError);
    return 0;
  };
  auto tooHigh = [&] {
    std::snprintf(text, sizeof text,
                  "The Sampling Rate is greater than the maximum supported sampling rate of %d Hz", max);
    return error(text);
  };
  if (r <= 0) return error("Sampling Rate must be greater than zero!");
  if (Settings.bSimultaneousSampling == 1) return r <= max ? 1 : tooHigh();
  int32_t n = 0;
  for (const ChannelSettings& c : Channels) n += IsSet(c.bIsEnabled) ? 1 : 0;
  if (n == 0) return error("No channels are enabled!");
  if (static_cast<int64_t>(r) * n <= max) return 1;
  if (n == 1) return tooHigh();
  const int32_t p = max / n;
  std::snprintf(text, sizeof text,
                "The Sampling Rate is too high.  Either reduce the sampling rate or decrease the number of enabled "
                "channels.  The maximum supported aggregate sampling rate is %d Hz and there are %d channels "
                "enabled.\n\nThe maximum allowable sampling rate per channel is %d Hz.  Do you want to use this "
                "rate instead?",
                max, n, p);
  if (ui_.MessageBox(text, kCaption, ui::mb::kYesNo) != ui::DialogResult::Yes) return 0;
  Settings.SamplingRate = p;
  SetText(kIdSamplingRate, std::to_string(p));
  return 1;
}

void RecorderDialog::AbandonRun(bool saveFiles, bool disconnect) {
  if (saveFiles) SaveWaveFiles();
  if (disconnect) Link.Disconnect();
  Device.Close();
}

void RecorderDialog::OnRun() {
  if (bIsRunning == 1) {
    StopRecording();
    return;
  }
  ReadSettingsFromControls();
  int32_t selection = ListSelection(kIdDeviceList);
  Settings.DeviceIndex = selection < 0 ? -1 : static_cast<int32_t>(ListItemData(kIdDeviceList, selection));
  if (Settings.DeviceIndex < 0) {
    ui_.MessageBox("There are no Data Translation 9800 Series data acquisition devices available on your system.",
                   kCaption, ui::mb::kOk | ui::mb::kIconError);
    return;
  }
  if (!Device.Open(nullptr, Settings.DeviceIndex, 1)) return;
  platform::Trace("Open Successful\n");
  if (!CheckUniqueLabels(Channels, ui_) || !CheckLabelsAreFileNames() || !ValidateSamplingRate()) {
    AbandonRun(false, false);
    return;
  }
  if (!Link.Connect()) return AbandonRun(false, false);
  if (!CreateWaveFiles()) return AbandonRun(false, true);
  if (!LoadChannelCalibrations()) return AbandonRun(true, true);
  Link.PrepareAnalyzer();
  Link.DDEPokeCalibrationData();
  Device.SetChannelSettings(Channels);
  SetStatus(" Initializing Device...");
  if (!Device.Configure(Settings.SamplingRate, Settings.TriggerEnable)) {
    ui_.MessageBox("Unable to open the device.  It may already be in use by another program", kCaption,
                   ui::mb::kOk | ui::mb::kIconError);
    SetStatus(" Stopped");
    return AbandonRun(true, true);
  }
  Sleep(100);
  SetStatus(" Starting Device...");
  if (!Device.Start()) return AbandonRun(true, true);
  platform::Trace("StartInput Successful\n");
  bIsRunning = 1;
  loop_.SetTimer(ui::kRefreshTimerId, RefreshTimerPeriod(Settings.FftSize));
  LockForRun(true);
  SetStatus(Settings.TriggerEnable == 1 ? " Waiting for Trigger..." : " Running...");
}

void RecorderDialog::LockForRun(bool running) {
  SetText(kIdRun, running ? "&Stop" : "&Start");
  Enable(kIdOptions, !running);
  Enable(kIdDeviceList, !running);
  Enable(kIdSamplingRate, !running);
  UpdateGridEnableState();
}

void RecorderDialog::StopRecording() {
  if (bIsRunning == 0) return;
  ui_.SetWaitCursor(true);
  SetStatus(" Stopping Device....");
  loop_.KillTimer(ui::kRefreshTimerId);
  Sleep(200);
  Device.Stop();
  Sleep(500);
  bIsRunning = 0;
  UpdateGridEnableState();
  SetStatus(" Saving Wave Files....");
  SaveWaveFiles();
  Sleep(200);
  Link.Disconnect();
  SetStatus(" Closing Device....");
  Device.Close();
  Sleep(200);
  SetText(kIdRun, "&Start");
  Enable(kIdOptions, true);
  Enable(kIdDeviceList, true);
  Enable(kIdSamplingRate, true);
  SetStatus(" Stopped");
  Link.ReleaseTimeSeriesBuffer();
  ui_.SetWaitCursor(false);
}

namespace {
class DeviceBlocks : public ChannelBlockSource {
 public:
  explicit DeviceBlocks(AcquisitionDevice& device) : device_(device) {}
  const int16_t* GetChannelBlock(int32_t channel) override { return device_.GetChannelBlock(channel); }
  uint32_t GetChannelBlockBytes() override { return static_cast<uint32_t>(device_.GetChannelBlockBytes()); }

 private:
  AcquisitionDevice& device_;
};
}  // namespace

void RecorderDialog::WriteChannelData() {
  DeviceBlocks blocks(Device);
  Files.WriteChannelData(blocks);
}

intptr_t RecorderDialog::OnBufferDone() {
  const int processed = Device.ProcessBuffer();
  platform::Trace("OLDA_WM_BUFFER_DONE\n");
  if (bIsRunning == 1) SetStatus(" Running...");
  // Blocks that were not refreshed hold the previous buffer: writing them
  // again would put the same samples into the files twice.
  if (processed == 1) WriteChannelData();
  if (onMetersChanged) onMetersChanged();
  return 1;
}

intptr_t RecorderDialog::OnBufferOverrun() {
  platform::Trace("DT_BUFFER_OVERRUN\n");
  SetStatus(" ERROR - Buffer Overrun...");
  return 1;
}

void RecorderDialog::OnRefreshTimer() {
  if (bIsRunning != 1) return;
  Link.DDEPokeTimeSeriesData();
  if (Settings.TriggerEnable == 1 && Device.GetRunTime() >= Settings.PostTriggerRunTime) StopRecording();
}

}  // namespace varnel
