#include "host/classes/uri_coding.h"
#include "platform/hex_digit.h"

#include <array>
#include <cstdint>

namespace velmo::host {

namespace {

bool IsLeadSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsTrailSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool Contains(std::u16string_view set, char16_t c) { return set.find(c) != std::u16string_view::npos; }

void AppendOctet(std::u16string& out, uint32_t octet) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    out += u'%';
    out += kHex[octet >> 4 & 15];
    out += kHex[octet & 15];
}

void AppendUtf8(std::u16string& out, uint32_t cp) {
    if (cp < 0x80) return AppendOctet(out, cp);
    if (cp < 0x800) {
        AppendOctet(out, 0xC0 | cp >> 6);
    } else if (cp < 0x10000) {
        AppendOctet(out, 0xE0 | cp >> 12);
        AppendOctet(out, 0x80 | (cp >> 6 & 0x3F));
    } else {
        AppendOctet(out, 0xF0 | cp >> 18);
        AppendOctet(out, 0x80 | (cp >> 12 & 0x3F));
        AppendOctet(out, 0x80 | (cp >> 6 & 0x3F));
    }
    AppendOctet(out, 0x80 | (cp & 0x3F));
}

// The octet of the escape "%XX" at `at`, or -1 when there is none there.
int OctetAt(std::u16string_view text, size_t at) {
    if (text.size() < 3 || at > text.size() - 3) return -1;
    if (text[at] != u'%') return -1;
    const int high = platform::HexDigitValue(text[at + 1]);
    const int low = platform::HexDigitValue(text[at + 2]);
    return high < 0 || low < 0 ? -1 : high << 4 | low;
}

// How many octets a lead octet announces: 1 for ASCII, 2 to 4 for a lead of a multi-octet
// sequence, 0 for a continuation octet or a lead of the five- and six-octet forms.
int SequenceLength(int lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

// The code point of a well-formed sequence, or nullopt: each length has its smallest value, so
// that a shorter form exists for nothing it carries.
std::optional<uint32_t> DecodeSequence(const std::array<int, 4>& octets, int length) {
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    uint32_t cp = static_cast<uint32_t>(octets[0]) & (length == 1 ? 0x7Fu : 0x7Fu >> length);
    for (int k = 1; k < length; ++k) {
        if ((octets[k] & 0xC0) != 0x80) return std::nullopt;
        cp = cp << 6 | (static_cast<uint32_t>(octets[k]) & 0x3F);
    }
    if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    return cp;
}

}  // namespace

std::optional<std::u16string> EncodeUriText(std::u16string_view text, std::u16string_view unescaped) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t k = 0; k < text.size(); ++k) {
        const char16_t c = text[k];
        if (Contains(unescaped, c)) {
            out += c;
            continue;
        }
        uint32_t cp = c;
        if (IsTrailSurrogate(c)) return std::nullopt;
        if (IsLeadSurrogate(c)) {
            if (k + 1 >= text.size() || !IsTrailSurrogate(text[k + 1])) return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++k] - 0xDC00u);
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::optional<std::u16string> DecodeUriText(std::u16string_view text, std::u16string_view reserved) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] != u'%') {
            out += text[k];
            continue;
        }
        std::array<int, 4> octets{OctetAt(text, k), 0, 0, 0};
        const int length = octets[0] < 0 ? 0 : SequenceLength(octets[0]);
        if (length == 0) return std::nullopt;
        for (int i = 1; i < length; ++i)
            if ((octets[i] = OctetAt(text, k + 3 * static_cast<size_t>(i))) < 0) return std::nullopt;
        const std::optional<uint32_t> cp = DecodeSequence(octets, length);
        if (!cp) return std::nullopt;
        const size_t escapes = 3 * static_cast<size_t>(length);
        if (*cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((*cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((*cp - 0x10000) & 0x3FF));
        } else if (Contains(reserved, static_cast<char16_t>(*cp))) {
            out += text.substr(k, escapes);
        } else {
            out += static_cast<char16_t>(*cp);
        }
        k += escapes - 1;
    }
    return out;
}

}  // namespace velmo::host
