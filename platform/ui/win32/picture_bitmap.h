#pragma once
// A picture of ours as a bitmap the system draws into or from: 32 bits per pixel, rows from the
// top, as PixelImage holds them.

#include <cstdint>

#include "platform/os/win32/handles.h"
#include "platform/window.h"

namespace velmo::platform::win32 {

// A DIB section holding a copy of `image`, its pixels at `*bits`; null (and `*bits` null) when the
// system cannot make one.
GdiObject PictureBitmap(const PixelImage& image, uint32_t** bits);

}  // namespace velmo::platform::win32
