#include "shell/options_sheet.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <span>

namespace velmo::shell {

namespace {

using platform::DialogRect;
using platform::SheetControl;
using platform::SheetDescription;
using platform::SheetPage;
using Kind = platform::SheetControlKind;

constexpr int kPageWidth = 262, kPageHeight = 190;
constexpr int kRowHeight = 12;  // one radio or check box row, in dialog units
constexpr int kBoxWidth = 110;  // a radio's or check box's width in a half-page group
constexpr size_t kMaxHelpPath = kMaxPathChars;

// The radio groups of the sheet; radios of one group exclude each other.
enum Group : int { kShapeGroup = 1, kBorderGroup, kScaleGroup, kSizeGroup, kLeftGroup, kRightGroup, kKeysGroup };

// A radio button and the field value it stands for, or a check box and the bit it stands for.
struct Choice {
    int id;
    const char* text;
    uint32_t value;
};

constexpr Choice kShapes[] = {{1040, "Rectangle", kShapeRectangle},
                              {1041, "Transparent background", kShapeTransparent},
                              {1042, "Set clip shape", kShapeClip}};
constexpr Choice kBorders[] = {
    {1045, "None", kBorderNone}, {1046, "Single", kBorderSingle}, {1047, "Resizable", kBorderResizable}};
constexpr Choice kBorderBits[] = {{1048, "Small caption", kBorderSmallCaption},
                                  {1107, "Hide Taskbar button", kBorderHideTaskButton}};
constexpr Choice kIcons[] = {{1049, "Maximize", kIconMaximize},
                             {1050, "Minimize", kIconMinimize},
                             {1051, "System menu", kIconSystemMenu},
                             {1052, "Help", kIconHelp}};
constexpr Choice kScales[] = {{1053, "Show all", kScaleShowAll},
                              {1054, "100%", kScaleNormal},
                              {1108, "No border", kScaleNoBorder},
                              {1034, "Exact Fit", kScaleExactFit}};
constexpr Choice kSizes[] = {{1056, "Equals to the origin size of the movie", kSizeMovie},
                             {1057, "Makes the projector window Full-Screen", kSizeFullScreen},
                             {1058, "Maximizes the projector window", kSizeMaximized},
                             {1059, "Custom fixed size, in pixels", kSizeCustom},
                             {1060, "Percentage of desktop", kSizePercent}};
constexpr const char* kAlignments[] = {"Top Left",
                                       "Top Center",
                                       "Top Right",
                                       "Center Left",
                                       "Screen Center",
                                       "Center Right",
                                       "Bottom Left",
                                       "Bottom Center",
                                       "Bottom Right",
                                       "Custom: Absolute position",
                                       "Custom: Relative about screen"};
constexpr Choice kLeftClicks[] = {
    {1071, "Send to Flash Player", kLeftSend}, {1072, "Drag window", kLeftDrag}, {1073, "Ignore", kLeftIgnore}};
constexpr Choice kRightClicks[] = {{1074, "Show Flash Player menu", kRightSend},
                                   {1075, "Show Context menu", kRightContextMenu},
                                   {1076, "Ignore", kRightIgnore}};
constexpr Choice kKeys[] = {{1077, "Send to Flash Player", kKeysSend}, {1010, "Ignore", kKeysIgnore}};
constexpr Choice kExitKeys[] = {{1079, "ESC", kExitOnEsc}, {1080, "Custom Hot Key", kExitOnHotKey}};
constexpr Choice kInputBits[] = {{1081, "Disable ALT-TAB and ALT-CTRL-DEL(for win9x only)", kDisableTaskSwitch},
                                 {1082, "Disable cursors", kHideCursor},
                                 {1083, "Disable Screen Savers", kDisableScreenSaver}};
constexpr Choice kBehaviourBits[] = {{1085, "Always on top", kAlwaysOnTop},
                                     {1086, "Show in the system tray", kShowInTray},
                                     {1084, "Start minimized", kStartMinimized},
                                     {1037, "Auto play", kAutoPlay}};
constexpr Choice kMenuBits[] = {{1032, "Configure", kMenuConfigure},
                                {1033, "Flash Player menu", kMenuFlashPlayer},
                                {1035, "About", kMenuAbout},
                                {1039, "Help", kMenuHelp}};
constexpr Choice kMiscBits[] = {{1089, "Use help file", kUseHelpFile}, {1088, "Mute", kMuteSpeakers}};
constexpr Choice kKeepRatioCheck[] = {{1067, "Keep ratio while resizing", 1}};
constexpr Choice kBackgroundCheck[] = {{1019, "Custom background color", kCustomBackground}};

// The controls that edit numbers, and the spins that step them.
enum : int {
    kWidthEdit = 1061,
    kWidthSpin = 1021,
    kHeightEdit = 1062,
    kHeightSpin = 1023,
    kPercentEdit = 1063,
    kPercentSpin = 1068,
    kLeftEdit = 1065,
    kLeftSpin = 1028,
    kTopEdit = 1027,
    kTopSpin = 1029,
};
enum : int {
    kClipImage = 1043,
    kCaption = 1055,
    kAlignment = 1064,
    kHotKey = 1016,
    kHelpFile = 1020,
};
constexpr uint16_t kMaxWord = 0xFFFF;
constexpr int kMaxPercent = 100;
// What the percentage shows when the window is not sized by one.
constexpr int kDefaultPercent = 100;

const char* OnOff(bool on) { return on ? "1" : "0"; }

SheetControl Control(int id, Kind kind, std::string text, DialogRect rect) {
    SheetControl c;
    c.id = id;
    c.kind = kind;
    c.text = std::move(text);
    c.rect = rect;
    return c;
}

void AddBox(SheetPage& page, const char* text, DialogRect rect) {
    page.controls.push_back(Control(0, Kind::GroupBox, text, rect));
}
void AddLabel(SheetPage& page, const char* text, DialogRect rect) {
    page.controls.push_back(Control(0, Kind::Label, text, rect));
}

// A column of radios from (x, y) down; the one whose value is `current` is checked.
void AddRadios(SheetPage& page, std::span<const Choice> choices, int group, int x, int y, int width,
               std::optional<uint32_t> current) {
    for (const Choice& c : choices) {
        SheetControl radio = Control(c.id, Kind::Radio, c.text, {x, y, width, 10});
        radio.group = group;
        radio.value = OnOff(current && *current == c.value);
        page.controls.push_back(std::move(radio));
        y += kRowHeight;
    }
}

// A column of check boxes from (x, y) down, each checked when its bit is set in `field`.
void AddChecks(SheetPage& page, std::span<const Choice> choices, int x, int y, int width, uint32_t field) {
    for (const Choice& c : choices) {
        SheetControl check = Control(c.id, Kind::Check, c.text, {x, y, width, 10});
        check.value = OnOff((field & c.value) != 0);
        page.controls.push_back(std::move(check));
        y += kRowHeight;
    }
}

// A number edit with its spin to the right; the spin names the edit as its buddy.
void AddNumber(SheetPage& page, int editId, int spinId, DialogRect rect, int minimum, int maximum, uint32_t value) {
    SheetControl edit = Control(editId, Kind::NumberEdit, "", rect);
    edit.value = std::to_string(value);
    page.controls.push_back(std::move(edit));
    SheetControl spin = Control(spinId, Kind::Spin, "", {rect.x + rect.width, rect.y, 10, rect.height});
    spin.buddy = editId;
    spin.minimum = minimum;
    spin.maximum = maximum;
    page.controls.push_back(std::move(spin));
}

SheetPage Page(int dialogId, int iconId, const char* caption) {
    SheetPage page;
    page.dialogId = dialogId;
    page.iconId = iconId;
    page.caption = caption;
    page.width = kPageWidth;
    page.height = kPageHeight;
    return page;
}

// The radio of a bit-flag field that shows: the first of `order` whose bit is set, as the window
// rules take the first that matches.
std::optional<uint32_t> FirstBit(uint32_t field, std::initializer_list<uint32_t> order) {
    for (const uint32_t bit : order)
        if (field & bit) return bit;
    return std::nullopt;
}

SheetPage AppearancePage(const SettingsRecord& s) {
    const Appearance& a = s.appearance;
    SheetPage page = Page(145, 157, "Appearance");
    AddBox(page, "Window shape", {7, 7, 124, 76});
    AddRadios(page, kShapes, kShapeGroup, 14, 19, kBoxWidth, a.windowShape);
    SheetControl clip = Control(kClipImage, Kind::EditableList, "", {24, 57, 100, 80});
    clip.items = s.regionList;
    clip.value = a.clipShapeImage.substr(0, kMaxOptionText);
    clip.maxLength = kMaxOptionText;
    page.controls.push_back(std::move(clip));

    AddBox(page, "Border style", {138, 7, 117, 76});
    AddRadios(page, kBorders, kBorderGroup, 145, 19, 104,
              FirstBit(a.borderStyle, {kBorderNone, kBorderSingle, kBorderResizable}));
    AddChecks(page, kBorderBits, 145, 55, 104, a.borderStyle);

    AddBox(page, "Border icons", {7, 88, 124, 64});
    AddChecks(page, kIcons, 14, 100, kBoxWidth, a.borderIcons);
    AddBox(page, "Scale mode", {138, 88, 117, 64});
    AddRadios(page, kScales, kScaleGroup, 145, 100, 104, a.scaleMode);

    AddLabel(page, "Caption/Taskbar text", {7, 158, 248, 8});
    SheetControl caption = Control(kCaption, Kind::Edit, "", {7, 169, 248, 14});
    caption.value = a.caption.substr(0, kMaxOptionText);
    caption.maxLength = kMaxOptionText;
    page.controls.push_back(std::move(caption));
    return page;
}

SheetPage SizePage(const SettingsRecord& s) {
    const SizeAndPosition& z = s.sizeAndPosition;
    SheetPage page = Page(144, 158, "Size and Position");
    AddBox(page, "Window size", {7, 7, 248, 110});
    AddRadios(page, std::span(kSizes).first(4), kSizeGroup, 14, 19, 230, z.sizeMode);
    AddLabel(page, "Width", {26, 69, 28, 8});
    AddNumber(page, kWidthEdit, kWidthSpin, {56, 67, 42, 12}, 0, kMaxWord, z.width);
    AddLabel(page, "Height", {118, 69, 28, 8});
    AddNumber(page, kHeightEdit, kHeightSpin, {148, 67, 42, 12}, 0, kMaxWord, z.height);
    AddRadios(page, std::span(kSizes).subspan(4), kSizeGroup, 14, 85, 230, z.sizeMode);
    // One percentage for both sides, kept in the height field.
    AddNumber(page, kPercentEdit, kPercentSpin, {26, 98, 32, 12}, 1, kMaxPercent,
              z.sizeMode == kSizePercent ? z.height : kDefaultPercent);
    AddLabel(page, "%", {72, 100, 10, 8});

    AddBox(page, "Position", {7, 122, 248, 62});
    AddLabel(page, "Alignment", {14, 136, 40, 8});
    SheetControl alignment = Control(kAlignment, Kind::List, "", {56, 134, 140, 120});
    alignment.items.assign(std::begin(kAlignments), std::end(kAlignments));
    alignment.value = z.position < alignment.items.size() ? std::to_string(z.position) : "";
    page.controls.push_back(std::move(alignment));
    AddLabel(page, "Left", {14, 153, 28, 8});
    AddNumber(page, kLeftEdit, kLeftSpin, {56, 151, 42, 12}, 0, kMaxWord, z.x);
    AddLabel(page, "Top", {118, 153, 28, 8});
    AddNumber(page, kTopEdit, kTopSpin, {148, 151, 42, 12}, 0, kMaxWord, z.y);
    AddChecks(page, kKeepRatioCheck, 14, 169, 180, z.keepRatio ? 1 : 0);
    return page;
}

SheetPage InteractionPage(const SettingsRecord& s) {
    const Interaction& i = s.interaction;
    SheetPage page = Page(146, 159, "Interaction");
    AddBox(page, "Left button click", {7, 7, 124, 52});
    AddRadios(page, kLeftClicks, kLeftGroup, 14, 19, kBoxWidth, i.leftButton);
    AddBox(page, "Right button click", {138, 7, 117, 52});
    AddRadios(page, kRightClicks, kRightGroup, 145, 19, 104, i.rightButton);
    // Ignoring wins where both bits are set, as the key filter decides.
    AddBox(page, "Key press", {7, 64, 124, 40});
    AddRadios(page, kKeys, kKeysGroup, 14, 76, kBoxWidth, FirstBit(i.keyPress, {kKeysIgnore, kKeysSend}));
    AddBox(page, "Exit keys", {138, 64, 117, 56});
    AddChecks(page, kExitKeys, 145, 76, 104, i.exitKeys);
    SheetControl hotKey = Control(kHotKey, Kind::HotKey, "", {145, 101, 100, 13});
    hotKey.value = std::to_string(((i.hotKeyModifiers & 0xFFu) << 8) | (i.hotKeyCode & 0xFFu));
    page.controls.push_back(std::move(hotKey));
    AddBox(page, "Input", {7, 125, 248, 52});
    AddChecks(page, kInputBits, 14, 137, 234, i.inputDisabling);
    return page;
}

SheetPage BehaviourPage(const SettingsRecord& s) {
    const Behaviour& b = s.behaviour;
    SheetPage page = Page(143, 160, "Behaviour");
    AddBox(page, "Window", {7, 7, 248, 64});
    AddChecks(page, kBehaviourBits, 14, 19, 234, b.flags);
    // With "no additions" the menus get none of these, and so none shows ticked.
    AddBox(page, "Add to Context Menu", {7, 76, 248, 64});
    AddChecks(page, kMenuBits, 14, 88, 234, (b.menuAdditions & kMenuNone) ? 0 : b.menuAdditions);
    return page;
}

std::string ColourText(uint32_t word) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF);
    return text;
}

