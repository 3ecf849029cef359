#pragma once
// Packed MCI times as the system's macros pack them: one byte per field, the first field in the
// lowest byte. Only the low byte of each field is kept, as the macros' casts keep it.

#include <cstdint>

namespace velmo::host {

constexpr uint32_t PackTimeBytes(int64_t b0, int64_t b1, int64_t b2, int64_t b3 = 0) {
    return static_cast<uint32_t>(b0 & 0xFF) | static_cast<uint32_t>(b1 & 0xFF) << 8 |
           static_cast<uint32_t>(b2 & 0xFF) << 16 | static_cast<uint32_t>(b3 & 0xFF) << 24;
}

// Byte `index` (0 lowest) of a packed time.
constexpr int64_t TimeByte(int64_t packed, int index) { return (static_cast<uint64_t>(packed) >> (8 * index)) & 0xFF; }

}  // namespace velmo::host
