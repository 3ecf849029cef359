#pragma once
// The one hash of 8-bit names used by the name table, the compiler's tables, object name indexes
// and the command channel's module cache; each takes it modulo its own bucket count.

#include <cstdint>
#include <string_view>

namespace velmo::script {

constexpr uint32_t NameHash(std::string_view name) {
    uint32_t h = 0;
    for (char c : name) h = (h << 5) ^ ((((h >> 9) ^ h) >> 7) ^ static_cast<uint8_t>(c));
    return h;
}

}  // namespace velmo::script
