// The Recording Options' level trigger and timing groups: the same settings
// varnel-record's flags set, checked at OK with the Run's own refusals.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "app/RecordingOptionsDialog.h"
#include "engine/RecordingFileSet.h"
#include "engine/TriggerSetup.h"
#include "platform/FixedString.h"
#include "records/LevelTrigger.h"
#include "records/RunClock.h"
#include "ui/DialogUnits.h"

namespace varnel {

using ui::ControlKind;
using ui::DluRect;

namespace {

// Captions and frames have no id of their own; the file options' use -1 to -5.
constexpr int32_t kIdFirstStatic = -10;

// Two columns in the right half: captions, then the fields.
constexpr int32_t kCaptionX = 233;
constexpr int32_t kCaptionWidth = 72;
constexpr int32_t kFieldX = 307;

// The shortest text that reads back as `value`, so an OK without edits changes nothing.
std::string NumberText(double value) {
  char text[64] = "";
  for (int precision = 6; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

std::string ClockTimeRefusal(const std::string& field, const std::string& text, const char* whenEmpty) {
  return "The " + field + " \"" + text +
         "\" is not a time: write HH:MM or HH:MM:SS (today), or a date and time "
         "as YYYY-MM-DDTHH:MM[:SS], or leave it empty to " +
         whenEmpty + ".";
}

}  // namespace

void RecordingOptionsDialog::AddLevelTriggerControls() {
  int32_t caption = kIdFirstStatic;
  auto row = [&](int32_t y, const char* text) {
    AddControl(caption--, ControlKind::StaticText, text, DluRect(kCaptionX, y + 2, kCaptionWidth, 8));
  };
  AddControl(caption--, ControlKind::GroupBox, "Level Trigger", DluRect(226, 7, 232, 112));
  AddControl(kIdLevelTriggerEnable, ControlKind::CheckBox, "Start when a channel crosses a level",
             DluRect(kCaptionX, 20, 218, 10));
  row(36, "Channel:");
  AddControl(kIdTriggerChannel, ControlKind::ComboBox, "", DluRect(kFieldX, 36, 144, 12));
  row(52, "Level:");
  AddControl(kIdTriggerLevel, ControlKind::Edit, "", DluRect(kFieldX, 52, 50, 12));
  AddControl(kIdTriggerUnit, ControlKind::StaticText, "", DluRect(361, 54, 90, 8));
  row(68, "Slope:");
  AddControl(kIdTriggerSlope, ControlKind::ComboBox, "", DluRect(kFieldX, 68, 70, 12));
  row(84, "Pre-trigger:");
  AddControl(kIdPreTrigger, ControlKind::Edit, "", DluRect(kFieldX, 84, 50, 12));
  AddControl(caption--, ControlKind::StaticText, "seconds (0 to 60)", DluRect(361, 86, 90, 8));
  row(100, "Events:");
  AddControl(kIdTriggerEvents, ControlKind::Edit, "", DluRect(kFieldX, 100, 50, 12));
  AddControl(caption--, ControlKind::StaticText, "a number, or all", DluRect(361, 102, 90, 8));
}

void RecordingOptionsDialog::AddTimingControls() {
  int32_t caption = kIdFirstStatic - 20;
  auto row = [&](int32_t y, const char* text, int32_t id, const char* hint) {
    AddControl(caption--, ControlKind::StaticText, text, DluRect(kCaptionX, y + 2, kCaptionWidth, 8));
    AddControl(id, ControlKind::Edit, "", DluRect(kFieldX, y, 84, 12));
    AddControl(caption--, ControlKind::StaticText, hint, DluRect(395, y + 2, 56, 8));
  };
  AddControl(caption--, ControlKind::GroupBox, "Timing (empty: off)", DluRect(226, 126, 232, 78));
  row(137, "Start at:", kIdStartAt, "HH:MM[:SS]");
  row(153, "Stop after:", kIdStopAfter, "90s, 10m, 1h");
  row(169, "Stop at:", kIdStopAt, "HH:MM[:SS]");
  row(185, "Split files every:", kIdSplitEvery, "30s, 10m, 1h");
}

void RecordingOptionsDialog::InitLevelTrigger() {
  SetTicked(kIdLevelTriggerEnable, IsSet(settings_.LevelTriggerEnable));
  ResetList(kIdTriggerChannel);
  for (int32_t ch = 0; ch < kChannelCount; ++ch) {
    if (!IsSet(channels_[ch].bIsEnabled)) continue;
    scales_[ch] = TriggerChannelScale(channels_[ch], ch);
    AddListItem(kIdTriggerChannel, std::to_string(ch) + "  " + std::string(FieldText(channels_[ch].szLabel)), ch);
    if (ch == settings_.LevelTriggerChannel)
      SelectListItem(kIdTriggerChannel, static_cast<int32_t>(ListCount(kIdTriggerChannel)) - 1);
  }
  ResetList(kIdTriggerSlope);
  for (TriggerSlope slope : {TriggerSlope::kRising, TriggerSlope::kFalling, TriggerSlope::kEither}) {
    AddListItem(kIdTriggerSlope, TriggerSlopeKey(slope), static_cast<intptr_t>(slope));
    if (slope == settings_.LevelTriggerSlope)
      SelectListItem(kIdTriggerSlope, static_cast<int32_t>(ListCount(kIdTriggerSlope)) - 1);
  }
  // A level or time the settings file held as no number shows empty, for the user to fill in.
  const TriggerLevel& level = settings_.LevelTrigger;
  SetText(kIdTriggerLevel, std::isfinite(level.value) ? NumberText(level.value) + (level.percent ? "%" : "") : "");
  SetText(kIdPreTrigger, std::isfinite(settings_.PreTriggerSeconds) ? NumberText(settings_.PreTriggerSeconds) : "");
  SetText(kIdTriggerEvents, TriggerEventsKey(settings_.TriggerEvents));
  ShowTriggerUnit();
}

void RecordingOptionsDialog::InitTiming() {
  SetText(kIdStartAt, FieldText(settings_.StartAt));
  SetText(kIdStopAfter, FormatDuration(settings_.StopAfterSeconds));
  SetText(kIdStopAt, FieldText(settings_.StopAt));
  SetText(kIdSplitEvery, FormatDuration(settings_.SplitEverySeconds));
}

void RecordingOptionsDialog::EnableTriggerControls() {
  const bool level = IsTicked(kIdLevelTriggerEnable);
  // Both triggers record the post-trigger time from their trigger on.
  Enable(kIdPostTriggerTime, level || IsTicked(kIdTriggerEnable));
  for (int32_t id :
       {kIdTriggerChannel, kIdTriggerLevel, kIdTriggerUnit, kIdTriggerSlope, kIdPreTrigger, kIdTriggerEvents})
    Enable(id, level);
}

void RecordingOptionsDialog::ShowTriggerUnit() {
  const int32_t chosen = ListSelection(kIdTriggerChannel);
  if (chosen < 0) {
    SetText(kIdTriggerUnit, "% of full scale");
    return;
  }
  const auto ch = static_cast<int32_t>(ListItemData(kIdTriggerChannel, chosen));
  SetText(kIdTriggerUnit, TriggerLevelUnit(scales_[ch]) + ", or % of full scale");
}

bool RecordingOptionsDialog::ReadLevelTrigger(RecorderSettings& next) {
  const bool on = IsTicked(kIdLevelTriggerEnable);
  next.LevelTriggerEnable = on ? 1 : 0;
  const int32_t chosen = ListSelection(kIdTriggerChannel);
  if (chosen >= 0) next.LevelTriggerChannel = static_cast<int32_t>(ListItemData(kIdTriggerChannel, chosen));
  const int32_t slope = ListSelection(kIdTriggerSlope);
  if (slope >= 0) next.LevelTriggerSlope = static_cast<TriggerSlope>(ListItemData(kIdTriggerSlope, slope));
  const std::string levelText = TrimmedText(GetText(kIdTriggerLevel));
  const std::string preText = TrimmedText(GetText(kIdPreTrigger));
  const std::string eventsText = TrimmedText(GetText(kIdTriggerEvents));
  const auto level = ParseTriggerLevel(levelText);
  const auto pre = ParseFiniteNumber(preText);
  const auto events = ParseTriggerEvents(eventsText);
  // An unused trigger keeps what can be read and is not argued about.
  if (level) next.LevelTrigger = *level;
  if (pre) next.PreTriggerSeconds = *pre;
  if (events) next.TriggerEvents = *events;
  if (!on) return true;
  const int32_t ch = next.LevelTriggerChannel;
  if (!level) return Refuse(TriggerProblem{TriggerFault::kLevelNotANumber, ch, levelText}.Text());
  if (!pre) return Refuse(TriggerProblem{TriggerFault::kBadPreTrigger, ch, preText}.Text());
  if (!events)
    return Refuse("The number of events \"" + eventsText +
                  "\" must be a count of at least 1, or \"all\" to record every event until the run is stopped.");
  const bool enabled = ch >= 0 && ch < kChannelCount && IsSet(channels_[ch].bIsEnabled);
  // The memory is the Run's to check: what is free now says little about then.
  TriggerPlan plan;
  const TriggerProblem problem =
      PlanLevelTrigger(next, channels_, enabled ? scales_[ch] : ConverterVolts(""), std::nullopt, &plan);
  return !problem || Refuse(problem.Text());
}

bool RecordingOptionsDialog::ReadTiming(RecorderSettings& next) {
  const std::string startAt = TrimmedText(GetText(kIdStartAt));
  if (!startAt.empty() && !ParseClockTime(startAt))
    return Refuse(ClockTimeRefusal("start time", startAt, "start at Run"));
  const std::string stopAfter = TrimmedText(GetText(kIdStopAfter));
  const auto after = stopAfter.empty() ? std::optional<int64_t>(0) : ParseDuration(stopAfter);
  if (!after || *after > std::numeric_limits<int32_t>::max())
    return Refuse("The stop-after time \"" + stopAfter +
                  "\" is not a duration: write seconds (90), or 90s, 10m, 1h, or leave it empty to record until "
                  "stopped.");
  const std::string stopAt = TrimmedText(GetText(kIdStopAt));
  if (!stopAt.empty() && !ParseClockTime(stopAt))
    return Refuse(ClockTimeRefusal("stop time", stopAt, "record until stopped"));
  const std::string splitEvery = TrimmedText(GetText(kIdSplitEvery));
  const auto split = splitEvery.empty() ? std::optional<int64_t>(0) : ParseDuration(splitEvery);
  if (!split || *split > kMaxSplitSeconds)
    return Refuse("The split period \"" + splitEvery +
                  "\" must be from 1 s to 31 days (30s, 10m, 1h), or empty (or 0) not to split the files.");
  CopyCut(next.StartAt, startAt);
  next.StopAfterSeconds = static_cast<int32_t>(*after);
  CopyCut(next.StopAt, stopAt);
  next.SplitEverySeconds = static_cast<int32_t>(*split);
  return true;
}

}  // namespace varnel
