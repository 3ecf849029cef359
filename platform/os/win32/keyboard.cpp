// Key names from the keyboard layout of the thread, through the key's scan code.
#include "platform/keyboard.h"

#include <windows.h>

namespace velmo::platform {

namespace {
// The numeric keypad's scan codes, Num 0 to Num 9: the same on every layout, since they name places
// on the keyboard. Some systems map the keypad's virtual keys to no scan code while Num Lock is off.
constexpr UINT kKeypadScanCodes[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
}  // namespace

std::string KeyName(uint32_t virtualKey, bool extended) {
    UINT scanCode = ::MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    if (scanCode == 0 && virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
        scanCode = kKeypadScanCodes[virtualKey - VK_NUMPAD0];
    if (scanCode == 0) return {};
    // The key-message layout GetKeyNameText reads: scan code in bits 16-23, extended key in bit 24.
    const LONG keyData = static_cast<LONG>((scanCode & 0xFF) << 16 | (extended ? 1u << 24 : 0u));
    char name[64] = {};
    const int length = ::GetKeyNameTextA(keyData, name, sizeof name);
    return length > 0 ? std::string(name, static_cast<size_t>(length)) : std::string();
}

}  // namespace velmo::platform
