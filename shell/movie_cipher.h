#pragma once
// Movies stored enciphered. The movie list's protection field holds the movie key, itself
// enciphered with this program's protection key; a field of zeros means the movie is stored plain.
// The stored movie has the enciphered-file layout the scripts' Encryption object also writes: the
// movie zero-padded to whole 8-byte blocks, each enciphered on its own with the Blowfish key derived
// from the movie key, then the movie's length as a little-endian 64-bit word. Blocks on their own
// let the movie be read at any offset, as a player streaming a movie reads it.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/movie_reads.h"
#include "shell/ciphers.h"
#include "shell/movie_list.h"

namespace velmo::shell {

// The longest movie key a protection field holds, in bytes of the 8-bit code page.
inline constexpr size_t kMaxMovieKeyBytes = 255;

// The movie key of a protection field; empty for a movie stored plain, and for a damaged field (no
// key text ending within it).
std::string MovieKeyFromProtection(std::span<const uint8_t, kProtectionBytes> protection);
// The protection field holding `key` (at most 255 bytes; longer keys are the caller's error).
std::array<uint8_t, kProtectionBytes> ProtectionForKey(std::string_view key);

// The stored form of `plain` under `key`.
std::vector<uint8_t> EncipherMovie(std::span<const uint8_t> plain, std::string_view key);

// The plain bytes of the stored movie at `path`; null when the file cannot be read or its length
// word does not fit its size (a movie stored plain, or damage).
std::unique_ptr<platform::PlainMovie> OpenEncipheredMovie(const std::string& path, std::string_view key);

}  // namespace velmo::shell
