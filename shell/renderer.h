#pragma once
// The transparent window's renderer: lives while the window shape asks for a transparent
// background. Each render draws the movie off screen on black and on white and shows only the
// movie's own pixels: as a layered window with per-pixel alpha where the desktop has them, or
// else (or when layering is switched off) by cutting the window's region to the pixels that are
// not fully transparent. The surfaces are the window's size when the renderer was made; a window
// resized later needs a new renderer.

#include <optional>

#include "platform/movie_control.h"
#include "platform/window.h"

namespace velmo::shell {

class Renderer {
public:
    enum class Mode { None, Region, Layered };
    // `regionOnly` keeps layering off even where the desktop has it.
    Renderer(platform::FrameWindow& window, platform::MovieControl& control, bool regionOnly);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Draws and shows the movie; `dirty` (client coordinates) limits the work to a part of it.
    void Render(std::optional<platform::Rect> dirty);
    Mode GetMode() const { return mode_; }
    // The pixels of the last layered update (colour and alpha), for the headless desktop's tests.
    const platform::PixelImage& Surface() const { return black_; }

private:
    // Draws the movie into one surface on `background`; false when the control cannot.
    bool Draw(platform::PixelImage& surface, uint32_t background, const std::optional<platform::Rect>& clip);

    platform::FrameWindow& window_;
    platform::MovieControl& control_;
    platform::PixelImage black_, white_;
    platform::Size offset_;
    platform::Size client_;
    Mode mode_ = Mode::None;
};

}  // namespace velmo::shell
