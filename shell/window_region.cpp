#include "shell/window_region.h"

#include <algorithm>
#include <cmath>

#include "platform/byte_order.h"

namespace velmo::shell {

namespace {
constexpr size_t kRegionHeaderBytes = 32;
constexpr uint32_t kRectangleType = 1;

// Mask files come from the application's resources: far-off coordinates are held to a range no
// screen reaches instead of overflowing.
long Edge(double v) { return std::lround(std::clamp(v, -1e8, 1e8)); }
}  // namespace

std::optional<platform::Region> ParseMaskFile(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4) return std::nullopt;
    const uint32_t length = platform::LoadU32(bytes.data());
    if (length > bytes.size() - 4 || length < kRegionHeaderBytes) return std::nullopt;
    const std::span<const uint8_t> data = bytes.subspan(4, length);
    const uint32_t headerSize = platform::LoadU32(data.data());
    const uint32_t type = platform::LoadU32(data.data() + 4);
    const uint32_t count = platform::LoadU32(data.data() + 8);
    if (headerSize != kRegionHeaderBytes || type != kRectangleType) return std::nullopt;
    if (count > (data.size() - kRegionHeaderBytes) / 16) return std::nullopt;
    platform::Region region;
    region.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* r = data.data() + kRegionHeaderBytes + 16 * i;
        const int64_t left = static_cast<int32_t>(platform::LoadU32(r));
        const int64_t top = static_cast<int32_t>(platform::LoadU32(r + 4));
        const int64_t right = static_cast<int32_t>(platform::LoadU32(r + 8));
        const int64_t bottom = static_cast<int32_t>(platform::LoadU32(r + 12));
        if (right <= left || bottom <= top || right - left > INT32_MAX || bottom - top > INT32_MAX) continue;
        region.push_back({static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                          static_cast<int>(bottom - top)});
    }
    return region;
}

platform::Region PlaceMaskRegion(const platform::Region& movieRegion, platform::Size movie, platform::Size client,
                                 int scaleMode, platform::Size clientOffset) {
    double sx = 1, sy = 1, dx = 0, dy = 0;
    if (movie.width > 0 && movie.height > 0) {
        const double fx = static_cast<double>(client.width) / movie.width;
        const double fy = static_cast<double>(client.height) / movie.height;
        switch (scaleMode) {
            case 2: sx = fx, sy = fy; break;             // exact fit stretches each axis on its own
            case 3: break;                               // no scale
            case 1: sx = sy = std::max(fx, fy); break;   // no border fills and crops
            default: sx = sy = std::min(fx, fy); break;  // show all fits and letterboxes
        }
        if (scaleMode != 2) {
            dx = (client.width - movie.width * sx) / 2;
            dy = (client.height - movie.height * sy) / 2;
        }
    }
    dx += clientOffset.width;
    dy += clientOffset.height;
    platform::Region placed;
    placed.reserve(movieRegion.size());
    for (const platform::Rect& r : movieRegion) {
        const long left = Edge(r.left * sx + dx), top = Edge(r.top * sy + dy);
        const long right = Edge((static_cast<double>(r.left) + r.width) * sx + dx);
        const long bottom = Edge((static_cast<double>(r.top) + r.height) * sy + dy);
        if (right > left && bottom > top)
            placed.push_back({static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                              static_cast<int>(bottom - top)});
    }
    return placed;
}

}  // namespace velmo::shell
