// The options sheet's controls against the settings record: what each page shows for a record, and
// what the record becomes when the user changes a control and presses OK.
#include "shell/options_sheet.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/common/sheet_values.h"
#include "platform/window.h"

namespace velmo::shell {
namespace {

using platform::SheetDescription;

SettingsRecord Sample() {
    SettingsRecord s;
    s.appearance = {kShapeRectangle, kBorderSingle, kIconMinimize | kIconSystemMenu, kScaleShowAll, "", "Demo"};
    s.sizeAndPosition = {kSizeCustom, 640, 480, kPositionCenter, 0, 0, 1};
    s.interaction = {kLeftSend, kRightContextMenu, kKeysSend | kKeysDisableWindowsKeys, kExitOnEsc, 0, 0, 0};
    s.behaviour = {kMenuConfigure | kMenuAbout, kAutoPlay | kTrayUsesAppIcon};
    s.misc = {0, 0x5F3A1F, "", 0};
    s.regionList = {"star", "ring"};
    return s;
}

// What OK gives after the user set `values` (control id, value text) on a sheet made from `s`.
SettingsRecord Edited(const SettingsRecord& s, std::initializer_list<std::pair<int, std::string>> values) {
    SheetDescription sheet = MakeOptionsSheet(s);
    for (const auto& [id, value] : values) EXPECT_TRUE(platform::SetSheetValue(sheet, id, value)) << id << "=" << value;
    SettingsRecord out = s;
    ReadOptionsSheet(sheet, out);
    return out;
}

TEST(OptionsSheet, FivePagesInOrderWithUniqueControlIds) {
    const SheetDescription sheet = MakeOptionsSheet(Sample());
    ASSERT_EQ(sheet.pages.size(), 5u);
    const struct {
        int dialog, icon;
        const char* caption;
    } want[] = {{145, 157, "Appearance"},
                {144, 158, "Size and Position"},
                {146, 159, "Interaction"},
                {143, 160, "Behaviour"},
                {142, 161, "Miscellaneous"}};
    std::set<int> ids;
    for (size_t i = 0; i < 5; ++i) {
        const platform::SheetPage& page = sheet.pages[i];
        EXPECT_EQ(page.dialogId, want[i].dialog);
        EXPECT_EQ(page.iconId, want[i].icon);
        EXPECT_EQ(page.caption, want[i].caption);
        for (const platform::SheetControl& c : page.controls) {
            if (c.id) {
                EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " twice";
            }
            // Every control lies inside its page, where the dialog shows it.
            EXPECT_GE(c.rect.x, 0);
            EXPECT_LE(c.rect.x + c.rect.width, page.width) << c.id << " " << c.text;
            if (c.kind != platform::SheetControlKind::List && c.kind != platform::SheetControlKind::EditableList) {
                EXPECT_LE(c.rect.y + c.rect.height, page.height) << c.id << " " << c.text;
            }
        }
    }
    // The hidden controls of the pages are not shown at all.
    for (const int hidden : {1087, 1091, 1112, 1078, 1038}) EXPECT_EQ(sheet.Find(hidden), nullptr) << hidden;
    EXPECT_EQ(sheet.iconId, 128);
}

TEST(OptionsSheet, ControlsShowTheRecord) {
    SettingsRecord s = Sample();
    s.interaction.keyPress = kKeysSend | kKeysIgnore;  // the filter ignores keys: so does the radio
    s.interaction.hotKeyCode = 'Q';
    s.interaction.hotKeyModifiers = platform::kModifierControl;
    s.appearance.borderStyle = kBorderResizable | kBorderSmallCaption;
    const SheetDescription sheet = MakeOptionsSheet(s);
    const auto value = [&](int id) { return sheet.Find(id)->value; };
    EXPECT_EQ(value(1040), "1");  // rectangle
    EXPECT_EQ(value(1047), "1");  // resizable
    EXPECT_EQ(value(1046), "0");
    EXPECT_EQ(value(1048), "1");  // small caption
    EXPECT_EQ(value(1107), "0");
    EXPECT_EQ(value(1050), "1");  // minimize box
    EXPECT_EQ(value(1049), "0");
    EXPECT_EQ(value(1053), "1");  // show all
    EXPECT_EQ(value(1055), "Demo");
    EXPECT_EQ(sheet.Find(1043)->items, (std::vector<std::string>{"star", "ring"}));
    EXPECT_EQ(value(1059), "1");  // custom size
    EXPECT_EQ(value(1061), "640");
    EXPECT_EQ(value(1062), "480");
    EXPECT_EQ(value(1064), "4");  // screen center
    EXPECT_EQ(sheet.Find(1064)->items.size(), 11u);
    EXPECT_EQ(sheet.Find(1064)->items[10], "Custom: Relative about screen");
    EXPECT_EQ(value(1067), "1");
    EXPECT_EQ(value(1075), "1");  // context menu
    EXPECT_EQ(value(1010), "1");
    EXPECT_EQ(value(1077), "0");
    EXPECT_EQ(value(1016), std::to_string(0x200 | 'Q'));
    EXPECT_EQ(value(1032), "1");
    EXPECT_EQ(value(1033), "0");
    EXPECT_EQ(value(1037), "1");
    EXPECT_EQ(value(1019), "1");        // bit 0 of 0x5F3A1F
    EXPECT_EQ(value(1092), "#1F3A5F");  // red in byte 0
}

TEST(OptionsSheet, UntouchedSheetGivesTheRecordBack) {
    for (SettingsRecord s : {Sample(), SettingsRecord{}}) {
        s.appearance.windowShape = 3;  // no radio shows it; it must survive
        SheetDescription sheet = MakeOptionsSheet(s);
        SettingsRecord out = s;
        ReadOptionsSheet(sheet, out);
        EXPECT_EQ(out, s);
    }
}

TEST(OptionsSheet, ScaleRadiosStoreTheirModes) {
    EXPECT_EQ(Edited(Sample(), {{1108, "1"}}).appearance.scaleMode, kScaleNoBorder);
    EXPECT_EQ(Edited(Sample(), {{1034, "1"}}).appearance.scaleMode, kScaleExactFit);
    EXPECT_EQ(Edited(Sample(), {{1054, "1"}}).appearance.scaleMode, kScaleNormal);
    EXPECT_EQ(Edited(Sample(), {{1040, "0"}, {1042, "1"}, {1043, "ring"}}).appearance.windowShape, kShapeClip);
    EXPECT_EQ(Edited(Sample(), {{1042, "1"}, {1043, "ring"}}).appearance.clipShapeImage, "ring");
}

TEST(OptionsSheet, BorderRadioCombinesWithItsCheckBoxes) {
    EXPECT_EQ(Edited(Sample(), {{1107, "1"}}).appearance.borderStyle, kBorderSingle | kBorderHideTaskButton);
    EXPECT_EQ(Edited(Sample(), {{1045, "1"}, {1107, "1"}}).appearance.borderStyle, kBorderNone | kBorderHideTaskButton);
    EXPECT_EQ(Edited(Sample(), {{1047, "1"}, {1048, "1"}}).appearance.borderStyle,
              kBorderResizable | kBorderSmallCaption);
    SettingsRecord s = Sample();
    s.appearance.borderStyle = kBorderNone | kBorderSingle | kBorderHideTaskButton;  // two radio bits
    EXPECT_EQ(Edited(s, {{1047, "1"}, {1107, "0"}}).appearance.borderStyle, kBorderResizable);
}

TEST(OptionsSheet, PercentageIsKeptInTheHeightForModeFour) {
    const SettingsRecord percent = Edited(Sample(), {{1060, "1"}, {1063, "50"}});
    EXPECT_EQ(percent.sizeAndPosition.sizeMode, kSizePercent);
    EXPECT_EQ(percent.sizeAndPosition.height, 50);
    EXPECT_EQ(percent.sizeAndPosition.width, 640);
    // Another mode takes the height edit, not the percentage.
    const SettingsRecord custom = Edited(Sample(), {{1063, "50"}, {1062, "300"}});
    EXPECT_EQ(custom.sizeAndPosition.height, 300);
    // A record in mode 4 shows its percentage, and the spin steps it like typing would.
    SettingsRecord s = Sample();
    s.sizeAndPosition.sizeMode = kSizePercent;
    s.sizeAndPosition.height = 75;
    EXPECT_EQ(MakeOptionsSheet(s).Find(1063)->value, "75");
    EXPECT_EQ(Edited(s, {{1068, "30"}}).sizeAndPosition.height, 30);
    EXPECT_EQ(Edited(s, {{1065, "12"}, {1029, "34"}, {1064, "9"}}).sizeAndPosition,
              (SizeAndPosition{kSizePercent, 640, 75, kPositionCustom, 12, 34, 1}));
}

TEST(OptionsSheet, HotKeyValueSplitsIntoCodeAndModifiers) {
    const SettingsRecord s = Edited(Sample(), {{1080, "1"}, {1016, std::to_string(0x600 | 'X')}});
    EXPECT_EQ(s.interaction.hotKeyCode, 'X');
    EXPECT_EQ(s.interaction.hotKeyModifiers, platform::kModifierControl | platform::kModifierAlt);
    EXPECT_EQ(s.interaction.exitKeys, kExitOnEsc | kExitOnHotKey);
}

TEST(OptionsSheet, FlagsKeepTheBitsNoControlShows) {
    const SettingsRecord s = Edited(Sample(), {{1010, "1"}, {1082, "1"}, {1086, "1"}, {1037, "0"}, {1033, "1"}});
    EXPECT_EQ(s.interaction.keyPress, kKeysIgnore | kKeysDisableWindowsKeys);
    EXPECT_EQ(s.interaction.inputDisabling, kHideCursor);
    EXPECT_EQ(s.behaviour.flags, kTrayUsesAppIcon | kShowInTray);
    EXPECT_EQ(s.behaviour.menuAdditions, kMenuConfigure | kMenuFlashPlayer | kMenuAbout);
    EXPECT_EQ(Edited(Sample(), {{1072, "1"}, {1076, "1"}}).interaction.leftButton, kLeftDrag);
    EXPECT_EQ(Edited(Sample(), {{1072, "1"}, {1076, "1"}}).interaction.rightButton, kRightIgnore);
}

TEST(OptionsSheet, NoAdditionsShowsNothingTickedAndTickingReplacesIt) {
    SettingsRecord s = Sample();
    s.behaviour.menuAdditions = kMenuNone | kMenuConfigure | kMenuAbout;
    const SheetDescription sheet = MakeOptionsSheet(s);
    for (const int id : {1032, 1033, 1035, 1039}) EXPECT_EQ(sheet.Find(id)->value, "0") << id;
    EXPECT_EQ(Edited(s, {}).behaviour.menuAdditions, 0u);
    EXPECT_EQ(Edited(s, {{1039, "1"}}).behaviour.menuAdditions, kMenuHelp);
}

TEST(OptionsSheet, BackgroundColourAndItsFlagShareBitZero) {
    const SettingsRecord on = Edited(Sample(), {{1092, "#FF8040"}});
    EXPECT_EQ(on.misc.backgroundColour, 0x4080FFu);  // red FF keeps bit 0: the flag stays on
    const SettingsRecord off = Edited(Sample(), {{1019, "0"}, {1092, "#FF8040"}});
    EXPECT_EQ(off.misc.backgroundColour, 0x4080FEu);
    const SettingsRecord flagged = Edited(SettingsRecord{}, {{1019, "1"}, {1092, "#204060"}});
    EXPECT_EQ(flagged.misc.backgroundColour, 0x604021u);
    const SettingsRecord help = Edited(Sample(), {{1089, "1"}, {1020, "docs\\help.chm"}, {1088, "1"}});
    EXPECT_EQ(help.misc.flags, kUseHelpFile | kMuteSpeakers);
    EXPECT_EQ(help.misc.helpFile, "docs\\help.chm");
}

TEST(OptionsSheet, LongTextsAreCutToWhatTheEditsTake) {
    SettingsRecord s = Sample();
    s.appearance.caption = std::string(259, 'c');
    SheetDescription sheet = MakeOptionsSheet(s);
    EXPECT_EQ(sheet.Find(1055)->value.size(), kMaxOptionText);
    EXPECT_FALSE(platform::SetSheetValue(sheet, 1055, std::string(kMaxOptionText + 1, 'x')));
    EXPECT_TRUE(platform::SetSheetValue(sheet, 1055, std::string(kMaxOptionText, 'x')));
    SettingsRecord out = s;
    ReadOptionsSheet(sheet, out);
    EXPECT_EQ(out.appearance.caption, std::string(kMaxOptionText, 'x'));
}

}  // namespace
}  // namespace velmo::shell
