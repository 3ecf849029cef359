#pragma once
// The few facts the window needs from a movie file before the control has loaded it: the frame
// size, the frame rate and the frame count from the file's header, which is read directly (plain
// or zlib-compressed files; the LZMA-compressed kind is not read, and such a movie keeps the
// window's own size).

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/window.h"

namespace velmo::shell {

struct MovieHeader {
    uint8_t version = 0;
    bool compressed = false;
    // The frame rectangle in twips (1/20 pixel), as the file gives it.
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    double frameRate = 0;  // frames per second (8.8 fixed point in the file)
    uint16_t frameCount = 0;

    // The frame size in whole pixels; zero or negative sides mean the movie gives none.
    platform::Size FrameSize() const { return {(xMax - xMin) / 20, (yMax - yMin) / 20}; }
};

// Parses a header from the first bytes of a movie file (a few dozen are enough; more are ignored).
// None when the bytes are not a movie this reader knows or end too early.
std::optional<MovieHeader> ParseMovieHeader(std::span<const uint8_t> bytes);
// Reads the header of the movie file at `path`; none when it cannot be read or parsed.
std::optional<MovieHeader> ReadMovieHeader(const std::string& path);

}  // namespace velmo::shell
