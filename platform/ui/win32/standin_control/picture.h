#pragma once
// What the stand-in control paints: known zones that a transparent window's renderer can be tested
// against, then the driving file's own rectangles. Pure geometry and colour, shared by the control's
// window and its off-screen drawing.

#include <cstdint>
#include <vector>

#include "platform/standin/standin_movie_script.h"
#include "platform/window.h"

namespace velmo::platform::standin_control {

// Unless the container writes BackgroundColor.
inline constexpr uint32_t kDefaultBackground = 0xFFFFFF;
// The opaque zone's colour, and the colour the half-transparent zone lays at 50% over the background.
inline constexpr uint32_t kOpaqueZoneRgb = 0x3080C0;
inline constexpr uint32_t kHalfZoneRgb = 0xC02040;

// One filled rectangle, 0xRRGGBB, in pixels from the painted area's top left.
struct PictureFill {
    Rect rect;
    uint32_t rgb = 0;
};

// `top` blended half and half over `bottom`, channel by channel, rounding down.
uint32_t BlendHalf(uint32_t top, uint32_t bottom);

// The fills of an area of `size`, in painting order: the background over all of it; the opaque
// zone (columns 1/8 to 3/8 of the width, rows 1/4 to 3/4 of the height); the half-transparent zone
// (columns 5/8 to 7/8, the same rows); then each of `paints`, cut to the area. Empty fills are left out.
std::vector<PictureFill> StandinPicture(Size size, uint32_t backgroundRgb, const std::vector<StandinPaint>& paints);

}  // namespace velmo::platform::standin_control
