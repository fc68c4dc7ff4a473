// Starting and stopping a recording, and the per-buffer work while it runs.

#include <cstdio>
#include <string>

#include "app/RecorderDialog.h"
#include "calibration/ChannelCalibrations.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/Trace.h"
#include "records/LabelRules.h"
#include "ui/Messages.h"

namespace varnel {
namespace {

constexpr const char* kCaption = "Tessaline";

void Sleep(uint32_t ms) { platform::GetClock().Sleep(ms); }

}  // namespace

bool RecorderDialog::CheckLabelsAreFileNames() {
  for (const ChannelSettings& c : Channels) {
    if (!IsSet(c.bIsEnabled)) continue;
    const LabelFault fault = CheckLabelFileName(FieldText(c.szLabel), FieldText(Settings.szWavePath));
    if (fault == LabelFault::kNone) continue;
    ui_.MessageBox(LabelFaultText(fault, FieldText(c.szLabel)), kCaption, ui::mb::kOk | ui::mb::kIconError);
    return false;
  }
  return true;
}

bool RecorderDialog::CheckGainsOffered() {
  // The board offers the first NumGains of 1, 2, 4, 8; any other gain (a
  // hand-edited file) would only surface as a board that cannot be opened.
  std::string offered;
  for (int32_t k = 0; k < Settings.NumGains; ++k)
    offered += (k == 0 ? "" : k + 1 == Settings.NumGains ? " and " : ", ") + std::to_string(1 << k);
  for (int32_t i = 0; i < kChannelCount; ++i) {
    const int32_t gain = Channels[i].Gain;
    if (!IsSet(Channels[i].bIsEnabled)) continue;
    bool ok = false;
    for (int32_t k = 0; k < Settings.NumGains; ++k) ok = ok || gain == (1 << k);
    if (ok) continue;
    ui_.MessageBox("Channel " + std::to_string(i) + " has a gain of " + std::to_string(gain) +
                       ", which the board does not offer.  The board offers gains of " + offered + ".",
                   kCaption, ui::mb::kOk | ui::mb::kIconError);
    return false;
  }
  return true;
}

bool RecorderDialog::LoadChannelCalibrations() {
  const bool loaded = varnel::LoadChannelCalibrations(Channels, CalibrationRecords, ui_);
  if (loaded) Files.CalibrationsLoaded();
  return loaded;
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

void RecorderDialog::NoteChosenDevice() {
  char name[kBoardNameSize] = {};
  Device.GetBoardName(Settings.DeviceIndex, name);
  CopyCut(Settings.szDeviceName, FieldText(name));
}

// Places in the device list change as devices come and go: an index whose
// device is not the one chosen would record from another device, perhaps a
// simulated one, without a word. Said once; the next Start takes the device
// now shown.
bool RecorderDialog::CheckChosenDevice() {
  char name[kBoardNameSize] = {};
  Device.GetBoardName(Settings.DeviceIndex, name);
  const std::string chosen(FieldText(Settings.szDeviceName));
  const std::string now(FieldText(name));
  NoteChosenDevice();
  if (chosen.empty() || chosen == now) return true;
  const std::string text = "The device list has changed: the device chosen before, \"" + chosen +
                           "\", is not there any more or has another place, and device " +
                           std::to_string(Settings.DeviceIndex) + " is now \"" + now +
                           "\".  Check the device and press Start again to record from it.";
  ui_.MessageBox(text, kCaption, ui::mb::kOk | ui::mb::kIconWarning);
  return false;
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
  if (!CheckChosenDevice()) return;
  if (!Device.Open(nullptr, Settings.DeviceIndex, 1)) return;
  platform::Trace("Open Successful\n");
  if (!CheckUniqueLabels(Channels, ui_) || !CheckLabelsAreFileNames() || !CheckGainsOffered() ||
      !ValidateSamplingRate()) {
    AbandonRun(false, false);
    return;
  }
  // What the board cannot do (a rate it does not run, a missing trigger) is
  // said before any file is made.
  if (std::string refusal; !Device.CheckRun(Channels.data(), Settings.SamplingRate, Settings.TriggerEnable, &refusal)) {
    ui_.MessageBox(refusal, kCaption, ui::mb::kOk | ui::mb::kIconError);
    return AbandonRun(false, false);
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
  ShowRunNotices();
}

void RecorderDialog::QueueRunNotice(const std::string& text) {
  // Found inside the buffer handler: a box shown there would let the next
  // buffer in while this one is half written.
  if (runNotices_.empty()) loop_.Post({ui::kRunNoticeMessage, 0, 0});
  runNotices_.push_back(text);
}

void RecorderDialog::ShowRunNotices() {
  std::vector<std::string> notices;
  notices.swap(runNotices_);
  for (const std::string& text : notices) ui_.MessageBox(text, kCaption, ui::mb::kOk | ui::mb::kIconWarning);
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
  if (bIsRunning == 1) SetStatus(Files.Report.Decorate(" Running..."));
  // Blocks that were not refreshed hold the previous buffer: writing them
  // again would put the same samples into the files twice.
  if (processed == 1) WriteChannelData();
  // A rollover or a loss changed it; it keeps naming what is not recorded.
  if (bIsRunning == 1) SetStatus(Files.Report.Decorate(" Running..."));
  if (onMetersChanged) onMetersChanged();
  return 1;
}

intptr_t RecorderDialog::OnBufferOverrun() {
  platform::Trace("DT_BUFFER_OVERRUN\n");
  // Counted only while recording: a late message after Stop lost nothing of this run.
  if (bIsRunning == 1) Files.Report.Overrun(Device.GetRunTime());
  const std::size_t count = Files.Report.Overruns().size();
  SetStatus(count == 0 ? std::string(" ERROR - Buffer Overrun...")
                       : " ERROR - Buffer Overrun... (" + std::to_string(count) + ")");
  return 1;
}

void RecorderDialog::OnRefreshTimer() {
  if (bIsRunning != 1) return;
  Link.DDEPokeTimeSeriesData();
  if (Settings.TriggerEnable == 1 && Device.GetRunTime() >= Settings.PostTriggerRunTime) StopRecording();
}

}  // namespace varnel