SheetPage MiscellaneousPage(const SettingsRecord& s) {
    const Miscellaneous& m = s.misc;
    SheetPage page = Page(142, 161, "Miscellaneous");
    AddBox(page, "Help", {7, 7, 248, 46});
    AddChecks(page, std::span(kMiscBits).first(1), 14, 19, 234, m.flags);
    SheetControl help = Control(kHelpFile, Kind::Edit, "", {14, 33, 234, 13});
    help.value = m.helpFile.substr(0, kMaxHelpPath);
    help.maxLength = kMaxHelpPath;
    page.controls.push_back(std::move(help));
    AddBox(page, "Sound", {7, 58, 248, 28});
    AddChecks(page, std::span(kMiscBits).subspan(1), 14, 70, 234, m.flags);
    AddBox(page, "Background", {7, 91, 248, 34});
    AddChecks(page, kBackgroundCheck, 14, 105, 150, m.backgroundColour);
    SheetControl colour = Control(kBackgroundColourButton, Kind::Colour, "Color...", {180, 102, 68, 15});
    colour.value = ColourText(m.backgroundColour);
    page.controls.push_back(std::move(colour));
    return page;
}

// ---- Reading the values back

bool Checked(const SheetDescription& sheet, int id) {
    const SheetControl* c = sheet.Find(id);
    return c && c->value == "1";
}

