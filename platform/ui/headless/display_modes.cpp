// The headless display: a model that starts in the model screen's size at 32 bits per pixel and
// accepts the modes of a fixed list, so that scripts see the answers a usual display gives. The
// model screen's size (what windows are laid out on) does not follow the mode.
#include "platform/display_modes.h"

#include <algorithm>
#include <array>

#include "platform/common/model_desktop.h"

namespace velmo::platform {

namespace {

constexpr std::array<Size, 9> kSizes = {{{640, 480},
                                         {800, 600},
                                         {1024, 768},
                                         {1152, 864},
                                         {1280, 720},
                                         {1280, 1024},
                                         {1366, 768},
                                         {1600, 900},
                                         {1920, 1080}}};
constexpr std::array<int, 4> kDepths = {8, 16, 24, 32};

DisplayMode ModelScreenMode() {
    const Size screen = ModelDesktop().ScreenSize();
    return {screen.width, screen.height, 32};
}

std::optional<DisplayMode>& Changed() {
    static std::optional<DisplayMode> changed;  // none while the display has its own mode
    return changed;
}

bool Accepted(const DisplayMode& mode) {
    const bool depth = std::find(kDepths.begin(), kDepths.end(), mode.bitsPerPixel) != kDepths.end();
    const Size screen = ModelDesktop().ScreenSize();
    const bool size = std::find(kSizes.begin(), kSizes.end(), Size{mode.width, mode.height}) != kSizes.end() ||
                      (mode.width == screen.width && mode.height == screen.height);
    return depth && size;
}

}  // namespace

bool DisplayModesAvailable() { return true; }

bool SetDisplayMode(const DisplayMode& mode) {
    if (!Accepted(mode)) return false;
    Changed() = mode == ModelScreenMode() ? std::nullopt : std::optional<DisplayMode>(mode);
    return true;
}

bool RestoreDisplayMode() {
    Changed().reset();
    return true;
}

std::optional<DisplayMode> CurrentDisplayMode() { return Changed().value_or(ModelScreenMode()); }

}  // namespace velmo::platform
