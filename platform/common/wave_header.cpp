#include "platform/common/wave_header.h"

#include <cstring>

namespace velmo::platform {

namespace {
uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
}  // namespace

std::optional<WaveHeader> ReadWaveHeader(const uint8_t* bytes, size_t size) {
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) return std::nullopt;
    WaveHeader wave;
    bool haveFormat = false;
    size_t at = 12;
    while (size - at >= 8) {
        const uint8_t* chunk = bytes + at;
        const uint32_t declared = U32(chunk + 4);
        const size_t body = at + 8;
        const size_t available = size - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (declared < 16 || available < 16) return std::nullopt;
            wave.channels = U16(chunk + 10);
            wave.samplesPerSecond = U32(chunk + 12);
            wave.bytesPerSecond = U32(chunk + 16);
            wave.blockAlign = U16(chunk + 20);
            if (!wave.samplesPerSecond || !wave.bytesPerSecond || !wave.blockAlign) return std::nullopt;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return std::nullopt;
            wave.dataBytes = declared <= available ? declared : static_cast<uint32_t>(available);
            return wave;
        }
        if (declared > available) return std::nullopt;
        // Chunks are padded to an even size.
        at = body + declared + (declared & 1);
        if (at > size) return std::nullopt;
    }
    return std::nullopt;
}

uint32_t WaveMilliseconds(const WaveHeader& wave, uint64_t dataBytes) {
    if (!wave.bytesPerSecond) return 0;
    return static_cast<uint32_t>(dataBytes * 1000 / wave.bytesPerSecond);
}

}  // namespace velmo::platform
