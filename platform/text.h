#pragma once
// The one conversion pair between 8-bit "ANSI" text and UTF-16. Windows uses the system code page;
// the headless layer uses UTF-8 and decodes a byte that is not part of valid UTF-8 as the Latin-1
// character of the same value, so that no input is ever rejected.

#include <string>
#include <string_view>

namespace velmo::platform {

std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view text16);

// Case-insensitive equality of two ANSI strings, as the system's string comparison sees it.
bool AnsiEqualNoCase(std::string_view a, std::string_view b);

}  // namespace velmo::platform
