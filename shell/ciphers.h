#pragma once
// The block ciphers and key derivations the projector shares between its enciphered movies and the
// scripts' Encryption object: Triple DES and Blowfish in ECB mode over 8-byte blocks (libgcrypt),
// and the keys both derive from a key text.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace velmo::shell {

using TripleDesKey = std::array<uint8_t, 24>;
using BlowfishKey = std::array<uint8_t, 56>;

// Enciphers or deciphers the whole 8-byte blocks of `bytes` in place, each on its own; a shorter
// tail is left as it is.
void TripleDesBlocks(std::span<uint8_t> bytes, const TripleDesKey& key, bool encipher);
// Blowfish reads each block as two 32-bit little-endian words (the first four bytes the left half).
void BlowfishBlocks(std::span<uint8_t> bytes, const BlowfishKey& key, bool encipher);

// Eight bytes folded from the key text: the first eight of every sixteen bytes shifted left by one
// into place, the other eight bit-reversed into the opposite place.
std::array<uint8_t, 8> FoldKey(std::string_view key);
// MD5 of the text, then its fold; odd parity on every byte, as DES keys carry it.
TripleDesKey TripleDesKeyFor(std::string_view key);
// MD5 of the fold, MD5 of the text, that digest's two halves enciphered with this program's own
// Triple-DES key, and the fold.
BlowfishKey BlowfishKeyFor(std::string_view key);

}  // namespace velmo::shell
