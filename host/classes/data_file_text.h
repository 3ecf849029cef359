#pragma once
// The texts of a data file. A section is named by the path of its value: the global's name, then
// "." and a property name or an element's decimal index for each step down. Name parts escape with
// "%XX" (the bytes of their UTF-8 form) every character that would end a part or the section line
// or that the system's profile calls would trim: "%", ".", blank, "[", "]", "=", ";", quotes,
// apostrophes, control characters and everything outside ASCII. A file of older writers, with no
// escapes, reads the same as before for every name without "%". String values are stored
// URI-encoded, and their apostrophes escaped too, because the profile calls strip quotes that
// wrap a value.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::host {

std::string EscapePathPart(std::u16string_view name);
// The parts of a section name, split at "." and at blanks (as files of older writers need), each
// unescaped; bytes that are not UTF-8 read in the 8-bit code page.
std::vector<std::u16string> SplitSectionPath(std::string_view section);

// The shortest decimal text that reads back as the same double; infinities as "inf" and "-inf".
std::string FloatText(double value);
// Whole-text readers: surrounding text or an empty text is no number.
std::optional<double> ReadFloatText(std::string_view text);
std::optional<int64_t> ReadIntegerText(std::string_view text);

// None for text that cannot be URI-encoded (a lone surrogate).
std::optional<std::string> StringValueText(std::u16string_view text);
// None for a value that does not URI-decode (damage).
std::optional<std::u16string> StringFromValueText(std::string_view text);

}  // namespace velmo::host
