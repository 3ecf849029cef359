// The manifest reader: every way a velmo.toml can be wrong names its line, a minimal manifest gets
// the documented defaults, and symbolic names land on the record values they stand for.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "shell/identifier_record.h"
#include "shell/settings_record.h"
#include "tools/builder/manifest.h"

namespace velmo::builder {
namespace {

using namespace velmo::shell;

const char* const kMinimal = "[movie]\nfile = \"movie.swf\"\n";

std::string ErrorOf(const std::string& text) {
    try {
        (void)ParseManifest(text, "proj");
    } catch (const ManifestError& error) {
        return error.what();
    }
    return "<no error>";
}

TEST(Manifest, ErrorsNameTheLineAndTheProblem) {
    const struct {
        const char* text;
        const char* message;
    } rows[] = {
        {"[movie]\nfile = \"m.swf\"\n[appearance]\ncolour = \"#FF0000\"\n",
         "velmo.toml:4: unknown key 'colour' in [appearance]"},
        {"[movie]\nfile = \"m.swf\"\n\n[colours]\n", "velmo.toml:4: unknown table [colours]"},
        {"file = \"m.swf\"\n", "velmo.toml:1: key 'file' must be inside a [table]"},
        {"[movie]\nfile = \"m.swf\"\nfile = \"n.swf\"\n", "velmo.toml:3: key 'file' is given twice (first on line 2)"},
        {"[movie]\n[movie]\n", "velmo.toml:2: table [movie] is defined twice (first on line 1)"},
        {"[movie]\nfile = \"m.swf\n", "velmo.toml:2: unterminated string"},
        {"[movie]\nfile = \"a\\qb\"\n", "velmo.toml:2: unknown escape \\q"},
        {"[movie]\nfile = \"a\\u00\"\n", "velmo.toml:2: \\u needs 4 hex digits"},
        {"[movie]\nfile = \"a\\u0000\"\n", "velmo.toml:2: strings may not contain NUL"},
        {"[movie]\nfile = \"a\\uD800\"\n", "velmo.toml:2: escape names no Unicode character"},
        {"[movie]\nflags = 014\n", "velmo.toml:2: leading zeros are not allowed"},
        {"[movie]\nflags = 1.5\n", "velmo.toml:2: floats, dates and times are not supported"},
        {"[movie]\nflags = 9223372036854775808\n", "velmo.toml:2: integer out of range"},
        {"[movie]\nflags = 12 13\n", "velmo.toml:2: unexpected '1' after the value"},
        {"[movie]\nflags = yes\n",
         "velmo.toml:2: expected a value: a \"string\", an integer, true, false or an [array]"},
        {"[movie]\nflags = \"14\"\n", "velmo.toml:2: 'flags' in [movie] must be an integer, not a string"},
        {"[movie]\nflags = 0x100000000\n", "velmo.toml:2: 'flags' in [movie] must lie between 0 and 4294967295"},
        {"[movie]\nprotection = [1, \"a\"]\n", "velmo.toml:2: an array may not mix strings and integers"},
        {"[movie]\nprotection = [1, 2\n", "velmo.toml:2: an array must be closed with ']' on the same line"},
        {"[movie]\nprotection = [1]\nkey = \"k\"\n",
         "velmo.toml:3: 'key' in [movie] cannot be given together with [movie] protection"},
        {"[movie]\nkey = \"k\"\nprotection = [1]\n",
         "velmo.toml:3: 'protection' in [movie] cannot be given together with [movie] key"},
        {"[movie]\nkey = "
         "\"kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk"
         "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk"
         "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk\"\n",
         "velmo.toml:2: 'key' in [movie] is longer than 255 bytes"},
        {"[movie]\nfile = '''x'''\n", "velmo.toml:2: multi-line strings are not supported"},
        {"[[movie]]\n", "velmo.toml:1: arrays of tables ([[...]]) are not supported"},
        {"[movie]\nmovie.file = \"x\"\n", "velmo.toml:2: dotted keys are not supported; use a [table]"},
        {"[movie]\nfile = \"x\"\n\x01\n", "velmo.toml:3: control character U+0001 is not allowed"},
        {"[movie]\nfile = \"\xC3\x28\"\n", "velmo.toml:2: the text is not valid UTF-8"},
        {"[about]\nproduct = \"p\"\n", "velmo.toml: no movie is named; add [movie] with file = \"movie.swf\""},
        {"[movie]\nfile = \"../movie.swf\"\n",
         "velmo.toml:2: 'file' in [movie]: \"../movie.swf\" must be a path inside the project folder"},
        {"[movie]\nfile = \"/abs/movie.swf\"\n",
         "velmo.toml:2: 'file' in [movie]: \"/abs/movie.swf\" must be relative to the project folder"},
        {"[movie]\nfile = \"VELMO.toml\"\n",
         "velmo.toml:2: 'file' in [movie]: \"VELMO.toml\" is the manifest, which is not packed"},
        {"[movie]\nfile = \"m.swf\"\n[appearance]\nshape = \"round\"\n",
         "velmo.toml:4: 'shape' in [appearance]: unknown value \"round\"; expected one of \"rectangle\", "
         "\"transparent\", \"clip\""},
        {"[movie]\nfile = \"m.swf\"\n[appearance]\nborder = \"single\"\n",
         "velmo.toml:4: 'border' in [appearance] must be an array of names, such as [\"none\"]"},
        {"[movie]\nfile = \"m.swf\"\n[appearance]\nbackground = \"#12345\"\n",
         "velmo.toml:4: 'background' in [appearance] must be a colour written \"#RRGGBB\""},
        {"[movie]\nfile = \"m.swf\"\n[appearance]\nshape = \"clip\"\n",
         "velmo.toml:4: shape = \"clip\" needs a clip_image"},
        {"[movie]\nfile = \"m.swf\"\n[window]\nsize = \"custom\"\nwidth = 10\n",
         "velmo.toml:4: size = \"custom\" needs a width and a height in pixels"},
        {"[movie]\nfile = \"m.swf\"\n[window]\nsize = \"percent\"\nwidth = 101\nheight = 50\n",
         "velmo.toml:4: size = \"percent\" needs a width and a height between 1 and 100"},
        {"[movie]\nfile = \"m.swf\"\n[interaction]\nexit_keys = [\"hot_key\"]\n",
         "velmo.toml:4: exit key \"hot_key\" needs a hot_key"},
        {"[movie]\nfile = \"m.swf\"\n[interaction]\nhot_key = \"Ctrl+Hyper+Q\"\n",
         "velmo.toml:4: 'hot_key' in [interaction]: \"Ctrl+Hyper+Q\" is not a hot key such as \"Ctrl+Alt+Q\" "
         "or "
         "\"Shift+F12\""},
        {"[movie]\nfile = \"m.swf\"\n[application]\nguid = \"{0123}\"\n",
         "velmo.toml:4: 'guid' in [application] must be written \"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\""},
        {"[movie]\nfile = \"m.swf\"\n[flash_player]\nversion = [9, 0, 28, 0]\n",
         "velmo.toml: [flash_player] needs an installer = \"...\" file"},
        {"[movie]\nfile = \"m.swf\"\n[build]\ntime = \"2024-02-30T00:00:00Z\"\n",
         "velmo.toml:4: 'time' in [build] must be a UTC time written \"YYYY-MM-DDTHH:MM:SSZ\""},
        {"[movie]\nfile = \"m.swf\"\n[appearance]\nregions = [\"a/x.msk\", \"b/X.msk\"]\n",
         "velmo.toml:4: two region images are named \"X\""},
        {"[movie]\nfile = \"m.swf\"\n[scripts]\nInit = \"a.qvc\"\ninit = \"b.qvc\"\n",
         "velmo.toml:5: script 'init' is given twice (resource names ignore case)"},
        {"[movie]\nfile = \"m.swf\"\n[about.font1]\nface = \"A font name longer than thirty-one\"\n",
         "velmo.toml:4: 'face' in [about.font1] is longer than 31 characters"},
    };
    for (const auto& row : rows) EXPECT_EQ(ErrorOf(row.text), row.message) << row.text;
    // Nested arrays are refused before they are read, however deep.
    EXPECT_EQ(ErrorOf("[movie]\nprotection = " + std::string(200000, '[') + "\n"),
              "velmo.toml:2: arrays may hold only strings or integers");
}

TEST(Manifest, MinimalManifestGetsTheDocumentedDefaults) {
    const Manifest m = ParseManifest(kMinimal, "Demo");
    const SettingsRecord& s = m.settings;
    EXPECT_EQ(m.movieList.movieName, "movie.swf");
    EXPECT_EQ(m.movieList.movieFlags, 14u);
    EXPECT_EQ(m.identifier, "Velmo/Demo\\V1.0");
    EXPECT_EQ(s.about.productName, "Demo");
    EXPECT_EQ(s.about.description, std::nullopt);
    EXPECT_EQ(s.appearance.caption, "Demo");
    EXPECT_EQ(s.appearance.windowShape, kShapeRectangle);
    EXPECT_EQ(s.appearance.borderStyle, kBorderSingle);
    EXPECT_EQ(s.appearance.borderIcons, kIconMinimize | kIconSystemMenu);
    EXPECT_EQ(s.appearance.scaleMode, kScaleShowAll);
    EXPECT_EQ(s.sizeAndPosition.sizeMode, kSizeMovie);
    EXPECT_EQ(s.sizeAndPosition.position, kPositionCenter);
    EXPECT_EQ(s.interaction.leftButton, kLeftSend);
    EXPECT_EQ(s.interaction.rightButton, kRightSend);
    EXPECT_EQ(s.interaction.keyPress, kKeysSend);
    EXPECT_EQ(s.interaction.exitKeys, 0u);
    EXPECT_EQ(s.behaviour.menuAdditions, kMenuAbout);
    EXPECT_EQ(s.behaviour.flags, kAutoPlay);
    EXPECT_EQ(s.misc.backgroundColour, 0u);
    EXPECT_EQ(s.aboutBox.font1.faceName, "MS Shell Dlg");
    EXPECT_EQ(s.aboutBox.font1.weight, 400);
    EXPECT_EQ(s.build.port, 80);
    EXPECT_FALSE(m.hasBuildTime);
    EXPECT_FALSE(m.flashPlayer.has_value());
    EXPECT_TRUE(m.scripts.empty() && m.regionImages.empty() && !m.aboutBackground);
    ASSERT_EQ(m.namedFiles.size(), 1u);
    EXPECT_EQ(m.namedFiles[0].namedBy, "[movie] file");
    EXPECT_EQ(m.namedFiles[0].line, 2);

    // The GUID follows the identifier alone: stable across builds, different across projects, and
    // marked as a name-based GUID.
    EXPECT_EQ(m.guid, ParseManifest(kMinimal, "Demo").guid);
    EXPECT_NE(m.guid, ParseManifest(kMinimal, "Other").guid);
    EXPECT_EQ(GuidText(m.guid)[15], '3');
    EXPECT_EQ(ParseManifest(kMinimal, "x").identifier, "Velmo/x\\V1.0");
}

TEST(Manifest, SymbolicNamesAndTypedValuesLandOnTheRecords) {
    const Manifest m = ParseManifest(R"(# a comment line
[application]
identifier = "Acme/Game\\V2.0"   # trailing comment
guid = "{01234567-89AB-CDEF-0123-456789ABCDEF}"

[movie]
file = 'media/intro.swf'
flags = 0x10
protection = [1, 2, 255,]

[about]
product = "Caf\u00E9 \"Game\""
comment = "line\tone\nline two"
picture = "about.png"
background = "about.bmp"

[about.font2]
weight = "bold"
charset = "greek"
italic = true
height = -16

[appearance]
shape = "clip"
clip_image = "shapes\\clip.bmp"
border = ["none"]
icons = []
scale = "exact_fit"
caption = ""
background = "#102030"
regions = ["masks/round.msk", "square.msk"]

[window]
size = "percent"
width = 80
height = 60
position = "bottom_right"

[interaction]
left_click = "drag"
right_click = "menu"
keys = ["send", "disable_windows_keys"]
exit_keys = ["esc", "hot_key"]
disable = ["cursor", "screen_saver"]
hot_key = "Ctrl + Shift + F12"

[behaviour]
menu = []
auto_play = false
always_on_top = true
help_file = "help/manual.chm"

[flash_player]
installer = "setup/player.exe"

[scripts]
Initialize = "scripts/init.qvc"
_GetFlashPlayer = "scripts/player.qvc"

[build]
time = "2024-05-01T12:30:45Z"
)",
                                     "proj");
    const SettingsRecord& s = m.settings;
    EXPECT_EQ(m.identifier, "Acme/Game\\V2.0");
    EXPECT_EQ(GuidText(m.guid), "{01234567-89AB-CDEF-0123-456789ABCDEF}");
    EXPECT_EQ(m.movieList.movieName, "media\\intro.swf");
    EXPECT_EQ(m.movieList.movieFlags, 0x10u);
    EXPECT_EQ(m.movieList.protection[2], 255);
    EXPECT_EQ(m.movieList.protection[3], 0);
    // The manifest is UTF-8; records hold the system's 8-bit code page.
    EXPECT_EQ(s.about.productName, velmo::platform::Utf16ToAnsi(u"Caf\u00E9 \"Game\""));
    EXPECT_EQ(s.about.comment, "line\tone\nline two");
    EXPECT_EQ(s.aboutBox.pictureFile, "about.png");
    EXPECT_EQ(s.aboutBox.pictureFlags, kShowPictureFile);  // naming a picture shows it
    ASSERT_TRUE(m.aboutBackground.has_value());
    EXPECT_EQ(m.aboutBackground->path, "about.bmp");
    EXPECT_EQ(s.aboutBox.font1.weight, 400);
    EXPECT_EQ(s.aboutBox.font2.weight, 700);
    EXPECT_EQ(s.aboutBox.font2.charSet, 161);
    EXPECT_EQ(s.aboutBox.font2.italic, 1);
    EXPECT_EQ(s.aboutBox.font2.height, -16);
    EXPECT_EQ(s.appearance.windowShape, kShapeClip);
    EXPECT_EQ(s.appearance.clipShapeImage, "shapes\\clip.bmp");
    EXPECT_EQ(s.appearance.borderStyle, kBorderNone);
    EXPECT_EQ(s.appearance.borderIcons, 0u);
    EXPECT_EQ(s.appearance.scaleMode, kScaleExactFit);
    EXPECT_EQ(s.appearance.caption, "");  // given empty, so not the product name
    EXPECT_EQ(s.misc.backgroundColour, 0x302010u | kCustomBackground);
    ASSERT_EQ(m.regionImages.size(), 2u);
    EXPECT_EQ(RegionImageName(m.regionImages[0].path), "round");
    EXPECT_EQ((std::array{s.sizeAndPosition.sizeMode, uint32_t{s.sizeAndPosition.width},
                          uint32_t{s.sizeAndPosition.height}, s.sizeAndPosition.position}),
              (std::array<uint32_t, 4>{kSizePercent, 80, 60, kPositionBottomRight}));
    EXPECT_EQ(s.interaction.leftButton, kLeftDrag);
    EXPECT_EQ(s.interaction.rightButton, kRightContextMenu);
    EXPECT_EQ(s.interaction.keyPress, kKeysSend | kKeysDisableWindowsKeys);
    EXPECT_EQ(s.interaction.exitKeys, kExitOnEsc | kExitOnHotKey);
    EXPECT_EQ(s.interaction.inputDisabling, kHideCursor | kDisableScreenSaver);
    EXPECT_EQ(s.interaction.hotKeyCode, 0x7B);      // F12
    EXPECT_EQ(s.interaction.hotKeyModifiers, 0x3);  // Shift | Control
    EXPECT_EQ(s.behaviour.menuAdditions, kMenuNone);
    EXPECT_EQ(s.behaviour.flags, kAlwaysOnTop);
    EXPECT_EQ(s.misc.helpFile, "help\\manual.chm");
    EXPECT_EQ(s.misc.flags, kUseHelpFile);
    ASSERT_TRUE(m.flashPlayer.has_value());
    EXPECT_EQ(m.flashPlayer->installer, "setup\\player.exe");
    EXPECT_EQ(m.flashPlayer->version, (std::array<uint32_t, 4>{9, 0, 0, 0}));
    ASSERT_EQ(m.scripts.size(), 2u);
    EXPECT_EQ(m.scripts[1].name, "_GetFlashPlayer");
    EXPECT_EQ(m.scripts[1].file.path, "scripts\\player.qvc");
    EXPECT_TRUE(m.hasBuildTime);
    EXPECT_EQ(s.build.buildTime, (SystemTime{2024, 5, 3, 1, 12, 30, 45, 0}));  // a Wednesday
    EXPECT_EQ(m.namedFiles.size(),
              10u);  // movie, picture, background, clip, two regions, help, installer, two scripts
}

}  // namespace
}  // namespace velmo::builder
