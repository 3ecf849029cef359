#pragma once
// The transparent window's renderer: lives while the window shape asks for a transparent
// background. Each render draws the movie off screen on black and on white and shows only the
// movie's own pixels: as a layered window with per-pixel alpha where the desktop has them, or
// else (or when layering is switched off) by cutting the window's region to the pixels that are
// not fully transparent. The surfaces are the window's size when the renderer was made; a window
// resized later needs a new renderer.

#include <optional>
#include <string>

#include "platform/movie_control.h"
#include "platform/window.h"

namespace velmo::shell {

// Where a desktop-toy movie publishes the part of its picture that is the sprite: an optional
// frame label the movie runs to update it, and the name of a movie object whose xMin, yMin, xMax
// and yMax variables give the sprite's bounds in movie pixels.
struct SpriteSource {
    std::u16string frameLabel;
    std::u16string boundsName;
};

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
    // In layered mode, each render shrinks the window to the sprite the movie publishes, keeping
    // the movie where it is on the screen. `movie` is the movie's frame size.
    void SetSprite(std::optional<SpriteSource> sprite, platform::Size movie);
    // True while the movie runs the sprite's frame label: paints asked for meanwhile are dropped.
    bool PaintingSuppressed() const { return suppressed_; }
    // The pixels of the last layered update (colour and alpha), for the headless desktop's tests.
    const platform::PixelImage& Surface() const { return black_; }

private:
    // Draws the movie into one surface on `background`; false when the control cannot.
    bool Draw(platform::PixelImage& surface, uint32_t background, const std::optional<platform::Rect>& clip);
    // The sprite's rectangle in client coordinates; none without a sprite source or readable bounds.
    std::optional<platform::Rect> SpriteRect();

    platform::FrameWindow& window_;
    platform::MovieControl& control_;
    platform::PixelImage black_, white_;
    platform::Size offset_;
    platform::Size client_;
    platform::Rect origin_;  // the window's rectangle when the renderer was made
    Mode mode_ = Mode::None;
    std::optional<SpriteSource> sprite_;
    platform::Size movie_;
    bool suppressed_ = false;
};

}  // namespace velmo::shell
