#include "shell/renderer.h"

#include <algorithm>

#include <cstdlib>

#include "platform/common/movie_geometry.h"
#include "platform/text.h"
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
    origin_ = rect;
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

void Renderer::SetSprite(std::optional<SpriteSource> sprite, platform::Size movie) {
    sprite_ = std::move(sprite);
    movie_ = movie;
}

std::optional<platform::Rect> Renderer::SpriteRect() {
    if (!sprite_) return std::nullopt;
    if (!sprite_->frameLabel.empty()) {
        suppressed_ = true;
        (void)control_.CallFrame(u"_root", sprite_->frameLabel);
        suppressed_ = false;
    }
    // A bound the movie does not have, or that is not a number, counts as 0.
    const auto bound = [&](const char16_t* member) {
        const std::optional<std::u16string> text = control_.GetVariable(sprite_->boundsName + member);
        return text ? std::strtod(platform::Utf16ToAnsi(*text).c_str(), nullptr) : 0.0;
    };
    const platform::MovieRect bounds{bound(u".xMin"), bound(u".xMax"), bound(u".yMin"), bound(u".yMax")};
    std::optional<platform::Rect> r = platform::MovieToWindow(bounds, movie_, client_, control_.ScaleMode());
    if (!r || r->width <= 0 || r->height <= 0) return std::nullopt;
    // Only what the surfaces hold can be shown.
    const int left = std::max(r->left, 0), top = std::max(r->top, 0);
    const int right = std::min(r->left + r->width, client_.width),
              bottom = std::min(r->top + r->height, client_.height);
    if (right <= left || bottom <= top) return std::nullopt;
    return platform::Rect{left, top, right - left, bottom - top};
}

void Renderer::Render(std::optional<platform::Rect> dirty) {
    if (mode_ == Mode::None) return;
    if (mode_ == Mode::Layered) {
        const std::optional<platform::Rect> sprite = SpriteRect();
        if (sprite) dirty = sprite;
        Draw(black_, kBlack, dirty);
        Draw(white_, kWhite, dirty);
        platform::Rect area{offset_.width, offset_.height, client_.width, client_.height};
        if (dirty) area = {dirty->left + offset_.width, dirty->top + offset_.height, dirty->width, dirty->height};
        ComputeAlpha(black_, white_, area);
        bool shown = false;
        if (sprite) {
            // The window shrinks to the sprite; the movie stays where it was on the screen.
            const platform::Rect screen{origin_.left + area.left, origin_.top + area.top, area.width, area.height};
            window_.PlaceForSprite(screen, {-sprite->left, -sprite->top});
            shown = window_.UpdateLayered(black_, area, screen.left, screen.top);
        } else {
            shown =
                window_.UpdateLayered(black_, {0, 0, black_.size.width, black_.size.height}, origin_.left, origin_.top);
        }
        if (shown) return;
        mode_ = Mode::Region;  // layering refused: cut a region instead
    }
    Draw(white_, kWhite, dirty);
    Draw(black_, kBlack, dirty);
    window_.SetRegion(OpaqueRegion(black_, white_));
}

}  // namespace velmo::shell
