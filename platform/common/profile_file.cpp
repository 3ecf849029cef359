// Profile text: "[Section]" lines, then "Name=hex:0a1b", "Name=sz:text" or "Name=dword:123" lines. Bytes are
// taken literally (no trimming); only '\n' ends a line, and one '\r' before it is dropped. Strings escape '\'
// as \\, CR as \r, LF as \n and other control bytes as \xHH; names use the same escapes and also write '=',
// '[' and ']' as \xHH, so every name is storable and none is refused. A line that does not parse is skipped;
// values under a damaged section line are dropped with it.
#include "platform/common/profile_file.h"
#include "platform/hex_digit.h"

#include <optional>

namespace velmo::platform {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void AppendHexByte(std::string& out, uint8_t byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

// Escapes `text` for one line; `isName` also hides the characters that delimit names.
std::string Escape(std::string_view text, bool isName) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || byte == 0x7F || (isName && (c == '=' || c == '[' || c == ']'))) {
            out += "\\x";
            AppendHexByte(out, byte);
        } else {
            out += c;
        }
    }
    return out;
}

// Undoes Escape; nullopt for an unknown or cut-off escape. Unescaped delimiters read as themselves.
std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\': out += '\\'; break;
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 'x': {
                if (text.size() - i < 3) return std::nullopt;
                const int high = platform::HexDigitValue(text[i + 1]);
                const int low = platform::HexDigitValue(text[i + 2]);
                if (high < 0 || low < 0) return std::nullopt;
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default: return std::nullopt;
        }
    }
    return out;
}

std::optional<std::vector<uint8_t>> DecodeHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = platform::HexDigitValue(text[i]);
        const int low = platform::HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

// Decimal digits only, 0 to 4294967295; anything else, overflow included, is refused.
std::optional<uint32_t> DecodeDword(std::string_view text) {
    if (text.empty()) return std::nullopt;
    uint64_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<uint64_t>(c - '0');
        if (number > UINT32_MAX) return std::nullopt;
    }
    return static_cast<uint32_t>(number);
}

std::optional<ProfileData> DecodeData(std::string_view typed) {
    const size_t colon = typed.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view type = typed.substr(0, colon);
    const std::string_view payload = typed.substr(colon + 1);
    if (ProfileNamesEqual(type, "hex")) {
        if (auto bytes = DecodeHex(payload)) return ProfileData(std::move(*bytes));
    } else if (ProfileNamesEqual(type, "sz")) {
        if (auto text = Unescape(payload)) return ProfileData(std::move(*text));
    } else if (ProfileNamesEqual(type, "dword")) {
        if (auto number = DecodeDword(payload)) return ProfileData(*number);
    }
    return std::nullopt;
}

std::string EncodeData(const ProfileData& data) {
    if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&data)) {
        std::string out = "hex:";
        out.reserve(4 + bytes->size() * 2);
        for (const uint8_t b : *bytes) AppendHexByte(out, b);
        return out;
    }
    if (const auto* text = std::get_if<std::string>(&data)) return "sz:" + Escape(*text, false);
    return "dword:" + std::to_string(std::get<uint32_t>(data));
}

// The section of `document` called `name` in any case, added at the end when there is none.
ProfileSection& SectionNamed(ProfileDocument& document, std::string_view name) {
    for (ProfileSection& s : document.sections)
        if (ProfileNamesEqual(s.name, name)) return s;
    return document.sections.emplace_back(ProfileSection{std::string(name), {}});
}

// A later store of a name replaces the data and keeps the first spelling, as the registry does.
void StoreValue(ProfileSection& section, std::string_view name, ProfileData data) {
    for (ProfileValue& v : section.values) {
        if (ProfileNamesEqual(v.name, name)) {
            v.data = std::move(data);
            return;
        }
    }
    section.values.push_back({std::string(name), std::move(data)});
}

// Stores "Name=type:payload" into `section`; a line that does not parse stores nothing.
void ParseValueLine(ProfileSection& section, std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    std::optional<std::string> name = Unescape(line.substr(0, equals));
    std::optional<ProfileData> data = DecodeData(line.substr(equals + 1));
    if (name && data) StoreValue(section, *name, std::move(*data));
}

}  // namespace

bool ProfileNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

const ProfileData* ProfileDocument::Find(std::string_view section, std::string_view value) const {
    for (const ProfileSection& s : sections) {
        if (!ProfileNamesEqual(s.name, section)) continue;
        for (const ProfileValue& v : s.values)
            if (ProfileNamesEqual(v.name, value)) return &v.data;
        return nullptr;
    }
    return nullptr;
}

void ProfileDocument::Set(std::string_view section, std::string_view value, ProfileData data) {
    StoreValue(SectionNamed(*this, section), value, std::move(data));
}

ProfileDocument ParseProfileText(std::string_view text) {
    ProfileDocument document;
    ProfileSection* section = nullptr;  // none before the first good section line
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && line.front() == '[') {
            std::optional<std::string> name;
            if (line.size() >= 2 && line.back() == ']') name = Unescape(line.substr(1, line.size() - 2));
            // Kept even while empty, so that it survives being written back.
            section = name ? &SectionNamed(document, *name) : nullptr;
        } else if (section) {
            ParseValueLine(*section, line);
        }
    }
    return document;
}

std::string WriteProfileText(const ProfileDocument& document) {
    std::string out;
    for (const ProfileSection& s : document.sections) {
        if (!out.empty()) out += '\n';
        out += '[' + Escape(s.name, true) + "]\n";
        for (const ProfileValue& v : s.values) out += Escape(v.name, true) + '=' + EncodeData(v.data) + '\n';
    }
    return out;
}

}  // namespace velmo::platform
