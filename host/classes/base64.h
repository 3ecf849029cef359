#pragma once
// Base64 as the Encryption object writes and reads it: the standard alphabet with "=" padding and
// no line breaks. Reading is lenient: it stops at the first "=" or at the end, skips CR and LF, and
// copies any other character outside the alphabet into the output unchanged.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::host {

std::string EncodeBase64(std::span<const uint8_t> bytes);
std::vector<uint8_t> DecodeBase64(std::string_view text);

}  // namespace velmo::host
