// Every reason the layers below the engine report, with its text and the box
// the Run shows for it.

#include "engine/RunMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ScriptedUiServices.h"

namespace varnel {
namespace {

using ui::mb::kIconError;
using ui::mb::kIconWarning;
using ui::mb::kOk;

struct Box {
  std::string text;
  std::string caption;
  uint32_t style;
};

// The one box `show` makes, or nothing when it makes none.
template <typename Show>
std::vector<test::ShownMessage> BoxesOf(Show show) {
  test::ScriptedUiServices ui;
  ui.AnswerUnscriptedBoxes(ui::DialogResult::OK);
  show(ui);
  return ui.Messages();
}

void ExpectOneBox(const std::vector<test::ShownMessage>& shown, const Box& box) {
  ASSERT_EQ(1u, shown.size()) << box.text;
  EXPECT_EQ(box.text, shown[0].text);
  EXPECT_EQ(box.caption, shown[0].caption) << box.text;
  EXPECT_EQ(box.style, shown[0].style) << box.text;
}

TEST(RunMessages, WaveErrorsToldAtOnceHaveTheWriterBoxes) {
  const std::pair<WaveError, Box> told[] = {
      {WaveError::kFileOpenFail, {"FILE_OPEN_FAIL", "", kOk}},
      {WaveError::kInvalidWaveFile, {"INVALID_WAVE_FILE", "", kOk}},
      {WaveError::kFailureWritingWaveFile, {"FAILURE_WRITING_WAVE_FILE", "", kOk}},
      {WaveError::kFailureClosingWaveFile, {"FAILURE_WRITING_WAVE_FILE", "WaveIO", kOk | kIconError}},
      {WaveError::kFailureDeletingTempFile, {"FAILURE_DELETING_TEMP_FILE", "WaveIO", kOk | kIconError}},
  };
  for (const auto& [error, box] : told) ExpectOneBox(BoxesOf([&](auto& ui) { ShowWaveError(ui, error); }), box);
  // Why an append failed is the run report's to tell.
  for (WaveError error : {WaveError::kNone, WaveError::kDiskFull, WaveError::kSizeLimit, WaveError::kWriteError})
    EXPECT_TRUE(BoxesOf([&](auto& ui) { ShowWaveError(ui, error); }).empty()) << WaveErrorText(error);
}

TEST(RunMessages, DeviceProblemsNameTheChosenBoard) {
  const std::pair<DeviceProblem, Box> told[] = {
      {{DeviceError::kNoDevice, "", 0},
       {"There are no data acquisition devices available on your system.", "Tessaline", kOk | kIconError}},
      {{DeviceError::kOpenFailed, "USB Audio CODEC: USB Audio (hw:CODEC,0)", 16},
       {"Error opening device USB Audio CODEC: USB Audio (hw:CODEC,0). Status code 16.\n", "", kOk | kIconWarning}},
      {{DeviceError::kConfigureFailed, "x", 3},
       {"Unable to open the device.  It may already be in use by another program", "Tessaline", kOk | kIconError}},
      {{DeviceError::kStartFailed, "x", 4}, {"Failure starting A/D", "", kOk | kIconWarning}},
  };
  for (const auto& [problem, box] : told) {
    EXPECT_EQ(box.text, problem.Text());
    ExpectOneBox(BoxesOf([&](auto& ui) { ShowDeviceProblem(ui, problem); }), box);
  }
  EXPECT_EQ("", DeviceErrorText(DeviceError::kNone, "x", 1));
  EXPECT_TRUE(BoxesOf([](auto& ui) { ShowDeviceProblem(ui, {}); }).empty());
}

TEST(RunMessages, LabelAndCalibrationProblemsSayWhichChannel) {
  ExpectOneBox(BoxesOf([](auto& ui) {
                 ShowLabelProblem(ui, {LabelFault::kNotUnique, 2, "Mic"});
               }),
               {"The channel label \"Mic\" is used by more than one channel.  Each label must be unique.", "Tessaline",
                kOk | kIconError});
  ExpectOneBox(BoxesOf([](auto& ui) {
                 ShowLabelProblem(ui, {LabelFault::kNotAFileName, 0, "a/b"});
               }),
               {"The channel label \"a/b\" cannot be used as a wave file name.  Labels must not contain \"/\", must "
                "not be \".\" or \"..\", and the wave file path with the label must stay within 255 characters.",
                "Tessaline", kOk | kIconError});
  EXPECT_EQ("", LabelFaultText(LabelFault::kNone, "x"));
  ExpectOneBox(BoxesOf([](auto& ui) {
                 ShowCalibrationProblem(ui, {CalibrationError::kNotSpecified, 3, ""});
               }),
               {"Calibration file not specified for channel 3", "Tessaline", kOk | kIconWarning});
  ExpectOneBox(BoxesOf([](auto& ui) {
                 ShowCalibrationProblem(ui, {CalibrationError::kCannotOpen, 15, "/cal/x.cal"});
               }),
               {"Failure opening calibration file: \"/cal/x.cal for channel 15", "Tessaline", kOk | kIconWarning});
  EXPECT_EQ("", CalibrationErrorText(CalibrationError::kNone, 1, "x"));
  EXPECT_TRUE(BoxesOf([](auto& ui) { ShowLabelProblem(ui, {}); }).empty());
  EXPECT_TRUE(BoxesOf([](auto& ui) { ShowCalibrationProblem(ui, {}); }).empty());
}

}  // namespace
}  // namespace varnel
