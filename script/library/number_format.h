#pragma once
// User patterns of Number's "format": printf-style text with one conversion that takes the
// receiver. The pattern is never handed to a formatter as it stands, since a conversion of the
// wrong kind (or "%n") would make the formatter read a missing argument or write through one; it
// is parsed here and only a conversion rebuilt from the accepted pieces reaches snprintf.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmo::script::library {

// Widths and precisions above this make the conversion invalid (copied as text): a formatter asked
// for billions of characters would only exhaust memory.
inline constexpr int kMaxFormatField = 1024;

// The conversion of a pattern: flags among "-+ #0", a width and a precision (-1 when absent), and
// one of "diouxXeEfFgGaAcsn". Length modifiers ("h", "l", "ll", "L", "I64", ...) are accepted and
// dropped, because the receiver is always given in the width the conversion needs.
struct FormatConversion {
    std::string flags;
    int width = -1;
    int precision = -1;
    char conversion = 0;
};

// A pattern split around its first valid conversion. "%%" is a percent sign everywhere; any other
// "%" that does not start a valid conversion, and every conversion after the first, stays as text.
struct FormatPattern {
    std::u16string before;
    std::optional<FormatConversion> conversion;
    std::u16string after;
};

FormatPattern ParseFormatPattern(std::u16string_view pattern);

// The receiver in every form a conversion may take.
struct FormatReceiver {
    bool isInteger = false;
    int64_t integer = 0;  // Integer receivers; for Numbers the value truncated as ToInteger64 does
    double number = 0;    // Number receivers; for Integers the value as a double
    std::u16string text;  // what toString gives, for "%s"
};

// The pattern with the receiver in place of its conversion: "d" and "i" take the 64-bit integer,
// "o", "u", "x" and "X" its two's-complement bits, the floating conversions the double, "c" the
// UTF-16 code unit of the low 16 bits, "s" the text; "%n" writes nothing and stores nothing.
std::u16string FormatWithPattern(const FormatPattern& pattern, const FormatReceiver& receiver);

}  // namespace velmo::script::library
