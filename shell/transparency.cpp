#include "shell/transparency.h"

#include <algorithm>

namespace velmo::shell {

void ComputeAlpha(platform::PixelImage& black, const platform::PixelImage& white, const platform::Rect& area) {
    if (black.size != white.size) return;
    const int left = std::max(area.left, 0), top = std::max(area.top, 0);
    const int right = std::min(area.left + area.width, black.size.width);
    const int bottom = std::min(area.top + area.height, black.size.height);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const int b = static_cast<int>(black.At(x, y) & 0xFF), w = static_cast<int>(white.At(x, y) & 0xFF);
            // A drawing that is lighter on black than on white (anti-aliasing noise) wraps around
            // instead of overflowing the byte.
            int a = 255 + b - w;
            if (a < 0) a += 255;
            if (a > 255) a -= 255;
            uint32_t& pixel = black.At(x, y);
            pixel = (pixel & 0x00FFFFFF) | static_cast<uint32_t>(a) << 24;
        }
    }
}

platform::Region OpaqueRegion(const platform::PixelImage& black, const platform::PixelImage& white) {
    platform::Region region;
    if (black.size != white.size) return region;
    for (int y = 0; y < black.size.height; ++y) {
        int x = 0;
        while (x < black.size.width) {
            const auto transparent = [&](int at) {
                return (black.At(at, y) & 0xFFFFFF) == 0 && (white.At(at, y) & 0xFFFFFF) == 0xFFFFFF;
            };
            while (x < black.size.width && transparent(x)) ++x;
            const int start = x;
            while (x < black.size.width && !transparent(x)) ++x;
            if (x > start) region.push_back({start, y, x - start, 1});
        }
    }
    return region;
}

}  // namespace velmo::shell
