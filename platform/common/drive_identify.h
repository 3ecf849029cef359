#pragma once
// The 512-byte identification data an ATA drive answers with: 256 little-endian 16-bit words.
// Texts hold two characters per word, the high byte first; a drive pads them with blanks.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/disk_info.h"

namespace velmo::platform {

inline constexpr size_t kIdentifyDataBytes = 512;

// The text in `wordCount` words from word `firstWord`: two characters per word, high byte first,
// ending at the first zero character, with the blanks at both ends removed.
std::string IdentifyText(std::span<const uint8_t> data, size_t firstWord, size_t wordCount);

// The identity in a drive's identification data; none when fewer than 512 bytes came.
std::optional<DriveIdentity> ParseIdentifyData(std::span<const uint8_t> data);

}  // namespace velmo::platform
