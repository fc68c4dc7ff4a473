// The engine's parts, its messages, and the device it records from.

#include "engine/RecordingEngine.h"

#include <algorithm>

#include "engine/RunMessages.h"
#include "platform/FixedString.h"
#include "platform/Messages.h"
#include "platform/Trace.h"

namespace varnel {
namespace {

AnalyzerLinkContext MakeLinkContext(RecordingEngine& e, const EngineServices& s) {
  AnalyzerLinkContext c;
  c.settings = &e.Settings;
  c.channels = &e.Channels;
  c.calibrationRecords = &e.CalibrationRecords;
  c.monitor = &e.Device;
  c.loop = s.loop;
  c.ui = s.ui;
  c.bIsRunning = &e.bIsRunning;
  c.analyzerSettingsPath = s.analyzerSettingsPath;
  return c;
}

}  // namespace

RecordingEngine::RecordingEngine(EngineServices services)
    : board_(std::move(services.board)),
      Device(*board_, *services.loop),
      Files(*services.ui, Settings, Channels, CalibrationRecords, [this](const std::string& s) { SetStatus(s); }),
      Link(MakeLinkContext(*this, services), std::move(services.transport)),
      ui_(*services.ui),
      loop_(*services.loop) {
  // What the board completed before it stopped is written like every other buffer.
  Device.onFinalBuffer = [this] { WriteChannelData(); };
  Files.Report.onChannelChanged = [this](int32_t channel, bool written, const std::string& text) {
    QueueRunNotice(text);
    if (observer_) observer_->ChannelWritingChanged(channel, written, text);
  };
}

RecordingEngine::~RecordingEngine() {
  loop_.KillTimer(platform::kRefreshTimerId);
  Device.Close();
}

intptr_t RecordingEngine::HandleMessage(const platform::Message& message) {
  switch (message.id) {
    case platform::kBufferDoneMessage:
      return OnBufferDone();
    case platform::kBufferOverrunMessage:
      return OnBufferOverrun();
    case platform::WM_TIMER:
      OnRefreshTimer();
      return 0;
    case platform::WM_POKE_CALIBRATION:
      return Link.OnPokeCalibration();
    case platform::kRunNoticeMessage:
      ShowRunNotices();
      return 1;
    default:
      return 0;
  }
}

void RecordingEngine::SetStatus(const std::string& text) {
  if (text == status_) return;
  status_ = text;
  if (observer_) observer_->StatusChanged(status_);
}

int32_t RecordingEngine::EnumerateDevices() {
  Device.EnumerateBoards();
  const int32_t count = Device.GetBoardCount();
  if (Settings.DeviceIndex >= count) Settings.DeviceIndex = count - 1;
  if (Settings.DeviceIndex < 0) Settings.DeviceIndex = count > 0 ? 0 : -1;
  return count;
}

void RecordingEngine::QueryDeviceCapabilities() {
  Settings.MaxChannels = 16;
  Settings.NumGains = 4;
  Settings.MaxSamplingRate = 500000;
  Settings.bSimultaneousSampling = 0;
  bool openedHere = false;
  if (!Device.IsOpen()) {
    if (Settings.DeviceIndex < 0) return;
    if (!Device.Open(nullptr, Settings.DeviceIndex)) return;
    platform::Trace("Open Successful\n");
    openedHere = true;
  }
  int32_t channels = Device.GetChannelCount();
  Settings.MaxChannels = (channels <= 0 || channels > 16) ? 16 : channels;
  Settings.NumGains = std::clamp(Device.GetGainCount(), 1, 4);
  Settings.MaxSamplingRate = Device.GetMaxThroughput();
  Settings.bSimultaneousSampling = Device.SupportsSimultaneous();
  if (openedHere) Device.Close();
}

void RecordingEngine::FitChannelsToDevice() {
  if (Settings.MaxChannels < 1 || Settings.MaxChannels > 16) return;
  for (int32_t i = 0; i < kChannelCount; ++i) {
    ChannelSettings& c = Channels[i];
    if (i >= Settings.MaxChannels) c.bIsEnabled = c.bIsRecording = c.bIsMonitoringLeft = c.bIsMonitoringRight = 0;
    if (Settings.NumGains == 1) c.Gain = 1;
  }
}

void RecordingEngine::ChooseDevice(int32_t index) {
  Settings.DeviceIndex = index;
  NoteChosenDevice();
  QueryDeviceCapabilities();
}

void RecordingEngine::NoteChosenDevice() {
  char name[kBoardNameSize] = {};
  Device.GetBoardName(Settings.DeviceIndex, name);
  CopyCut(Settings.szDeviceName, FieldText(name));
}

// Places in the device list change as devices come and go: an index whose
// device is not the one chosen would record from another device, perhaps a
// simulated one, without a word. Said once; the next Start takes the device
// now shown.
bool RecordingEngine::CheckChosenDevice() {
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
  ui_.MessageBox(text, kRecorderCaption, ui::mb::kOk | ui::mb::kIconWarning);
  return false;
}

void RecordingEngine::NormaliseChannelFlags() {
  for (ChannelSettings& c : Channels) {
    const bool enabled = IsSet(c.bIsEnabled);
    c.bIsEnabled = enabled ? 1 : 0;
    c.bIsRecording = enabled && IsSet(c.bIsRecording) ? 1 : 0;
    c.bIsMonitoringLeft = enabled && IsSet(c.bIsMonitoringLeft) ? 1 : 0;
    c.bIsMonitoringRight = enabled && IsSet(c.bIsMonitoringRight) ? 1 : 0;
  }
}

}  // namespace varnel
