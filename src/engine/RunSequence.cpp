// Starting and stopping a recording: the checks and set-up steps of a Run,
// each failure undoing what came before it, and the Stop sequence.

#include <cstdio>
#include <string>

#include "calibration/ChannelCalibrations.h"
#include "engine/RecordingEngine.h"
#include "engine/RunMessages.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FixedString.h"
#include "platform/Messages.h"
#include "platform/Trace.h"

namespace varnel {
namespace {

void Sleep(uint32_t ms) {
  platform::GetClock().Sleep(ms);
}

DeviceProblem Problem(DeviceError error) {
  return {error, {}, 0};
}

}  // namespace

// A folder that is empty or relative means wherever the program was started
// from: files in "/" or an orphaned temporary folder, without a journal.
bool RecordingEngine::CheckFolders() {
  const struct {
    const char* caption;
    const char* key;
    std::string folder;
  } folders[] = {
      {"Wave File Path", "szWavePath", std::string(FieldText(Settings.szWavePath))},
      {"Cal File Path", "szCalPath", std::string(FieldText(Settings.szCalPath))},
  };
  for (const auto& f : folders) {
    if (platform::IsAbsolutePath(f.folder)) continue;
    const std::string setting = std::string("The ") + f.caption + " (" + f.key + ")";
    const std::string what =
        f.folder.empty() ? setting + " is empty." : setting + " \"" + f.folder + "\" is not a full path.";
    ui_.MessageBox(what + "  Set a full folder path in Recording Options.", kRecorderCaption,
                   ui::mb::kOk | ui::mb::kIconError);
    return false;
  }
  return true;
}

bool RecordingEngine::CheckLabels() {
  LabelProblem problem = CheckUniqueLabels(Channels);
  if (!problem) problem = CheckLabelsAreFileNames(Channels, FieldText(Settings.szWavePath));
  ShowLabelProblem(ui_, problem);
  return !problem;
}

bool RecordingEngine::CheckGainsOffered() {
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
                   kRecorderCaption, ui::mb::kOk | ui::mb::kIconError);
    return false;
  }
  return true;
}

bool RecordingEngine::LoadChannelCalibrations() {
  CalibrationProblem problem;
  const bool loaded = varnel::LoadChannelCalibrations(Channels, CalibrationRecords, &problem);
  if (loaded) Files.CalibrationsLoaded();
  ShowCalibrationProblem(ui_, problem);
  return loaded;
}

