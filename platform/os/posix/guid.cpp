// Headless GUIDs: random version-4 identifiers in the system's upper-case braced form.
#include "platform/guid.h"

#include <cstdint>
#include <random>

namespace velmo::platform {

std::u16string NewGuidText() {
    std::random_device device;
    uint8_t b[16];
    for (size_t i = 0; i < sizeof b; i += 4) {
        const uint32_t r = device();
        for (size_t k = 0; k < 4; ++k) b[i + k] = static_cast<uint8_t>(r >> (8 * k));
    }
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string text = u"{";
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back(u'-');
        text.push_back(kHex[b[i] >> 4]);
        text.push_back(kHex[b[i] & 15]);
    }
    text.push_back(u'}');
    return text;
}

}  // namespace velmo::platform
