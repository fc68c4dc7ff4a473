#include "calibration/CreateCalibrationDialog.h"

#include <algorithm>
#include <iterator>

#include "calibration/CalibrationFile.h"
#include "calibration/CalibrationNumbers.h"
#include "platform/FixedString.h"
#include "ui/DialogUnits.h"

namespace varnel {
namespace {

// A row of the "Calibration Units" list and what choosing it does to the
// other controls. A null label leaves the label's text as it is.
struct UnitRow {
  const char* text;
  int32_t unitCode;
  const char* sensitivityLabel;
  bool sensitivityEnabled;
  bool conversionEnabled;
};

constexpr UnitRow kUnitRows[] = {
    {"Millivolts, dBmV", 1, nullptr, false, false},
    {"Volts, dBV", 0, nullptr, false, false},
    {"Pascals, SPL (in air)", 2, "Microphone Sensitivity (mV/PA)", true, false},
    {"Pascals, SPL (in water)", 10, "Hydrophone Sensitivity (mV/PA)", true, false},
    {"Acceleration", 3, "Accelerometer Sensitivity (mV/G)", true, true},
};

struct ConversionRow {
  const char* text;
  int32_t conversionCode;
};

constexpr ConversionRow kConversionRows[] = {
    {"None", 0},
    {"Velocity (ft/sec)", 1},
    {"Velocity (in/sec)", 2},
    {"Velocity (mils/sec)", 7},
    {"Velocity (mm/sec)", 3},
    {"Displacement (ft)", 4},
    {"Displacement (in)", 5},
    {"Displacement (mils)", 8},
    {"Displacement (mm)", 6},
};

// What a unit puts into the calibration. A transducer's full-scale fraction
// is its sensitivity times this factor; a fixed one is stored as the float
// nearest to the factor. Acceleration takes labels and integration from the
// conversion.
constexpr double kTransducerFactor = 0.0001414;

enum class Scale { Fixed, Sensitivity };

struct UnitRule {
  int32_t unitCode;
  const char* tooSmallMessage;  // null: the sensitivity is not consulted
  int32_t refUnits;
  const char* labelLinear;  // null: from the conversion
  const char* labelLog;
  Scale scale;
  double fixedPctFullScale;
};

constexpr UnitRule kUnitRules[] = {
    {1, nullptr, 1, "Millivolts rms", "dBmV rms", Scale::Fixed, 0.0001414},
    {0, nullptr, 0, "Volts rms", "dBV rms", Scale::Fixed, 0.1414},
    {2, "Microphone sensitivity is too small", 8, "Pascals (PA)", "SPL (dB re 20uPA)", Scale::Sensitivity, 0},
    {10, "Hydrophone sensitivity is too small", 11, "Pascals (PA)", "SPL (dB re 1uPA)", Scale::Sensitivity, 0},
    {3, "Accelerometer sensitivity is too small", 3, nullptr, nullptr, Scale::Sensitivity, 0},
};

struct ConversionRule {
  int32_t conversionCode;
  const char* labelLinear;
  const char* labelLog;
  int32_t integrationType;
};

// clang-format off
constexpr ConversionRule kConversionRules[] = {
    {0, "Acceleration (G)", "Acceleration (G dB)", 0},
    {1, "Velocity (ft/sec)", "Velocity (ft/sec dB)", 1},
    {2, "Velocity (in/sec)", "Velocity (in/sec dB)", 1},
    {3, "Velocity (mm/sec)", "Velocity (mm/sec dB)", 1},
    {7, "Velocity (mils/sec)", "Velocity (mils/sec dB)", 1},
    {4, "Displacement (ft)", "Displacement (ft dB)", 2},
    {5, "Displacement (in)", "Displacement (in dB)", 2},
    {6, "Displacement (mm)", "Displacement (mm dB)", 2},
    {8, "Displacement (mils)", "Displacement (mils dB)", 2},
};
// clang-format on
// No conversion row selected.
constexpr ConversionRule kNoConversion = {-1, "G", "G (dB)", 0};

constexpr double kMinimumSensitivity = 0.001;
constexpr std::size_t kSensitivityChars = 79;

template <typename Row, std::size_t N>
const Row* FindByCode(const Row (&rows)[N], int32_t Row::*code, intptr_t wanted) {
  auto it = std::find_if(std::begin(rows), std::end(rows), [&](const Row& r) { return r.*code == wanted; });
  return it == std::end(rows) ? nullptr : &*it;
}

}  // namespace

CreateCalibrationDialog::CreateCalibrationDialog(std::string calPath, char (&savedPath)[260],
                                                 std::string programBaseName, ui::UiServices& ui)
    : Dialog("Create Calibration File", 253, 106),
      calPath_(std::move(calPath)),
      savedPath_(savedPath),
      programBaseName_(std::move(programBaseName)),
      ui_(ui) {
  using ui::ControlKind;
  AddControl(kIdUnitsLabel, ControlKind::StaticText, "Calibration Units:", ui::DluToPixels({7, 7, 183, 15}));
  AddControl(kIdUnits, ControlKind::ComboBox, "", ui::DluToPixels({7, 17, 183, 29})).editable = true;
  AddControl(kIdSensitivityLabel, ControlKind::StaticText,
             "Transducer Sensitivity:", ui::DluToPixels({7, 36, 183, 44}));
  AddControl(kIdSensitivity, ControlKind::Edit, "", ui::DluToPixels({7, 46, 80, 60}));
  AddControl(kIdConversionLabel, ControlKind::StaticText,
             "Convert Acceleration to:", ui::DluToPixels({7, 66, 183, 74}));
  AddControl(kIdConversion, ControlKind::ComboBox, "", ui::DluToPixels({7, 76, 183, 88})).editable = true;
  AddControl(ui::kIdOk, ControlKind::DefaultPushButton, "OK", ui::DluToPixels({196, 7, 246, 21}));
  AddControl(ui::kIdCancel, ControlKind::PushButton, "Cancel", ui::DluToPixels({196, 24, 246, 38}));
}

bool CreateCalibrationDialog::OnInitDialog() {
  ResetList(kIdUnits);
  for (const UnitRow& row : kUnitRows) AddListItem(kIdUnits, row.text, row.unitCode);
  SelectListItem(kIdUnits, 0);
  SetText(kIdSensitivity, "100.0");
  SetText(kIdSensitivityLabel, "Sensitivity");
  ResetList(kIdConversion);
  for (const ConversionRow& row : kConversionRows) AddListItem(kIdConversion, row.text, row.conversionCode);
  SelectListItem(kIdConversion, 0);
  Enable(kIdSensitivity, false);
  Enable(kIdConversion, false);
  return true;
}

void CreateCalibrationDialog::OnSelectionChange(int32_t id) {
  if (id != kIdUnits) return;
  const UnitRow* row = FindByCode(kUnitRows, &UnitRow::unitCode, ListItemData(kIdUnits, ListSelection(kIdUnits)));
  if (row == nullptr) return;
  if (row->sensitivityLabel != nullptr) SetText(kIdSensitivityLabel, row->sensitivityLabel);
  Enable(kIdSensitivity, row->sensitivityEnabled);
  Enable(kIdConversion, row->conversionEnabled);
}

void CreateCalibrationDialog::OnEditChange(int32_t id) {
  // Typing into a list's text field leaves none of its rows selected. A view
  // may echo the chosen row's own text as an edit: that keeps the row.
  if (id != kIdUnits && id != kIdConversion) return;
  const ui::ControlState& list = Control(id);
  const int32_t row = list.selection;
  if (row >= 0 && list.items[static_cast<std::size_t>(row)].text == list.text) return;
  SelectListItem(id, -1);
}

bool CreateCalibrationDialog::BuildCalibration() {
  const UnitRule* unit = FindByCode(kUnitRules, &UnitRule::unitCode, ListItemData(kIdUnits, ListSelection(kIdUnits)));
  if (unit == nullptr) return false;

  // The float S, widened, is what the check and the product see.
  const float sensitivity = ToCalibrationFloat(ParseCalibrationReal(GetText(kIdSensitivity, kSensitivityChars)));
  if (unit->tooSmallMessage != nullptr && !(static_cast<double>(sensitivity) > kMinimumSensitivity)) {
    ui_.MessageBox(unit->tooSmallMessage, programBaseName_, ui::mb::kOk);
    return false;
  }

  ChannelCalibration& left = record_.Left;
  left.CalibrationValid = 1;
  left.RefLevel = 1.0f;
  left.RefType = 1;
  left.LabelType = 1;
  left.CalRatio = 32768.0f;
  CopyCut(left.ChannelName, "");
  left.RefUnits = unit->refUnits;
  left.PctFullScale = unit->scale == Scale::Fixed
                          ? static_cast<float>(unit->fixedPctFullScale)
                          : ToCalibrationFloat(static_cast<long double>(sensitivity) * kTransducerFactor);
  if (unit->labelLinear != nullptr) {
    CopyCut(left.LabelLinear, unit->labelLinear);
    CopyCut(left.LabelLog, unit->labelLog);
    left.ConversionType = 0;
    left.IntegrationType = 0;
  } else {
    const auto code = static_cast<int32_t>(ListItemData(kIdConversion, ListSelection(kIdConversion)));
    const ConversionRule* conversion = FindByCode(kConversionRules, &ConversionRule::conversionCode, code);
    if (conversion == nullptr) conversion = &kNoConversion;
    CopyCut(left.LabelLinear, conversion->labelLinear);
    CopyCut(left.LabelLog, conversion->labelLog);
    left.ConversionType = code;
    left.IntegrationType = conversion->integrationType;
  }
  return true;
}

void CreateCalibrationDialog::OnOK() {
  if (!BuildCalibration()) return;
  ui::FileDialogRequest request;
  request.title = "Save Calibration File";
  request.filter = "Calibration Files (*.cal)|*.cal||";
  request.defaultExtension = "cal";
  request.initialFolder = calPath_;
  request.options = ui::fd::kHideReadOnly | ui::fd::kOverwritePrompt;
  const std::optional<std::string> path = ui_.SaveFileDialog(request);
  if (!path) return;
  // The path must survive in the 260-character fields it is kept in, and the
  // file must be there before anyone is told so.
  if (path->size() >= sizeof savedPath_) {
    ui_.MessageBox("Calibration file path is too long: " + *path, "Tessaline", ui::mb::kOk | ui::mb::kIconError);
    return;
  }
  if (!CalibrationFile::Write(path->c_str(), &record_)) {
    ui_.MessageBox("Failure writing calibration file: \"" + *path + "\"", "Tessaline",
                   ui::mb::kOk | ui::mb::kIconError);
    return;
  }
  CopyCut(savedPath_, *path);
  EndDialog(ui::DialogResult::OK);
}

}  // namespace varnel
