#pragma once
// The one hash of 8-bit names used by the name table, the compiler's tables, object name indexes
// and the command channel's module cache; each takes it modulo its own bucket count. Keys that
// arrive as UTF-16 and are plain ASCII hash their code units directly, to the same value the
// 8-bit name would give, so a lookup needs no converted copy.

#include <cstdint>
#include <string_view>

namespace velmo::script {

constexpr uint32_t NameHash(std::string_view name) {
    uint32_t h = 0;
    for (char c : name) h = (h << 5) ^ ((((h >> 9) ^ h) >> 7) ^ static_cast<uint8_t>(c));
    return h;
}

// The hash of the 8-bit name of `ascii`, whose code units must all be below 0x80.
constexpr uint32_t NameHash(std::u16string_view ascii) {
    uint32_t h = 0;
    for (char16_t c : ascii) h = (h << 5) ^ ((((h >> 9) ^ h) >> 7) ^ static_cast<uint32_t>(c));
    return h;
}

// Whether every code unit of `text` is ASCII, so that its 8-bit name has the same units.
constexpr bool IsAsciiText(std::u16string_view text) {
    for (char16_t c : text)
        if (c >= 0x80) return false;
    return true;
}

// Equality of an 8-bit name and an ASCII UTF-16 text.
constexpr bool SameAsciiName(std::string_view name, std::u16string_view ascii) {
    if (name.size() != ascii.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (static_cast<uint8_t>(name[i]) != ascii[i]) return false;
    return true;
}

}  // namespace velmo::script
