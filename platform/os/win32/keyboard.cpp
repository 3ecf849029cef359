// Key names from the keyboard layout of the thread, through the key's scan code.
#include "platform/keyboard.h"

#include <windows.h>

namespace velmo::platform {

std::string KeyName(uint32_t virtualKey, bool extended) {
    const UINT scanCode = ::MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    if (scanCode == 0) return {};
    // The key-message layout GetKeyNameText reads: scan code in bits 16-23, extended key in bit 24.
    const LONG keyData = static_cast<LONG>((scanCode & 0xFF) << 16 | (extended ? 1u << 24 : 0u));
    char name[64] = {};
    const int length = ::GetKeyNameTextA(keyData, name, sizeof name);
    return length > 0 ? std::string(name, static_cast<size_t>(length)) : std::string();
}

}  // namespace velmo::platform
