#include <gtest/gtest.h>

#include "TemplateReader.h"
#include "app/LabelDialog.h"
#include "app/RecordingOptionsDialog.h"
#include "calibration/CalibrationOptionsDialog.h"
#include "calibration/CreateCalibrationDialog.h"
#include "ui/DialogUnits.h"
#include "ui/QuietUiServices.h"
#include "win32/DialogTemplate.h"

namespace varnel::win32 {
namespace {

using test::ReadTemplate;
using test::TemplateReader;
using ui::ControlKind;
using ui::DluRect;

class EveryKind : public ui::Dialog {
 public:
  EveryKind() : Dialog("Every Kind \xC3\xA9", 180, 110) {
    AddControl(-1, ControlKind::GroupBox, "Frame", DluRect(4, 4, 172, 44));
    AddControl(100, ControlKind::StaticText, "Name:", DluRect(10, 16, 30, 8));
    AddControl(101, ControlKind::Edit, "ch1", DluRect(44, 14, 61, 12));
    AddControl(102, ControlKind::ComboBox, "", DluRect(110, 14, 60, 12)).editable = true;
    AddControl(103, ControlKind::CheckBox, "&Loud", DluRect(10, 30, 40, 10));
    AddControl(110, ControlKind::RadioButton, "L0", DluRect(57, 31, 23, 9));
    AddControl(104, ControlKind::PushButton, "&Fill", DluRect(11, 55, 51, 15));
    AddControl(ui::kIdOk, ControlKind::DefaultPushButton, "OK", DluRect(64, 90, 50, 14));
    AddControl(-2, ControlKind::StaticText, "Status", DluRect(4, 97, 50, 10)).sunken = true;
    Enable(104, false);
    Show(103, false);
  }
};

ReadTemplate ReadBack(const DialogTemplate& t) {
  auto read = TemplateReader(t.Data(), t.Size()).Read();
  EXPECT_TRUE(read.has_value());
  return read.value_or(ReadTemplate{});
}

TEST(DialogTemplate, HeaderHoldsSizeTitleAndShellFont) {
  EveryKind dialog;
  ReadTemplate t = ReadBack(BuildDialogTemplate(dialog));
  EXPECT_EQ(180, t.cx);
  EXPECT_EQ(110, t.cy);
  EXPECT_EQ(u"Every Kind \u00E9", t.title);
  EXPECT_EQ(8, t.pointSize);
  EXPECT_EQ(u"MS Shell Dlg", t.font);
  EXPECT_NE(0u, t.style & style::kDsSetFont);
  EXPECT_NE(0u, t.style & style::kCaption);
  EXPECT_EQ(0u, t.style & style::kMinimizeBox);
  EXPECT_EQ(dialog.ControlOrder().size(), t.count);
}

TEST(DialogTemplate, MainWindowHasMinimiseBoxAndGivenSize) {
  EveryKind dialog;
  TemplateOptions options;
  options.mainWindow = true;
  options.heightDlu = 77;
  ReadTemplate t = ReadBack(BuildDialogTemplate(dialog, options));
  EXPECT_NE(0u, t.style & style::kMinimizeBox);
  EXPECT_EQ(180, t.cx);
  EXPECT_EQ(77, t.cy);
}

TEST(DialogTemplate, SizeIsExactAndItemsAreDwordAligned) {
  EveryKind dialog;
  DialogTemplate built = BuildDialogTemplate(dialog);
  ReadTemplate t = ReadBack(built);
  EXPECT_EQ(built.Size(), t.end);
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(built.Data()) % 4);
  for (const auto& item : t.items) {
    EXPECT_EQ(0u, item.offset % 4) << item.id;
    EXPECT_EQ(0, item.creationData) << item.id;
    EXPECT_EQ(0u, item.exStyle) << item.id;
  }
}

TEST(DialogTemplate, ItemsFollowCreationOrderWithClassesAndIds) {
  EveryKind dialog;
  ReadTemplate t = ReadBack(BuildDialogTemplate(dialog));
  struct Expected {
    uint16_t id;
    uint16_t atom;
    uint32_t kindStyle;
    std::u16string title;
  };
  const std::vector<Expected> expected = {
      {0xFFFF, kButtonAtom, style::kBsGroupBox, u"Frame"},
      {100, kStaticAtom, style::kSsLeft, u"Name:"},
      {101, kEditAtom, 0, u"ch1"},
      {102, kComboBoxAtom, style::kCbsDropDown, u""},
      {103, kButtonAtom, style::kBsCheckBox, u"&Loud"},
      {110, kButtonAtom, style::kBsRadioButton, u"L0"},
      {104, kButtonAtom, style::kBsPushButton, u"&Fill"},
      {1, kButtonAtom, style::kBsDefPushButton, u"OK"},
      {0xFFFE, kStaticAtom, style::kSsSunken, u"Status"},
  };
  ASSERT_EQ(expected.size(), t.items.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].id, t.items[i].id);
    EXPECT_EQ(expected[i].atom, t.items[i].classAtom);
    EXPECT_EQ(expected[i].title, t.items[i].title);
    const uint32_t low = t.items[i].style & 0xFFFF;
    const uint32_t kindMask = expected[i].atom == kButtonAtom     ? 0xF
                              : expected[i].atom == kComboBoxAtom ? 0x3
                              : expected[i].atom == kStaticAtom   ? style::kSsSunken
                                                                  : 0;
    EXPECT_EQ(expected[i].kindStyle, low & kindMask);
    EXPECT_NE(0u, t.items[i].style & style::kChild);
  }
}

