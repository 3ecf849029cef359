#include "platform/ui/win32/picture_bitmap.h"

#include <cstring>

namespace velmo::platform::win32 {

GdiObject PictureBitmap(const PixelImage& image, uint32_t** bits) {
    *bits = nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.size.width;
    info.bmiHeader.biHeight = -image.size.height;  // rows from the top, as the picture holds them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    WindowDc screen(nullptr);
    void* pixels = nullptr;
    GdiObject bitmap(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!bitmap || !pixels) return GdiObject();
    std::memcpy(pixels, image.pixels.data(), image.pixels.size() * sizeof(uint32_t));
    *bits = static_cast<uint32_t*>(pixels);
    return bitmap;
}

}  // namespace velmo::platform::win32
