#include "host/classes/data_file_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/classes/uri_coding.h"
#include "platform/text.h"
#include "platform/hex_digit.h"

namespace velmo::host {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::string_view kEscapedInNames = "%. []=;\"'";

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 of `bytes` when they are well-formed UTF-8, else none.
std::optional<std::u16string> FromUtf8(std::string_view bytes) {
    std::u16string out;
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<uint8_t>(bytes[i]);
        const int count = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (count == 0 || i + static_cast<size_t>(count) > bytes.size()) return std::nullopt;
        uint32_t cp = count == 1 ? lead : lead & (0x7Fu >> count);
        for (int k = 1; k < count; ++k) {
            const auto octet = static_cast<uint8_t>(bytes[i + static_cast<size_t>(k)]);
            if ((octet & 0xC0) != 0x80) return std::nullopt;
            cp = cp << 6 | (octet & 0x3Fu);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[count] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
        i += static_cast<size_t>(count);
    }
    return out;
}

std::u16string UnescapePathPart(std::string_view part) {
    std::string bytes;
    for (size_t i = 0; i < part.size(); ++i) {
        if (part[i] == '%' && i + 2 < part.size() && platform::HexDigitValue(part[i + 1]) >= 0 &&
            platform::HexDigitValue(part[i + 2]) >= 0) {
            bytes +=
                static_cast<char>(platform::HexDigitValue(part[i + 1]) << 4 | platform::HexDigitValue(part[i + 2]));
            i += 2;
        } else {
            bytes += part[i];
        }
    }
    if (std::optional<std::u16string> text = FromUtf8(bytes)) return *text;
    return platform::AnsiToUtf16(bytes);
}

}  // namespace

std::string EscapePathPart(std::u16string_view name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        uint32_t cp = name[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (name[++i] - 0xDC00u);
        const bool plain = cp > 0x20 && cp < 0x7F && kEscapedInNames.find(static_cast<char>(cp)) == std::string::npos;
        if (plain) {
            out += static_cast<char>(cp);
            continue;
        }
        std::string utf8;
        AppendUtf8(utf8, cp);
        for (const char byte : utf8) {
            out += '%';
            out += kHex[static_cast<uint8_t>(byte) >> 4];
            out += kHex[static_cast<uint8_t>(byte) & 15];
        }
    }
    return out;
}

std::vector<std::u16string> SplitSectionPath(std::string_view section) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= section.size(); ++i) {
        if (i == section.size() || section[i] == '.' || section[i] == ' ') {
            parts.push_back(UnescapePathPart(section.substr(start, i - start)));
            start = i + 1;
        }
    }
    return parts;
}

std::string FloatText(double value) {
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char text[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

std::optional<double> ReadFloatText(std::string_view text) {
    const std::string copy(text);
    if (copy.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || std::isnan(value)) return std::nullopt;
    return value;
}

std::optional<int64_t> ReadIntegerText(std::string_view text) {
    const std::string copy(text);
    if (copy.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), &end, 10);
    if (end != copy.c_str() + copy.size() || errno == ERANGE) return std::nullopt;
    return static_cast<int64_t>(value);
}

std::optional<std::string> StringValueText(std::u16string_view text) {
    const std::optional<std::u16string> encoded = EncodeUriText(text, kUriKeptByEncodeUri);
    if (!encoded) return std::nullopt;
    std::string out;
    for (const char16_t c : *encoded) {
        if (c == u'\'') out += "%27";
        else out += static_cast<char>(c);  // the encoding is all ASCII
    }
    return out;
}

std::optional<std::u16string> StringFromValueText(std::string_view text) {
    return DecodeUriText(platform::AnsiToUtf16(text), kUriReservedSet);
}

}  // namespace velmo::host