std::optional<uint32_t> ChosenRadio(const SheetDescription& sheet, std::span<const Choice> choices) {
    for (const Choice& c : choices)
        if (Checked(sheet, c.id)) return c.value;
    return std::nullopt;
}

// `field` with the bits of `choices` as their check boxes say; other bits stay.
uint32_t WithBits(const SheetDescription& sheet, std::span<const Choice> choices, uint32_t field) {
    for (const Choice& c : choices) field = Checked(sheet, c.id) ? (field | c.value) : (field & ~c.value);
    return field;
}

// `field` with the radio chosen among `choices`, whose values are bits of it; none chosen keeps it.
uint32_t WithRadioBit(const SheetDescription& sheet, std::span<const Choice> choices, uint32_t field) {
    const std::optional<uint32_t> chosen = ChosenRadio(sheet, choices);
    if (!chosen) return field;
    for (const Choice& c : choices) field &= ~c.value;
    return field | *chosen;
}

std::optional<uint32_t> Number(const SheetDescription& sheet, int id) {
    const SheetControl* c = sheet.Find(id);
    if (!c || c->value.empty() || c->value.size() > 10) return std::nullopt;
    uint64_t n = 0;
    for (const char ch : c->value) {
        if (ch < '0' || ch > '9') return std::nullopt;
        n = n * 10 + static_cast<uint64_t>(ch - '0');
    }
    return n > 0xFFFFFFFFu ? std::nullopt : std::optional<uint32_t>(static_cast<uint32_t>(n));
}

