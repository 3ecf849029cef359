#pragma once
// Whole files enciphered under a key text: the bytes zero-padded to whole 8-byte blocks, each block
// enciphered on its own with the Blowfish key derived from the text, then the plain length as a
// little-endian 64-bit word. Enciphered movies are stored the same way (shell/movie_cipher.h).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::host {

// Enciphers `source` into `destination` (created or truncated); false when the source cannot be
// read or the destination written, and then no destination is left behind.
[[nodiscard]] bool EncipherFile(const std::string& source, const std::string& destination, std::string_view key);
// The reverse: writes exactly the recorded length. False, writing nothing, when the source cannot
// be read or its length word does not fit its size (a file that is not enciphered, or cut short).
[[nodiscard]] bool DecipherFile(const std::string& source, const std::string& destination, std::string_view key);

struct DecipheredBytes {
    std::vector<uint8_t> plain;
    // The padding of the last block deciphered to the zeros it was written as: false shows a wrong
    // key (or damage) whenever the length is not a multiple of 8.
    bool paddingClean = true;
};
// The plain bytes of the enciphered file at `path`, or none where DecipherFile would refuse it.
std::optional<DecipheredBytes> DecipherFileBytes(const std::string& path, std::string_view key);

}  // namespace velmo::host
