#pragma once
// The decoded project settings: eight sub-records stored back to back, in the "ST" resource and in
// the profile value "Settings"/"Options" alike. Texts are absent (nullopt) when stored with count 0;
// paths are empty then and hold at most 259 characters.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmo::shell {

inline constexpr size_t kMaxPathChars = 259;
inline constexpr size_t kMaxFaceNameChars = 31;

using Text = std::optional<std::string>;

// Window shape, border style and icons, scale mode.
enum : uint32_t { kShapeRectangle = 0, kShapeTransparent = 1, kShapeClip = 2 };
enum : uint32_t {
    kBorderNone = 0x1,
    kBorderSingle = 0x10,
    kBorderResizable = 0x100,
    kBorderSmallCaption = 0x1000,
    kBorderHideTaskButton = 0x10000
};
enum : uint32_t { kIconMaximize = 0x1, kIconMinimize = 0x10, kIconSystemMenu = 0x100, kIconHelp = 0x1000 };
enum : uint32_t { kScaleShowAll = 0x1, kScaleNoBorder = 0x2, kScaleNormal = 0x10, kScaleExactFit = 0x100 };
// Size modes and positions.
enum : uint32_t { kSizeMovie = 0, kSizeFullScreen = 1, kSizeMaximized = 2, kSizeCustom = 3, kSizePercent = 4 };
enum : uint32_t {
    kPositionTopLeft = 0,
    kPositionCenter = 4,
    kPositionBottomRight = 8,
    kPositionCustom = 9,
    kPositionPercent = 10
};
// Interaction.
enum : uint32_t { kLeftSend = 0, kLeftDrag = 1, kLeftIgnore = 2 };
enum : uint32_t { kRightSend = 0, kRightContextMenu = 1, kRightIgnore = 2 };
enum : uint32_t { kKeysSend = 0x1, kKeysIgnore = 0x10, kKeysDisableWindowsKeys = 0x100 };
enum : uint32_t { kExitOnEsc = 0x1, kExitOnHotKey = 0x10 };
enum : uint32_t { kDisableTaskSwitch = 0x1, kHideCursor = 0x10, kDisableScreenSaver = 0x100 };
// Behaviour.
enum : uint32_t {
    kMenuConfigure = 0x1,
    kMenuNone = 0x2,
    kMenuFlashPlayer = 0x10,
    kMenuAbout = 0x100,
    kMenuHelp = 0x1000
};
enum : uint32_t {
    kAutoPlay = 0x1,
    kTrayUsesAppIcon = 0x2,
    kStartMinimized = 0x10,
    kAlwaysOnTop = 0x100,
    kShowInTray = 0x1000
};
// Miscellaneous.
enum : uint32_t { kMuteSpeakers = 0x100, kUseHelpFile = 0x1000 };
inline constexpr uint32_t kCustomBackground = 0x1;
// About box picture.
enum : uint32_t { kShowPictureFile = 0x1, kShowMovie = 0x10 };

struct LogFont {
    int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
    uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0, outPrecision = 0, clipPrecision = 0, quality = 0,
            pitchAndFamily = 0;
    std::string faceName;  // at most 31 characters
    bool operator==(const LogFont&) const = default;
};

struct SystemTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
    bool operator==(const SystemTime&) const = default;
};

struct AboutText {
    Text productName, description, company, legalNotice, trademarks, comment, version;
    bool operator==(const AboutText&) const = default;
};

struct Appearance {
    uint32_t windowShape = 0, borderStyle = 0, borderIcons = 0, scaleMode = 0;
    std::string clipShapeImage;
    std::string caption;
    bool operator==(const Appearance&) const = default;
};

struct SizeAndPosition {
    uint32_t sizeMode = 0;
    uint16_t width = 0, height = 0;
    uint32_t position = 0;
    uint16_t x = 0, y = 0;
    uint32_t keepRatio = 0;
    bool operator==(const SizeAndPosition&) const = default;
};

struct Interaction {
    uint32_t leftButton = 0, rightButton = 0, keyPress = 0, exitKeys = 0, inputDisabling = 0;
    uint16_t hotKeyCode = 0, hotKeyModifiers = 0;
    bool operator==(const Interaction&) const = default;
};

struct Behaviour {
    uint32_t menuAdditions = 0, flags = 0;
    bool operator==(const Behaviour&) const = default;
};

struct Miscellaneous {
    uint32_t flags = 0;
    uint32_t backgroundColour = 0;  // bit 0: custom colour; bytes 0..2 red, green, blue
    std::string helpFile;
    uint32_t reserved = 0;
    bool operator==(const Miscellaneous&) const = default;
};

struct AboutBox {
    Text author, webAddress, contactCaption, emailAddress;
    uint32_t linkColour1 = 0, linkColour2 = 0;
    LogFont font1, font2;
    uint32_t pictureFlags = 0, secondWord = 0;
    std::string pictureFile;
    uint32_t reserved = 0;
    std::string secondPath;
    bool operator==(const AboutBox&) const = default;
};

struct BuildRecord {
    uint32_t word1 = 0;
    Text text;
    uint32_t word2 = 0;
    SystemTime buildTime;
    uint32_t word3 = 0;
    std::string path;
    uint16_t port = 0, word4 = 0;
    bool operator==(const BuildRecord&) const = default;
};

struct SettingsRecord {
    AboutText about;
    Appearance appearance;
    SizeAndPosition sizeAndPosition;
    Interaction interaction;
    Behaviour behaviour;
    Miscellaneous misc;
    AboutBox aboutBox;
    BuildRecord build;
    std::vector<std::string> regionList;  // names of the window region images; not part of the stored bytes
    bool operator==(const SettingsRecord&) const = default;
};

// Decodes the eight sub-records. On any field that runs past the end, `settings` is reset to zero
// (defaults) and false comes back. Bytes after the last sub-record are ignored.
[[nodiscard]] bool ReadSettingsRecord(std::span<const uint8_t> bytes, SettingsRecord& settings);
std::vector<uint8_t> WriteSettingsRecord(const SettingsRecord& settings);

}  // namespace velmo::shell
