#pragma once
// The arithmetic of a transparent window: the movie is drawn once on black and once on white, and
// each pixel's opacity follows from how much the two differ. An empty pixel is black on black and
// white on white (fully transparent); an opaque one is the same on both.

#include "platform/window.h"

namespace velmo::shell {

// Stores each pixel's opacity, from the blue channels of the two renderings, as the alpha byte of
// `black` within `area` (which is clipped to the image). The black rendering then holds colour
// times opacity, which is what a layered window shows.
void ComputeAlpha(platform::PixelImage& black, const platform::PixelImage& white, const platform::Rect& area);

// The pixels that are not fully transparent, as one-pixel-high runs of each row, left to right and
// top to bottom: the region a window without layering is cut to.
platform::Region OpaqueRegion(const platform::PixelImage& black, const platform::PixelImage& white);

}  // namespace velmo::shell