TEST(DialogTemplate, StatesBecomeStyles) {
  EveryKind dialog;
  ReadTemplate t = ReadBack(BuildDialogTemplate(dialog));
  auto find = [&](uint16_t id) {
    for (const auto& item : t.items)
      if (item.id == id) return item;
    ADD_FAILURE() << id;
    return test::ReadItem{};
  };
  EXPECT_NE(0u, find(104).style & style::kDisabled);
  EXPECT_NE(0u, find(104).style & style::kVisible);
  EXPECT_EQ(0u, find(103).style & style::kVisible);
  EXPECT_EQ(0u, find(101).style & style::kDisabled);
  // Focusable controls are tab stops; frames and texts are not.
  for (uint16_t id : {101, 102, 103, 110, 104, 1}) EXPECT_NE(0u, find(id).style & style::kTabStop) << id;
  for (uint16_t id : {0xFFFF, 100}) EXPECT_EQ(0u, find(id).style & style::kTabStop) << id;
}

TEST(DialogTemplate, RectanglesComeBackInDialogUnits) {
  EveryKind dialog;
  ReadTemplate t = ReadBack(BuildDialogTemplate(dialog));
  struct Case {
    uint16_t id;
    int16_t x, y, cx, cy;
  };
  // Odd positions and sizes too: the pixel round trip must be exact.
  for (const Case& c : {Case{101, 44, 14, 61, 12}, Case{110, 57, 31, 23, 9}, Case{104, 11, 55, 51, 15},
                        Case{0xFFFF, 4, 4, 172, 44}}) {
    for (const auto& item : t.items) {
      if (item.id != c.id) continue;
      EXPECT_EQ(c.x, item.x) << c.id;
      EXPECT_EQ(c.y, item.y) << c.id;
      EXPECT_EQ(c.cx, item.cx) << c.id;
      EXPECT_EQ(c.cy, item.cy) << c.id;
    }
  }
}

TEST(DialogTemplate, ClosedComboBoxGetsRoomForItsList) {
  EveryKind dialog;
  ReadTemplate t = ReadBack(BuildDialogTemplate(dialog));
  for (const auto& item : t.items) {
    if (item.id == 102) {
      EXPECT_GT(item.cy, 60);
    }
  }
}

TEST(DialogTemplate, PixelRoundTripIsExactForEveryDialogUnit) {
  for (int32_t dlu = -50; dlu <= 400; ++dlu) {
    EXPECT_EQ(dlu, PixelsToDluX(ui::DluToPixelsX(dlu))) << dlu;
    EXPECT_EQ(dlu, PixelsToDluY(ui::DluToPixelsY(dlu))) << dlu;
  }
}

TEST(DialogTemplate, EveryProgramDialogReadsBack) {
  ui::QuietUiServices quiet;
  RecorderSettings settings = DefaultRecorderSettings();
  char label[256] = "ch";
  char cal[260] = "";
  LabelDialog labelDialog(quiet, 3, label);
  const ChannelSettingsArray channels = DefaultChannels();
  RecordingOptionsDialog options(quiet, settings, channels);
  CalibrationOptionsDialog calibration("cal", cal, "varnel", quiet);
  CreateCalibrationDialog create("cal", cal, "varnel", quiet);
  for (const ui::Dialog* d : std::initializer_list<const ui::Dialog*>{&labelDialog, &options, &calibration, &create}) {
    SCOPED_TRACE(d->Title());
    DialogTemplate built = BuildDialogTemplate(*d);
    ReadTemplate t = ReadBack(built);
    EXPECT_EQ(built.Size(), t.end);
    EXPECT_EQ(d->ControlOrder().size(), t.items.size());
    EXPECT_EQ(d->WidthDlu(), t.cx);
    EXPECT_EQ(d->HeightDlu(), t.cy);
  }
}

TEST(Utf, ConversionsRoundTripAndReplaceBadBytes) {
  EXPECT_EQ(u"a\u00E9\u20AC\U0001F600", Utf8ToUtf16("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
  EXPECT_EQ("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", Utf16ToUtf8(u"a\u00E9\u20AC\U0001F600"));
  EXPECT_EQ(u"\uFFFDx", Utf8ToUtf16("\xFFx"));
  EXPECT_EQ(u"\uFFFD", Utf8ToUtf16("\xC3"));        // cut short
  EXPECT_EQ(u"\uFFFD\uFFFD", Utf8ToUtf16("\xC0\xAF"));  // overlong
  EXPECT_EQ("", Utf16ToUtf8(u""));
}

}  // namespace
}  // namespace varnel::win32
