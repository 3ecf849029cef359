#include "platform/ui/win32/standin_control/picture.h"

#include <algorithm>

namespace velmo::platform::standin_control {

uint32_t BlendHalf(uint32_t top, uint32_t bottom) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= ((((top >> shift) & 0xFF) + ((bottom >> shift) & 0xFF)) / 2) << shift;
    return out;
}

namespace {

// `r` cut to the area; width or height 0 when nothing is left.
Rect Cut(const Rect& r, Size size) {
    const int left = std::max(r.left, 0), top = std::max(r.top, 0);
    const int right = std::min(r.left + r.width, size.width), bottom = std::min(r.top + r.height, size.height);
    return {left, top, std::max(right - left, 0), std::max(bottom - top, 0)};
}

}  // namespace

std::vector<PictureFill> StandinPicture(Size size, uint32_t backgroundRgb, const std::vector<StandinPaint>& paints) {
    std::vector<PictureFill> fills;
    const auto add = [&](const Rect& r, uint32_t rgb) {
        const Rect cut = Cut(r, size);
        if (cut.width > 0 && cut.height > 0) fills.push_back({cut, rgb & 0xFFFFFF});
    };
    const int w = size.width, h = size.height;
    add({0, 0, w, h}, backgroundRgb);
    add({w / 8, h / 4, 3 * w / 8 - w / 8, 3 * h / 4 - h / 4}, kOpaqueZoneRgb);
    add({5 * w / 8, h / 4, 7 * w / 8 - 5 * w / 8, 3 * h / 4 - h / 4}, BlendHalf(kHalfZoneRgb, backgroundRgb));
    // Sides were checked by the driving file's parser, so the sums stay far from overflow.
    for (const StandinPaint& p : paints) add({p.x, p.y, p.width, p.height}, p.rgb);
    return fills;
}

}  // namespace velmo::platform::standin_control
