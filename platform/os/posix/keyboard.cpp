// Key names of the US keyboard layout, as the system spells them: a virtual-key code goes to its
// scan code, and the scan code (with the extended flag) to the name, so that, as there, Insert
// without the extended flag is "Num 0" and Num Lock's scan code alone is "Pause".
#include "platform/keyboard.h"

#include <array>
#include <string_view>

namespace velmo::platform {

namespace {

struct VirtualKeyScan {
    uint8_t virtualKey, scanCode;
};
// Letters, digits and F1-F24 are computed; everything else is listed.
constexpr VirtualKeyScan kScanCodes[] = {
    {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x1C}, {0x10, 0x2A}, {0x11, 0x1D}, {0x12, 0x38}, {0x13, 0x45}, {0x14, 0x3A},
    {0x1B, 0x01}, {0x20, 0x39}, {0x21, 0x49}, {0x22, 0x51}, {0x23, 0x4F}, {0x24, 0x47}, {0x25, 0x4B}, {0x26, 0x48},
    {0x27, 0x4D}, {0x28, 0x50}, {0x2C, 0x54}, {0x2D, 0x52}, {0x2E, 0x53}, {0x5B, 0x5B}, {0x5C, 0x5C}, {0x5D, 0x5D},
    {0x60, 0x52}, {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D}, {0x67, 0x47},
    {0x68, 0x48}, {0x69, 0x49}, {0x6A, 0x37}, {0x6B, 0x4E}, {0x6D, 0x4A}, {0x6E, 0x53}, {0x6F, 0x35}, {0x90, 0x45},
    {0x91, 0x46}, {0xA0, 0x2A}, {0xA1, 0x36}, {0xA2, 0x1D}, {0xA3, 0x1D}, {0xA4, 0x38}, {0xA5, 0x38}, {0xBA, 0x27},
    {0xBB, 0x0D}, {0xBC, 0x33}, {0xBD, 0x0C}, {0xBE, 0x34}, {0xBF, 0x35}, {0xC0, 0x29}, {0xDB, 0x1A}, {0xDC, 0x2B},
    {0xDD, 0x1B}, {0xDE, 0x28}, {0xE2, 0x56},
};

constexpr std::string_view kLetterRows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
constexpr uint8_t kLetterRowStarts[] = {0x10, 0x1E, 0x2C};
constexpr uint8_t kF13To24[] = {0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x76};

uint8_t ScanCodeOf(uint32_t vk) {
    if (vk >= '1' && vk <= '9') return static_cast<uint8_t>(0x02 + (vk - '1'));
    if (vk == '0') return 0x0B;
    if (vk >= 'A' && vk <= 'Z')
        for (size_t row = 0; row < std::size(kLetterRows); ++row) {
            const size_t at = kLetterRows[row].find(static_cast<char>(vk));
            if (at != std::string_view::npos) return static_cast<uint8_t>(kLetterRowStarts[row] + at);
        }
    if (vk >= 0x70 && vk <= 0x79) return static_cast<uint8_t>(0x3B + (vk - 0x70));  // F1-F10
    if (vk == 0x7A) return 0x57;                                                    // F11
    if (vk == 0x7B) return 0x58;                                                    // F12
    if (vk >= 0x7C && vk <= 0x87) return kF13To24[vk - 0x7C];
    for (const VirtualKeyScan& entry : kScanCodes)
        if (entry.virtualKey == vk) return entry.scanCode;
    return 0;
}

struct ScanName {
    uint8_t scanCode;
    std::string_view plain, extended;  // an empty extended name: the plain one serves
};
constexpr ScanName kNames[] = {
    {0x01, "Esc", ""},
    {0x0C, "-", ""},
    {0x0D, "=", ""},
    {0x0E, "Backspace", ""},
    {0x0F, "Tab", ""},
    {0x1A, "[", ""},
    {0x1B, "]", ""},
    {0x1C, "Enter", "Num Enter"},
    {0x1D, "Ctrl", "Right Ctrl"},
    {0x27, ";", ""},
    {0x28, "'", ""},
    {0x29, "`", ""},
    {0x2A, "Shift", ""},
    {0x2B, "\\", ""},
    {0x33, ",", ""},
    {0x34, ".", ""},
    {0x35, "/", "Num /"},
    {0x36, "Right Shift", ""},
    {0x37, "Num *", "Prnt Scrn"},
    {0x38, "Alt", "Right Alt"},
    {0x39, "Space", ""},
    {0x3A, "Caps Lock", ""},
    {0x45, "Pause", "Num Lock"},
    {0x46, "Scroll Lock", "Break"},
    {0x47, "Num 7", "Home"},
    {0x48, "Num 8", "Up"},
    {0x49, "Num 9", "Page Up"},
    {0x4A, "Num -", ""},
    {0x4B, "Num 4", "Left"},
    {0x4C, "Num 5", ""},
    {0x4D, "Num 6", "Right"},
    {0x4E, "Num +", ""},
    {0x4F, "Num 1", "End"},
    {0x50, "Num 2", "Down"},
    {0x51, "Num 3", "Page Down"},
    {0x52, "Num 0", "Insert"},
    {0x53, "Num Del", "Delete"},
    {0x54, "Sys Req", ""},
    {0x56, "\\", ""},
    {0x5B, "", "Left Windows"},
    {0x5C, "", "Right Windows"},
    {0x5D, "", "Application"},
};

std::string NameOfScanCode(uint8_t scan, bool extended) {
    if (scan >= 0x02 && scan <= 0x0B) return std::string(1, scan == 0x0B ? '0' : static_cast<char>('1' + scan - 0x02));
    for (size_t row = 0; row < std::size(kLetterRows); ++row) {
        const uint8_t start = kLetterRowStarts[row];
        if (scan >= start && scan < start + kLetterRows[row].size())
            return std::string(1, kLetterRows[row][scan - start]);
    }
    if (scan >= 0x3B && scan <= 0x44) return "F" + std::to_string(scan - 0x3B + 1);
    if (scan == 0x57 || scan == 0x58) return "F" + std::to_string(scan - 0x57 + 11);
    for (size_t i = 0; i < std::size(kF13To24); ++i)
        if (kF13To24[i] == scan) return "F" + std::to_string(13 + i);
    for (const ScanName& entry : kNames)
        if (entry.scanCode == scan)
            return std::string(extended && !entry.extended.empty() ? entry.extended : entry.plain);
    return {};
}

}  // namespace

std::string KeyName(uint32_t virtualKey, bool extended) {
    const uint8_t scan = ScanCodeOf(virtualKey);
    return scan ? NameOfScanCode(scan, extended) : std::string();
}

}  // namespace velmo::platform
