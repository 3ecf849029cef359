#pragma once
// Test support: the bytes of a ".msk" mask file holding the given rectangles (left, top, right,
// bottom), as the builder writes them.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/byte_order.h"

namespace velmo::testing {

inline std::vector<uint8_t> MaskFile(const std::vector<std::array<int32_t, 4>>& rects) {
    std::vector<uint8_t> data;
    platform::AppendU32(data, 32);
    platform::AppendU32(data, 1);
    platform::AppendU32(data, static_cast<uint32_t>(rects.size()));
    data.resize(32);
    for (const auto& r : rects)
        for (const int32_t v : r) platform::AppendU32(data, static_cast<uint32_t>(v));
    std::vector<uint8_t> file;
    platform::AppendU32(file, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

}  // namespace velmo::testing
