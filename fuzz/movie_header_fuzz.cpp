// Movie headers: any bytes parse without fault, and a frame rectangle read is one the bytes hold.
#include <cstddef>
#include <cstdint>
#include <span>

#include "shell/movie_header.h"

using namespace velmo::shell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<MovieHeader> header = ParseMovieHeader(std::span<const uint8_t>(data, size));
    if (header && size < 9) __builtin_trap();
    if (header) (void)header->FrameSize();
    return 0;
}