int RecordingEngine::ValidateSamplingRate() {
  const int32_t r = Settings.SamplingRate;
  const int32_t max = Settings.MaxSamplingRate;
  char text[512];
  auto error = [&](const char* message) {
    ui_.MessageBox(message, kRecorderCaption, ui::mb::kOk | ui::mb::kIconError);
    return 0;
  };
  auto tooHigh = [&] {
    std::snprintf(text, sizeof text, "The Sampling Rate is greater than the maximum supported sampling rate of %d Hz",
                  max);
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
  if (ui_.MessageBox(text, kRecorderCaption, ui::mb::kYesNo) != ui::DialogResult::Yes) return 0;
  Settings.SamplingRate = p;
  if (observer_) observer_->SamplingRateChanged(p);
  return 1;
}

void RecordingEngine::AbandonRun(bool saveFiles, bool disconnect) {
  if (saveFiles) SaveWaveFiles();
  if (disconnect) Link.Disconnect();
  Device.Close();
}

// What the board cannot do (a rate it does not run, a missing trigger) is
// said before any file is made.
bool RecordingEngine::CheckRunOnDevice() {
  std::string refusal;
  if (Device.CheckRun(Channels.data(), Settings.SamplingRate, Settings.TriggerEnable, &refusal)) return true;
  ui_.MessageBox(refusal, kRecorderCaption, ui::mb::kOk | ui::mb::kIconError);
  return false;
}

bool RecordingEngine::CheckSplitPeriod() {
  const int32_t seconds = Settings.SplitEverySeconds;
  if (seconds >= 0 && seconds <= kMaxSplitSeconds) return true;
  ui_.MessageBox("The split period (SplitEverySeconds) of " + std::to_string(seconds) +
                     " s is not one the files can be split at: it must be from 1 s to 31 days, or 0 for no split.",
                 kRecorderCaption, ui::mb::kOk | ui::mb::kIconError);
  return false;
}

bool RecordingEngine::ConfigureAndStart() {
  Device.SetChannelSettings(Channels);
  SetStatus(" Initializing Device...");
  if (!Device.Configure(Settings.SamplingRate, Settings.TriggerEnable)) {
    ShowDeviceProblem(ui_, Problem(DeviceError::kConfigureFailed));
    SetStatus(" Stopped");
    return false;
  }
  Sleep(100);
  SetStatus(" Starting Device...");
  if (!Device.Start()) {
    ShowDeviceProblem(ui_, Device.LastProblem());
    return false;
  }
  platform::Trace("StartInput Successful\n");
  return true;
}

void RecordingEngine::OnRun() {
  if (bIsRunning == 1) {
    StopRecording();
    return;
  }
  if (!CheckFolders()) return;
  if (Settings.DeviceIndex < 0) return ShowDeviceProblem(ui_, Problem(DeviceError::kNoDevice));
  if (!CheckChosenDevice()) return;
  if (!Device.Open(nullptr, Settings.DeviceIndex)) return ShowDeviceProblem(ui_, Device.LastProblem());
  platform::Trace("Open Successful\n");
  if (!CheckLabels() || !CheckGainsOffered() || !ValidateSamplingRate() || !CheckRunOnDevice() || !CheckLevelTrigger() ||
      !CheckTiming())
    return AbandonRun(false, false);
  if (!Link.Connect()) return AbandonRun(false, false);
  if (!CreateWaveFiles()) return AbandonRun(false, true);
  if (!LoadChannelCalibrations()) return AbandonRun(true, true);
  Link.PrepareAnalyzer();
  Link.DDEPokeCalibrationData();
  if (!ConfigureAndStart()) return AbandonRun(true, true);
  bIsRunning = 1;
  runTick_ = platform::GetClock().TickCount();
  startBound_ = false;
  lostFrames_ = 0;
  StartLevelTrigger();
  StartTiming();
  loop_.SetTimer(platform::kRefreshTimerId, RefreshTimerPeriod(Settings.FftSize));
  if (observer_) observer_->RunStarted();
  SetStatus(Settings.TriggerEnable == 1 ? " Waiting for Trigger..." : RunningStatus());
}

void RecordingEngine::StopRecording() {
  if (bIsRunning == 0) return;
  ui_.SetWaitCursor(true);
  SetStatus(" Stopping Device....");
  loop_.KillTimer(platform::kRefreshTimerId);
  Sleep(200);
  Device.Stop();
  Sleep(500);
  bIsRunning = 0;
  if (Settings.TriggerEnable == 1 && Device.GetRunFrames() == 0) Files.Report.NoTrigger();
  EndTiming();
  EndLevelTrigger();
  if (observer_) observer_->AcquisitionStopped();
  SetStatus(" Saving Wave Files....");
  SaveWaveFiles();
  Sleep(200);
  Link.Disconnect();
  SetStatus(" Closing Device....");
  Device.Close();
  Sleep(200);
  if (observer_) observer_->RunEnded();
  SetStatus(Files.Report.StartMissed()     ? std::string(" Stopped: ") + kStartNotReached
            : Files.Report.TriggerMissed() ? std::string(" Stopped: ") + kNoTriggerCame
                                           : std::string(" Stopped"));
  Link.ReleaseTimeSeriesBuffer();
  ui_.SetWaitCursor(false);
  ShowRunNotices();
}

void RecordingEngine::QueueRunNotice(const std::string& text) {
  // Found inside the buffer path: a box shown there would let the next
  // buffer in while this one is half written.
  if (runNotices_.empty()) loop_.Post({platform::kRunNoticeMessage, 0, 0});
  runNotices_.push_back(text);
}

void RecordingEngine::ShowRunNotices() {
  std::vector<std::string> notices;
  notices.swap(runNotices_);
  for (const std::string& text : notices) ui_.MessageBox(text, kRecorderCaption, ui::mb::kOk | ui::mb::kIconWarning);
}

}  // namespace varnel
