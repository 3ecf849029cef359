// Movie headers: any bytes parse without fault, as a movie and as a player program with a movie
// appended, and a frame rectangle read is one the bytes hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "shell/movie_header.h"

using namespace velmo::shell;

namespace {

class MemoryBytes final : public velmo::platform::PlainMovie {
public:
    explicit MemoryBytes(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() override { return bytes_.size(); }
    size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t size) override {
        if (offset >= bytes_.size()) return 0;
        const size_t count = std::min<size_t>(size, bytes_.size() - offset);
        std::copy_n(bytes_.data() + offset, count, buffer);
        return count;
    }

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<MovieHeader> header = ParseMovieHeader(std::span<const uint8_t>(data, size));
    if (header && size < 9) __builtin_trap();
    if (header && header->backgroundRgb > 0xFFFFFF) __builtin_trap();
    if (header) (void)header->FrameSize();
    MemoryBytes bytes(std::span<const uint8_t>(data, size));
    const std::optional<MovieHeader> found = ReadMovieHeader(bytes);
    if (header && !found) __builtin_trap();  // a movie on its own is found first
    return 0;
}
