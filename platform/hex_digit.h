#pragma once
// The value of one hexadecimal digit, for every reader of escapes ("%41", "\x41") in 8-bit or
// UTF-16 text.

namespace velmo::platform {

// 0 to 15, or -1 when `c` is no hexadecimal digit (either case).
template <typename Char>
constexpr int HexDigitValue(Char c) {
    if (c >= Char('0') && c <= Char('9')) return static_cast<int>(c - Char('0'));
    if (c >= Char('a') && c <= Char('f')) return static_cast<int>(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F')) return static_cast<int>(c - Char('A')) + 10;
    return -1;
}

}  // namespace velmo::platform
