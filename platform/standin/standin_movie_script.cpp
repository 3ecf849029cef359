#include "platform/standin/standin_movie_script.h"

#include <cstdio>

#include "platform/common/utf8.h"
#include "platform/movie_control.h"

namespace velmo::platform {

namespace {

// Decodes UTF-8 with the file's escapes; none for malformed UTF-8 or an unknown escape.
std::optional<std::u16string> DecodeText(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\\') {
            if (i + 1 >= text.size()) return std::nullopt;
            switch (text[i + 1]) {
                case '\\': out += u'\\'; break;
                case 'n': out += u'\n'; break;
                case 'r': out += u'\r'; break;
                case 't': out += u'\t'; break;
                case 's': out += u' '; break;
                default: return std::nullopt;
            }
            i += 2;
            continue;
        }
        const std::optional<char32_t> cp = DecodeUtf8(text, i);
        if (!cp) return std::nullopt;
        AppendUtf16(out, *cp);
    }
    return out;
}

// Splits off the word before the first blank; the rest starts after that one blank.
std::string_view TakeWord(std::string_view& rest) {
    const size_t blank = rest.find(' ');
    const std::string_view word = rest.substr(0, blank);
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    return word;
}

std::optional<uint32_t> ParseVersion(std::string_view text) {
    uint32_t parts[2] = {0, 0};
    size_t part = 0;
    bool digits = false;
    for (const char c : text) {
        if (c == '.') {
            if (!digits || ++part > 1) return std::nullopt;
            digits = false;
        } else if (c >= '0' && c <= '9') {
            parts[part] = parts[part] * 10 + static_cast<uint32_t>(c - '0');
            if (parts[part] > 0xFFFF) return std::nullopt;
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    return parts[0] << 16 | parts[1];
}

// Decimal digits only, at most `limit`.
std::optional<uint32_t> ParseCount(std::string_view text, uint32_t limit) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > limit) return std::nullopt;
    return value;
}

bool KnownMember(std::string_view name) {
    for (const std::string_view m : kMovieMethodNames)
        if (m == name) return true;
    for (const std::string_view p : kMoviePropertyNames)
        if (p == name) return true;
    return false;
}

}  // namespace

StandinScriptResult ParseStandinMovieScript(std::string_view text) {
    StandinMovieScript script;
    size_t lineNumber = 0;
    const auto refuse = [&lineNumber](const std::string& why) {
        return StandinScriptResult{std::nullopt, "line " + std::to_string(lineNumber) + ": " + why};
    };
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;

        std::string_view rest = line;
        const std::string_view keyword = TakeWord(rest);
        if (keyword == "version") {
            const std::optional<uint32_t> version = ParseVersion(rest);
            if (!version) return refuse("a version is MAJOR or MAJOR.MINOR, each at most 65535");
            script.flashVersion = *version;
        } else if (keyword == "variable" || keyword == "function" || keyword == "fscommand") {
            const std::optional<std::u16string> name = DecodeText(TakeWord(rest));
            const std::optional<std::u16string> value = DecodeText(rest);
            if (!name || !value) return refuse("malformed UTF-8 or an unknown escape");
            if (name->empty()) return refuse(std::string(keyword) + " needs a name");
            if (keyword == "variable") script.variables[*name] = *value;
            else if (keyword == "function") script.functions[*name] = *value;
            else script.events.push_back({StandinEvent::Kind::FSCommand, *name, *value});
        } else if (keyword == "unavailable") {
            if (!rest.empty()) return refuse("unavailable takes nothing after it");
            script.unavailable = true;
        } else if (keyword == "flashcall") {
            const std::optional<std::u16string> request = DecodeText(rest);
            if (!request) return refuse("malformed UTF-8 or an unknown escape");
            script.events.push_back({StandinEvent::Kind::FlashCall, *request, {}});
        } else if (keyword == "paint") {
            StandinPaint paint;
            int w = 0, h = 0;
            unsigned rgb = 0;
            char extra = 0;
            const std::string fields(rest);
            if (std::sscanf(fields.c_str(), "%d %d %d %d %6x %c", &paint.x, &paint.y, &w, &h, &rgb, &extra) != 5 ||
                w <= 0 || h <= 0 || w > 16384 || h > 16384 || paint.x < -16384 || paint.x > 16384 || paint.y < -16384 ||
                paint.y > 16384)
                return refuse("a paint is X Y WIDTH HEIGHT RRGGBB, sides from 1 to 16384");
            paint.width = w;
            paint.height = h;
            paint.rgb = rgb;
            script.paints.push_back(paint);
        } else if (keyword == "frames") {
            const std::optional<uint32_t> count = ParseCount(rest, 16000);
            if (!count || *count == 0) return refuse("frames is a count from 1 to 16000");
            script.frames = static_cast<int32_t>(*count);
        } else if (keyword == "framesize") {
            std::string_view h = rest;
            const std::optional<uint32_t> width = ParseCount(TakeWord(h), 16384), height = ParseCount(h, 16384);
            if (!width || !height || *width == 0 || *height == 0)
                return refuse("a framesize is WIDTH HEIGHT, each from 1 to 16384");
            script.frameWidth = static_cast<int>(*width);
            script.frameHeight = static_cast<int>(*height);
        } else if (keyword == "refuse") {
            if (!KnownMember(rest)) return refuse("refuse names a method or property of the player");
            script.refused.insert(std::string(rest));
        } else if (keyword == "wait") {
            // Ten minutes at most: a driving file is for tests and demonstrations.
            uint32_t ms = 0;
            const std::string_view digits = rest;
            bool ok = !digits.empty() && digits.size() <= 6;
            for (const char c : digits) {
                ok = ok && c >= '0' && c <= '9';
                if (ok) ms = ms * 10 + static_cast<uint32_t>(c - '0');
            }
            if (!ok || ms > 600000) return refuse("a wait is a count of milliseconds, at most 600000");
            StandinEvent wait;
            wait.kind = StandinEvent::Kind::Wait;
            wait.milliseconds = ms;
            script.events.push_back(wait);
        } else {
            return refuse("unknown instruction \"" + std::string(keyword.substr(0, 40)) + "\"");
        }
    }
    return {std::move(script), {}};
}

}  // namespace velmo::platform
