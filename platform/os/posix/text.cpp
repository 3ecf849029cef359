// Headless 8-bit text is UTF-8; a byte that does not start a valid sequence stands for the Latin-1
// character of the same value, so decoding never fails. Unpaired surrogates encode as '?', as the
// system's converter writes its default character for what the code page cannot hold.
#include "platform/text.h"

#include "platform/common/utf8.h"

namespace velmo::platform {

namespace {

// Simple case folding for the scripts a code page can hold: Latin, Greek and Cyrillic.
char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x137 && c != 0x130) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (size_t i = 0; i < ansi.size();) {
        // A byte that does not start a valid sequence stands for the Latin-1 character of its value.
        const std::optional<char32_t> cp = DecodeUtf8(ansi, i);
        AppendUtf16(out, cp ? *cp : static_cast<unsigned char>(ansi[i++]));
    }
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text16) {
    std::string out;
    out.reserve(text16.size());
    for (size_t i = 0; i < text16.size(); ++i) {
        const char16_t c = text16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text16.size() && text16[i + 1] >= 0xDC00 && text16[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text16[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back('?');
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

bool AnsiEqualNoCase(std::string_view a, std::string_view b) {
    const std::u16string wa = AnsiToUtf16(a), wb = AnsiToUtf16(b);
    if (wa.size() != wb.size()) return false;
    for (size_t i = 0; i < wa.size(); ++i)
        if (FoldCase(wa[i]) != FoldCase(wb[i])) return false;
    return true;
}

}  // namespace velmo::platform
