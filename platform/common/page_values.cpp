// A recursive-descent reader of the page's value text, and its writer. Every read is checked
// against the end of the text; numbers go through std::from_chars, which no locale changes (the
// GTK desktop runs with the user's locale available to the toolkit).
#include "platform/common/page_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/common/utf8.h"

namespace velmo::platform {

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<PlainValue> Whole() {
        PlainValue v;
        if (!Value(v, 0)) return std::nullopt;
        SkipBlanks();
        if (at_ != text_.size()) return std::nullopt;
        return v;
    }

private:
    void SkipBlanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }
    bool Take(char c) {
        if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    // value: object | array | string | number | true | false | null | undefined | NaN | Infinity
    bool Value(PlainValue& out, int depth) {
        SkipBlanks();
        if (at_ >= text_.size()) return false;
        switch (text_[at_]) {
            case '{': return depth < kMaxPageValueNesting && Object(out, depth + 1);
            case '[': return depth < kMaxPageValueNesting && Array(out, depth + 1);
            case '"': out.kind = PlainValue::Kind::String; return String(out.text);
            case 't': out = PlainValue::Boolean(true); return Word("true");
            case 'f': out = PlainValue::Boolean(false); return Word("false");
            case 'n': out = PlainValue::Null(); return Word("null");
            case 'u': out = PlainValue(); return Word("undefined");
            case 'N': out = PlainValue::Number(std::numeric_limits<double>::quiet_NaN()); return Word("NaN");
            case 'I': out = PlainValue::Number(std::numeric_limits<double>::infinity()); return Word("Infinity");
            default: return Number(out);
        }
    }

    // array: '[' (value (',' value)*)? ']'
    bool Array(PlainValue& out, int depth) {
        out = PlainValue::Of(PlainValue::Kind::Array);
        ++at_;
        SkipBlanks();
        if (Take(']')) return true;
        do {
            PlainValue item;
            if (!Value(item, depth)) return false;
            out.items.push_back(std::move(item));
            SkipBlanks();
        } while (Take(','));
        return Take(']');
    }

    // object: '{' (string ':' value (',' string ':' value)*)? '}'
    bool Object(PlainValue& out, int depth) {
        out = PlainValue::Of(PlainValue::Kind::Object);
        ++at_;
        SkipBlanks();
        if (Take('}')) return true;
        do {
            SkipBlanks();
            std::u16string key;
            if (at_ >= text_.size() || text_[at_] != '"' || !String(key)) return false;
            SkipBlanks();
            if (!Take(':')) return false;
            PlainValue item;
            if (!Value(item, depth)) return false;
            out.keys.push_back(std::move(key));
            out.items.push_back(std::move(item));
            SkipBlanks();
        } while (Take(','));
        return Take('}');
    }

    // number: '-'? ('Infinity' | int frac? exp?), as JSON writes it
    bool Number(PlainValue& out) {
        const size_t start = at_;
        Take('-');
        if (Word("Infinity")) {
            out = PlainValue::Number(-std::numeric_limits<double>::infinity());
            return true;
        }
        if (Take('0')) {
        } else if (!Digits()) {
            return false;
        }
        if (Take('.') && !Digits()) return false;
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digits()) return false;
        }
        double d = 0;
        const char* first = text_.data() + start;
        const std::from_chars_result r = std::from_chars(first, text_.data() + at_, d);
        if (r.ec == std::errc::result_out_of_range) d = OutOfRange(start);
        else if (r.ec != std::errc() || r.ptr != text_.data() + at_) return false;
        out = PlainValue::Number(d);
        return true;
    }
    // What JavaScript reads a literal beyond the doubles as: a zero when it is tiny (a negative
    // exponent, or no exponent and nothing but zeros before the point), an infinity otherwise.
    double OutOfRange(size_t start) const {
        const std::string_view literal = text_.substr(start, at_ - start);
        const bool negative = literal.front() == '-';
        const size_t e = literal.find_first_of("eE");
        const std::string_view digits = literal.substr(negative ? 1 : 0);
        const bool tiny = e != std::string_view::npos ? literal.substr(e + 1, 1) == "-" : digits.starts_with("0");
        const double magnitude = tiny ? 0.0 : HUGE_VAL;
        return negative ? -magnitude : magnitude;
    }
    bool Digits() {
        const size_t start = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
        return at_ > start;
    }

    // string: '"' (char | escape)* '"', control characters refused as JSON does
    bool String(std::u16string& out) {
        ++at_;
        while (at_ < text_.size()) {
            const unsigned char c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') return ++at_, true;
            if (c < 0x20) return false;
            if (c == '\\') {
                if (!Escape(out)) return false;
                continue;
            }
            const std::optional<char32_t> cp = DecodeUtf8(text_, at_);
            if (!cp) return false;
            AppendUtf16(out, *cp);
        }
        return false;
    }
    bool Escape(std::u16string& out) {
        ++at_;
        if (at_ >= text_.size()) return false;
        const char c = text_[at_++];
        switch (c) {
            case '"': out += u'"'; return true;
            case '\\': out += u'\\'; return true;
            case '/': out += u'/'; return true;
            case 'b': out += u'\b'; return true;
            case 'f': out += u'\f'; return true;
            case 'n': out += u'\n'; return true;
            case 'r': out += u'\r'; return true;
            case 't': out += u'\t'; return true;
            case 'u': break;
            default: return false;
        }
        // A \u escape is one UTF-16 unit; pairs and lone surrogates alike pass through as units.
        if (text_.size() - at_ < 4) return false;
        unsigned unit = 0;
        const std::from_chars_result r = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, unit, 16);
        if (r.ec != std::errc() || r.ptr != text_.data() + at_ + 4) return false;
        at_ += 4;
        out += static_cast<char16_t>(unit);
        return true;
    }

    std::string_view text_;
    size_t at_ = 0;
};

