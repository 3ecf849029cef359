#include "shell/renderer.h"

#include "shell/transparency.h"

namespace velmo::shell {

namespace {
constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF;
}  // namespace

Renderer::Renderer(platform::FrameWindow& window, platform::MovieControl& control, bool regionOnly)
    : window_(window), control_(control) {
    const platform::Rect rect = window.WindowRect();
    if (rect.width <= 0 || rect.height <= 0) return;  // nothing to draw on: the control paints itself
    black_.Resize({rect.width, rect.height});
    white_.Resize({rect.width, rect.height});
    offset_ = window.ClientOffset();
    client_ = window.ClientSize();
    mode_ = !regionOnly && window.LayeredAvailable() ? Mode::Layered : Mode::Region;
}

Renderer::~Renderer() {
    if (mode_ == Mode::Layered) window_.EndLayered();
    if (mode_ == Mode::Region) window_.SetRegion(std::nullopt);
}

bool Renderer::Draw(platform::PixelImage& surface, uint32_t background, const std::optional<platform::Rect>& clip) {
    const platform::Rect dest{offset_.width, offset_.height, client_.width, client_.height};
    platform::Rect limit = dest;
    if (clip) limit = {clip->left + offset_.width, clip->top + offset_.height, clip->width, clip->height};
    // A control that cannot draw leaves the surface as it was: the update shows the last picture.
    return control_.DrawOnto(surface, dest, limit, background);
}

void Renderer::Render(std::optional<platform::Rect> dirty) {
    if (mode_ == Mode::None) return;
    if (mode_ == Mode::Layered) {
        Draw(black_, kBlack, dirty);
        Draw(white_, kWhite, dirty);
        platform::Rect area{offset_.width, offset_.height, client_.width, client_.height};
        if (dirty) area = {dirty->left + offset_.width, dirty->top + offset_.height, dirty->width, dirty->height};
        ComputeAlpha(black_, white_, area);
        if (!window_.UpdateLayered(black_)) mode_ = Mode::Region;  // layering refused: cut a region instead
        else return;
    }
    Draw(white_, kWhite, dirty);
    Draw(black_, kBlack, dirty);
    window_.SetRegion(OpaqueRegion(black_, white_));
}

}  // namespace velmo::shell
