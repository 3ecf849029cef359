#include "host/classes/uri_text.h"

#include <cstdint>

namespace velmo::host {

namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

void AppendEscape(std::u16string& out, uint32_t octet) {
    out += u'%';
    out += kHex[octet >> 4 & 15];
    out += kHex[octet & 15];
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// The octet of the escape at `at` ("%XX"), or -1.
int EscapedOctet(std::u16string_view text, size_t at) {
    if (at + 2 >= text.size()) return -1;
    if (text[at] != u'%') return -1;
    const int hi = HexValue(text[at + 1]);
    const int lo = HexValue(text[at + 2]);
    return hi < 0 || lo < 0 ? -1 : hi << 4 | lo;
}

void AppendCodePoint(std::u16string& out, uint32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

}  // namespace

std::optional<std::u16string> EncodeUri(std::u16string_view text, std::u16string_view keep) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (kUriUnescaped.find(c) != std::u16string_view::npos || keep.find(c) != std::u16string_view::npos) {
            out += c;
            continue;
        }
        uint32_t cp = c;
        if (c >= 0xDC00 && c <= 0xDFFF) return std::nullopt;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((c - 0xD800u) << 10) + (text[++i] - 0xDC00u);
        }
        if (cp < 0x80) {
            AppendEscape(out, cp);
        } else if (cp < 0x800) {
            AppendEscape(out, 0xC0 | cp >> 6);
            AppendEscape(out, 0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            AppendEscape(out, 0xE0 | cp >> 12);
            AppendEscape(out, 0x80 | (cp >> 6 & 0x3F));
            AppendEscape(out, 0x80 | (cp & 0x3F));
        } else {
            AppendEscape(out, 0xF0 | cp >> 18);
            AppendEscape(out, 0x80 | (cp >> 12 & 0x3F));
            AppendEscape(out, 0x80 | (cp >> 6 & 0x3F));
            AppendEscape(out, 0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::optional<std::u16string> DecodeUri(std::u16string_view text, std::u16string_view keepEscaped) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') {
            out += text[i];
            continue;
        }
        const int lead = EscapedOctet(text, i);
        if (lead < 0) return std::nullopt;
        if (lead < 0x80) {
            const auto c = static_cast<char16_t>(lead);
            if (keepEscaped.find(c) != std::u16string_view::npos) out += text.substr(i, 3);
            else out += c;
            i += 2;
            continue;
        }
        int count = 0;  // octets the lead announces
        while (count < 7 && (lead << count & 0x80)) ++count;
        if (count < 2 || count > 6) return std::nullopt;
        uint32_t cp = static_cast<uint32_t>(lead) & (0xFFu >> (count + 1));
        for (int k = 1; k < count; ++k) {
            const int octet = EscapedOctet(text, i + 3 * static_cast<size_t>(k));
            if (octet < 0 || (octet & 0xC0) != 0x80) return std::nullopt;
            cp = cp << 6 | (static_cast<uint32_t>(octet) & 0x3F);
        }
        if (cp > 0x10FFFF) return std::nullopt;
        AppendCodePoint(out, cp);
        i += 3 * static_cast<size_t>(count) - 1;
    }
    return out;
}

}  // namespace velmo::host
