#pragma once
// UTF-8 sequences, one code point at a time: the headless code page and the builder's UTF-8
// manifests both read and write through these.

#include <optional>
#include <string>
#include <string_view>

namespace velmo::platform {

// Decodes one UTF-8 sequence at `i`, advancing it; nullopt (and `i` unchanged) for anything
// malformed: overlong forms, surrogates, values past U+10FFFF, a sequence cut short.
std::optional<char32_t> DecodeUtf8(std::string_view s, size_t& i);
void AppendUtf8(std::string& out, char32_t cp);
// Appends `cp` as one UTF-16 unit or a surrogate pair.
void AppendUtf16(std::u16string& out, char32_t cp);

}  // namespace velmo::platform
