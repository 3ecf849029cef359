#pragma once
// The few facts the window needs from a movie file before the control has loaded it: the frame
// size, rate and count from the file's header, and the background colour of its first
// SetBackgroundColor tag. The file is read directly: plain or zlib-compressed movies, and player
// programs that carry their movie appended at the end. The LZMA-compressed kind is not read; such
// a movie keeps the window's own size.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/movie_reads.h"
#include "platform/window.h"

namespace velmo::shell {

struct MovieHeader {
    uint8_t version = 0;
    bool compressed = false;
    uint32_t fileLength = 0;  // the movie's length as its header records it (uncompressed)
    // The frame rectangle in twips (1/20 pixel), as the file gives it.
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    double frameRate = 0;  // frames per second (8.8 fixed point in the file)
    uint16_t frameCount = 0;
    int32_t backgroundRgb = -1;  // 0xRRGGBB of the first SetBackgroundColor tag; -1 when none

    // The frame size in whole pixels (twips / 20, truncated); zero or negative sides mean the
    // movie gives none.
    platform::Size FrameSize() const {
        return {static_cast<int>((int64_t{xMax} - xMin) / 20), static_cast<int>((int64_t{yMax} - yMin) / 20)};
    }
};

// Parses a movie from its bytes: the header, then the tags as far as the bytes go. None when the
// bytes are not a movie this reader knows or end before the frame count.
std::optional<MovieHeader> ParseMovieHeader(std::span<const uint8_t> bytes);

// Reads the header of the movie in `bytes`; when they are not a movie, of the movie a player
// program carries appended (its last four bytes give the movie's length, and the movie ends eight
// bytes before the end). None when neither is there.
std::optional<MovieHeader> ReadMovieHeader(platform::PlainMovie& bytes);
// The same for the file at `path`; none when it cannot be read.
std::optional<MovieHeader> ReadMovieHeader(const std::string& path);

}  // namespace velmo::shell
