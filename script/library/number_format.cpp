// Parses a user pattern into literal text around one conversion and renders the receiver through a
// conversion rebuilt from the accepted pieces, so the formatter only ever sees a pattern whose one
// conversion matches the one argument it is given.
#include "script/library/number_format.h"

#include <cstdio>

namespace velmo::script::library {

namespace {

bool IsFlag(char16_t c) { return c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'0'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsConversion(char16_t c) {
    for (const char k : std::string_view("diouxXeEfFgGaAcsn"))
        if (c == static_cast<char16_t>(k)) return true;
    return false;
}

// Reads a decimal field at `i`; false when it exceeds kMaxFormatField.
bool ReadField(std::u16string_view p, size_t& i, int& out) {
    int value = 0;
    while (i < p.size() && IsDigit(p[i])) {
        value = value * 10 + (p[i++] - u'0');
        if (value > kMaxFormatField) return false;
    }
    out = value;
    return true;
}

// Length modifiers say how wide the argument is; ours is always given in the needed width.
size_t SkipLengthModifiers(std::u16string_view p, size_t i) {
    for (;;) {
        if (i < p.size() && std::u16string_view(u"hlLqjzt").find(p[i]) != std::u16string_view::npos) {
            ++i;
        } else if (i < p.size() && p[i] == u'I') {
            ++i;
            const std::u16string_view rest = p.substr(i, 2);
            if (rest == u"64" || rest == u"32") i += 2;
        } else {
            return i;
        }
    }
}

// The conversion whose text starts at `i` (just after its "%"); on success `i` moves past it.
// A "*" width or precision is not accepted: it would take an argument of its own.
std::optional<FormatConversion> ReadConversion(std::u16string_view p, size_t& i) {
    FormatConversion c;
    size_t j = i;
    while (j < p.size() && IsFlag(p[j])) c.flags.push_back(static_cast<char>(p[j++]));
    if (j < p.size() && IsDigit(p[j]) && !ReadField(p, j, c.width)) return std::nullopt;
    if (j < p.size() && p[j] == u'.') {
        ++j;
        if (!ReadField(p, j, c.precision)) return std::nullopt;
    }
    j = SkipLengthModifiers(p, j);
    if (j >= p.size() || !IsConversion(p[j])) return std::nullopt;
    c.conversion = static_cast<char>(p[j]);
    i = j + 1;
    return c;
}

std::u16string Widen(const std::string& ascii) {
    std::u16string out;
    out.reserve(ascii.size());
    for (const char ch : ascii) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(ch)));
    return out;
}

std::string RebuiltSpec(const FormatConversion& c, const char* lengthModifier) {
    std::string spec = "%" + c.flags;
    if (c.width >= 0) spec += std::to_string(c.width);
    if (c.precision >= 0) spec += "." + std::to_string(c.precision);
    spec += lengthModifier;
    spec.push_back(c.conversion);
    return spec;
}

// `spec` is one rebuilt conversion whose argument type is T, so the call reads exactly `value`.
template <typename T>
std::u16string Print(const std::string& spec, T value) {
    const int length = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (length <= 0) return {};
    std::string out(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(out.data(), out.size(), spec.c_str(), value);
    out.resize(static_cast<size_t>(length));
    return Widen(out);
}

// "%c" and "%s" are padded here rather than by the formatter: the text is UTF-16 already.
std::u16string Pad(const FormatConversion& c, std::u16string text) {
    if (c.width < 0 || text.size() >= static_cast<size_t>(c.width)) return text;
    const std::u16string fill(static_cast<size_t>(c.width) - text.size(), u' ');
    return c.flags.find('-') != std::string::npos ? text + fill : fill + text;
}

std::u16string Render(const FormatConversion& c, const FormatReceiver& r) {
    switch (c.conversion) {
        case 'd':
        case 'i': return Print(RebuiltSpec(c, "ll"), static_cast<long long>(r.integer));
        case 'o':
        case 'u':
        case 'x':
        case 'X': return Print(RebuiltSpec(c, "ll"), static_cast<unsigned long long>(r.integer));
        case 'c': return Pad(c, std::u16string(1, static_cast<char16_t>(r.integer & 0xFFFF)));
        case 's': {
            std::u16string text = r.text;
            if (c.precision >= 0 && text.size() > static_cast<size_t>(c.precision))
                text.resize(static_cast<size_t>(c.precision));
            return Pad(c, std::move(text));
        }
        case 'n': return {};  // nothing is printed and, here, nothing is stored either
        default: return Print(RebuiltSpec(c, ""), r.number);
    }
}

}  // namespace

FormatPattern ParseFormatPattern(std::u16string_view pattern) {
    FormatPattern out;
    for (size_t i = 0; i < pattern.size();) {
        std::u16string& text = out.conversion ? out.after : out.before;
        if (pattern[i] != u'%') {
            text.push_back(pattern[i++]);
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == u'%') {
            text.push_back(u'%');
            i += 2;
            continue;
        }
        size_t next = i + 1;
        std::optional<FormatConversion> conversion = out.conversion ? std::nullopt : ReadConversion(pattern, next);
        if (!conversion) {
            text.push_back(pattern[i++]);  // the rest of a would-be conversion follows as text
            continue;
        }
        out.conversion = std::move(conversion);
        i = next;
    }
    return out;
}

std::u16string FormatWithPattern(const FormatPattern& pattern, const FormatReceiver& receiver) {
    std::u16string out = pattern.before;
    if (pattern.conversion) out += Render(*pattern.conversion, receiver);
    out += pattern.after;
    return out;
}

}  // namespace velmo::script::library