void ReadWord(const SheetDescription& sheet, int id, uint16_t& field) {
    if (const std::optional<uint32_t> n = Number(sheet, id))
        field = static_cast<uint16_t>(std::min<uint32_t>(*n, kMaxWord));
}

void ReadText(const SheetDescription& sheet, int id, size_t limit, std::string& field) {
    if (const SheetControl* c = sheet.Find(id)) field = c->value.substr(0, limit);
}

// "#RRGGBB" into bytes 0, 1, 2 of the colour word.
std::optional<uint32_t> ColourWord(const std::string& text) {
    unsigned r, g, b;
    char end;
    if (text.size() != 7 || std::sscanf(text.c_str(), "#%2x%2x%2x%c", &r, &g, &b, &end) != 3) return std::nullopt;
    return r | (g << 8) | (b << 16);
}

}  // namespace

SheetDescription MakeOptionsSheet(const SettingsRecord& settings) {
    SheetDescription sheet;
    sheet.caption = "Options";
    sheet.iconId = kOptionsSheetIcon;
    sheet.pages = {AppearancePage(settings), SizePage(settings), InteractionPage(settings), BehaviourPage(settings),
                   MiscellaneousPage(settings)};
    return sheet;
}

void ReadOptionsSheet(const SheetDescription& sheet, SettingsRecord& settings) {
    Appearance& a = settings.appearance;
    if (const auto shape = ChosenRadio(sheet, kShapes)) a.windowShape = *shape;
    ReadText(sheet, kClipImage, kMaxOptionText, a.clipShapeImage);
    a.borderStyle = WithBits(sheet, kBorderBits, WithRadioBit(sheet, kBorders, a.borderStyle));
    a.borderIcons = WithBits(sheet, kIcons, a.borderIcons);
    if (const auto scale = ChosenRadio(sheet, kScales)) a.scaleMode = *scale;
    ReadText(sheet, kCaption, kMaxOptionText, a.caption);

    SizeAndPosition& z = settings.sizeAndPosition;
    if (const auto mode = ChosenRadio(sheet, kSizes)) z.sizeMode = *mode;
    ReadWord(sheet, kWidthEdit, z.width);
    ReadWord(sheet, z.sizeMode == kSizePercent ? kPercentEdit : kHeightEdit, z.height);
    if (const auto position = Number(sheet, kAlignment)) z.position = *position;
    ReadWord(sheet, kLeftEdit, z.x);
    ReadWord(sheet, kTopEdit, z.y);
    if (sheet.Find(kKeepRatioCheck[0].id)) z.keepRatio = Checked(sheet, kKeepRatioCheck[0].id) ? 1 : 0;

    Interaction& i = settings.interaction;
    if (const auto left = ChosenRadio(sheet, kLeftClicks)) i.leftButton = *left;
    if (const auto right = ChosenRadio(sheet, kRightClicks)) i.rightButton = *right;
    i.keyPress = WithRadioBit(sheet, kKeys, i.keyPress);
    i.exitKeys = WithBits(sheet, kExitKeys, i.exitKeys);
    i.inputDisabling = WithBits(sheet, kInputBits, i.inputDisabling);
    if (const auto hotKey = Number(sheet, kHotKey); hotKey && *hotKey <= kMaxWord) {
        i.hotKeyCode = static_cast<uint16_t>(*hotKey & 0xFF);
        i.hotKeyModifiers = static_cast<uint16_t>(*hotKey >> 8);
    }

    Behaviour& b = settings.behaviour;
    b.flags = WithBits(sheet, kBehaviourBits, b.flags);
    // The boxes say every addition there is: "no additions" is what none ticked means now.
    b.menuAdditions = WithBits(sheet, kMenuBits, b.menuAdditions & ~kMenuNone);

    Miscellaneous& m = settings.misc;
    m.flags = WithBits(sheet, kMiscBits, m.flags);
    ReadText(sheet, kHelpFile, kMaxHelpPath, m.helpFile);
    // The flag is bit 0 of the colour word, which is also the red byte's lowest bit: the flag wins.
    if (const SheetControl* colour = sheet.Find(kBackgroundColourButton))
        if (const std::optional<uint32_t> rgb = ColourWord(colour->value))
            m.backgroundColour = (m.backgroundColour & 0xFF000000u) | *rgb;
    m.backgroundColour =
        (m.backgroundColour & ~kCustomBackground) | (Checked(sheet, kBackgroundCheck[0].id) ? kCustomBackground : 0);
}

}  // namespace velmo::shell
