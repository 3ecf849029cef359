#pragma once
// The Encode and Decode operations behind encodeURI and decodeURI: UTF-16 text, UTF-8 octets and
// upper-case hexadecimal escapes. Shared by the URI functions and the data files that store their
// strings URI-encoded.

#include <optional>
#include <string>
#include <string_view>

namespace velmo::host {

// Kept as they are by encodeURIComponent; encodeURI also keeps kUriReserved. decodeURI leaves the
// escapes of kUriReserved characters escaped; decodeURIComponent decodes them all.
inline constexpr std::u16string_view kUriUnescaped =
    u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-_.!~*'()";
inline constexpr std::u16string_view kUriReserved = u";/?:@&=+$,#";

// None for a lone surrogate.
std::optional<std::u16string> EncodeUri(std::u16string_view text, std::u16string_view keep);
// None for a malformed escape or UTF-8 sequence: a lead octet must announce 2 to 6 octets, the
// others must be 10xxxxxx, and the code point must not pass 0x10FFFF.
std::optional<std::u16string> DecodeUri(std::u16string_view text, std::u16string_view keepEscaped);

}  // namespace velmo::host