void WriteString(std::string& out, std::u16string_view text) {
    out += '"';
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        const bool high = u >= 0xD800 && u <= 0xDBFF, low = u >= 0xDC00 && u <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u == u'"' || u == u'\\') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u < 0x20 || u == 0x2028 || u == 0x2029 || high || low) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(u));
            out += escape;
        } else {
            AppendUtf8(out, u);
        }
    }
    out += '"';
}

void WriteNumber(std::string& out, double d) {
    if (std::isnan(d)) out += "NaN";
    else if (std::isinf(d)) out += d < 0 ? "-Infinity" : "Infinity";
    else {
        char text[32];
        // The shortest text that reads back as the same double.
        const std::to_chars_result r = std::to_chars(text, text + sizeof text, d);
        out.append(text, r.ptr);
    }
}

void Write(std::string& out, const PlainValue& value, int depth) {
    using Kind = PlainValue::Kind;
    const bool container = value.kind == Kind::Array || value.kind == Kind::Object;
    if (container && depth >= kMaxPageValueNesting) {
        out += "null";
        return;
    }
    switch (value.kind) {
        case Kind::Undefined: out += "undefined"; return;
        case Kind::Null: out += "null"; return;
        case Kind::Boolean: out += value.boolean ? "true" : "false"; return;
        case Kind::Number: WriteNumber(out, value.number); return;
        case Kind::String: WriteString(out, value.text); return;
        case Kind::Array:
        case Kind::Object: break;
    }
    const bool isObject = value.kind == Kind::Object;
    out += isObject ? '{' : '[';
    for (size_t i = 0; i < value.items.size(); ++i) {
        if (i) out += ',';
        if (isObject) {
            WriteString(out, i < value.keys.size() ? std::u16string_view(value.keys[i]) : std::u16string_view());
            out += ':';
        }
        Write(out, value.items[i], depth + 1);
    }
    out += isObject ? '}' : ']';
}

}  // namespace

std::optional<PlainValue> ParsePageValue(std::string_view utf8) { return Reader(utf8).Whole(); }

std::string WritePageValue(const PlainValue& value) {
    std::string out;
    Write(out, value, 0);
    return out;
}

}  // namespace velmo::platform
