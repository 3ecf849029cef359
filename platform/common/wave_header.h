#pragma once
// The header of a RIFF WAVE file as far as the media model needs it: the byte and sample rates and
// the size of the sound data, for lengths in milliseconds, bytes and samples.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace velmo::platform {

struct WaveHeader {
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint32_t dataBytes = 0;  // as the data chunk declares it, cut to what the file holds
};

// None when the bytes are not a RIFF WAVE file with a format chunk (16 bytes or more, non-zero
// rates and block size) before its data chunk.
std::optional<WaveHeader> ReadWaveHeader(const uint8_t* bytes, size_t size);

// The length of `dataBytes` in milliseconds, rounded down.
uint32_t WaveMilliseconds(const WaveHeader& wave, uint64_t dataBytes);

}  // namespace velmo::platform
