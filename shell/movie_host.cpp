#include "shell/movie_host.h"

#include "platform/text.h"

namespace velmo::shell {

std::optional<int> ControlScaleMode(uint32_t setting) {
    switch (setting) {
        case 0x1: return 0;
        case 0x2: return 1;
        case 0x100: return 2;
        case 0x10: return 3;
        default: return std::nullopt;
    }
}

std::optional<int32_t> ControlBackgroundColor(uint32_t word) {
    if (!(word & 1)) return std::nullopt;
    return static_cast<int32_t>((word & 0xFF) << 16 | ((word >> 8) & 0xFF) << 8 | ((word >> 16) & 0xFF));
}

void ApplyScaleMode(platform::MovieControl& control, uint32_t setting) {
    if (const std::optional<int> mode = ControlScaleMode(setting)) control.SetScaleMode(*mode);
}

void ApplyBackgroundColor(platform::MovieControl& control, uint32_t word) {
    if (const std::optional<int32_t> rgb = ControlBackgroundColor(word)) control.SetBackgroundColor(*rgb);
}

// The playing flag goes first: a control starts a movie as soon as it has one.
bool LoadMovieInto(platform::MovieControl& control, const std::string& path, bool autoPlay) {
    control.SetPlaying(autoPlay);
    return control.SetMovie(platform::AnsiToUtf16(path));
}

}  // namespace velmo::shell
