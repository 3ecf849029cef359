#pragma once
// The movie control as every frame drives it: how the settings' scale mode and background colour
// words become control properties, and the order in which a movie is loaded.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/movie_control.h"

namespace velmo::shell {

// The control's scale mode for the settings value: 0x1 show all (0), 0x2 no border (1), 0x100
// exact fit (2), 0x10 no scale (3); none for any other value, which leaves the control as it is.
std::optional<int> ControlScaleMode(uint32_t setting);
// The control's 0xRRGGBB colour for a settings colour word: bytes 0, 1 and 2 are red, green and
// blue, and bit 0 says whether the word sets a colour at all.
std::optional<int32_t> ControlBackgroundColor(uint32_t word);

void ApplyScaleMode(platform::MovieControl& control, uint32_t setting);
void ApplyBackgroundColor(platform::MovieControl& control, uint32_t word);
// Sets whether the movie plays on its own, then hands the control the movie's (8-bit) path; false
// when the control refused the movie.
bool LoadMovieInto(platform::MovieControl& control, const std::string& path, bool autoPlay);

}  // namespace velmo::shell
