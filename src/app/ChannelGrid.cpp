// The channel grid and the records stay in step only through these five
// operations; no control writes a record by itself.

#include "app/RecorderDialog.h"
#include "platform/FixedString.h"
#include "platform/Profile.h"
#include "platform/Trace.h"

namespace varnel {

void RecorderDialog::QueryDeviceCapabilities() {
  if (!Engine.Device.IsOpen()) Settings.DeviceIndex = SelectedDevice();
  Engine.QueryDeviceCapabilities();
}

void RecorderDialog::UpdateControlsFromSettings() {
  for (int32_t i = 0; i < kChannelCount; ++i) {
    const GridRow& r = kGridRows[i];
    const ChannelSettings& c = Channels[i];
    SetText(r.label, FieldText(c.szLabel));
    SetText(r.gain, std::to_string(c.Gain));
    SetTicked(r.enable, IsSet(c.bIsEnabled));
    SetTicked(r.rec, IsSet(c.bIsRecording));
    SetTicked(r.left, IsSet(c.bIsMonitoringLeft));
    SetTicked(r.right, IsSet(c.bIsMonitoringRight));
  }
}

void RecorderDialog::ReadSettingsFromControls() {
  Settings.SamplingRate = platform::ParseProfileInt(GetText(kIdSamplingRate, 79), 0);
  for (int32_t i = 0; i < kChannelCount; ++i) {
    const GridRow& r = kGridRows[i];
    ChannelSettings& c = Channels[i];
    c.Gain = Has(r.gain) ? platform::ParseProfileInt(GetText(r.gain, 9), 0) : 1;
    c.bIsEnabled = IsTicked(r.enable) ? 1 : 0;
    c.bIsRecording = IsTicked(r.rec) ? 1 : 0;
    c.bIsMonitoringLeft = IsTicked(r.left) ? 1 : 0;
    c.bIsMonitoringRight = IsTicked(r.right) ? 1 : 0;
  }
}

void RecorderDialog::UpdateGridEnableState() {
  for (int32_t i = 0; i < kChannelCount; ++i) {
    const GridRow& r = kGridRows[i];
    const bool enabled = IsTicked(r.enable);
    if (bIsRunning == 1) {
      for (int32_t id : {r.enable, r.cal, r.gain, r.label}) Enable(id, false);
    } else {
      Enable(r.enable, true);
      Enable(r.label, true);
      Enable(r.cal, enabled);
      Enable(r.gain, enabled);
    }
    for (int32_t id : {r.rec, r.left, r.right}) {
      Enable(id, enabled);
      if (!enabled) SetTicked(id, false);
    }
    if (Settings.NumGains == 1) Enable(r.gain, false);
  }
}

void RecorderDialog::LayoutChannelGrid() {
  if (Settings.MaxChannels < 1 || Settings.MaxChannels > 16) return;
  Engine.FitChannelsToDevice();
  for (int32_t i = 0; i < kChannelCount; ++i) {
    const GridRow& r = kGridRows[i];
    for (int32_t id : {r.number, r.label, r.enable, r.rec, r.left, r.right, r.cal, r.gain})
      Show(id, i < Settings.MaxChannels);
    Enable(r.gain, Settings.NumGains != 1);
  }
  UpdateControlsFromSettings();
  UpdateGridEnableState();

  const int32_t labelBottom = GetRect(kGridRows[Settings.MaxChannels - 1].label).bottom;
  windowRect_.bottom = windowRect_.top + labelBottom + 32;
  ui::Rect status = GetRect(kIdStatus);
  const int32_t height = status.Height();
  status.top = labelBottom + 8;
  status.bottom = status.top + height;
  SetRect(kIdStatus, status);
  ui::Rect frame = GetRect(kIdGridFrame);
  frame.bottom = status.bottom + 1;
  SetRect(kIdGridFrame, frame);
  if (onWindowFitted) onWindowFitted();
  if (onMetersChanged) onMetersChanged();
}

}  // namespace varnel
