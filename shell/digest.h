#pragma once
// MD5 digests and our Triple-DES block cipher, both from libgcrypt.

#include <array>
#include <cstdint>
#include <span>

namespace velmo::shell {

using Md5Digest = std::array<uint8_t, 16>;
Md5Digest Md5(std::span<const uint8_t> bytes);

// Enciphers or deciphers `bytes` (a multiple of 8 long) in place, each 8-byte block on its own,
// with the application-record key.
void EncipherBlocks(std::span<uint8_t> bytes);
void DecipherBlocks(std::span<uint8_t> bytes);

}  // namespace velmo::shell
