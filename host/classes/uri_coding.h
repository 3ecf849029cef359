#pragma once
// The Encode and Decode operations of the four URI functions, character for character as
// ECMAScript defines them: UTF-16 text in, UTF-8 octets escaped as "%XX" with upper-case digits.
// Decoding accepts only well-formed UTF-8 (no overlong forms, no encoded surrogates, nothing past
// U+10FFFF), as the language's current editions and every engine in use require: a sequence of
// five or six octets, or an overlong one, names no character, and taking it would let two texts
// decode to the same one.

#include <optional>
#include <string>
#include <string_view>

namespace velmo::host {

// What encodeURIComponent leaves as it is; encodeURI also leaves kUriReservedSet.
inline constexpr std::u16string_view kUriUnescapedSet =
    u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-_.!~*'()";
// What decodeURI leaves escaped.
inline constexpr std::u16string_view kUriReservedSet = u";/?:@&=+$,#";
// What encodeURI leaves as it is: both sets.
inline constexpr std::u16string_view kUriKeptByEncodeUri =
    u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-_.!~*'();/?:@&=+$,#";

// `text` with every character outside `unescaped` escaped; nullopt on a lone surrogate.
std::optional<std::u16string> EncodeUriText(std::u16string_view text, std::u16string_view unescaped);

// `text` with its escapes decoded, except those that decode to a character of `reserved`, which
// stay exactly as written (lower-case digits included); nullopt on a malformed escape or sequence.
std::optional<std::u16string> DecodeUriText(std::u16string_view text, std::u16string_view reserved);

}  // namespace velmo::host
