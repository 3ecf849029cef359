// The scanner: longest-match operators, keyword table, numeric, string, character and
// regular-expression literals. Every scan helper returns false (or an empty optional) once it has
// reported an error; the public entries then answer end of input.

#include "script/compiler/lexer.h"

#include "platform/check.h"
#include "script/runtime/name_hash.h"

#include <array>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>

namespace velmo::script::compiler {

namespace {

// Message formats, worded exactly as scripts' authors see them.
constexpr const char* kUnterminated = "unterminated %s constant";
constexpr const char* kIllegalCharacter = "illegal character";
constexpr const char* kIllegalHex = "illegal character '%s%c%c'";
constexpr const char* kIllegalUnicode = "illegal unicode character '%s%c%c%c%c'";
constexpr const char* kBadExponent = "invalid exponent part in a decimal literal";
constexpr const char* kUnknownEscape = "unknown escape sequence '%c%c'";
constexpr const char* kLineTerminator = "ECMAScript don't allow line terminators in %s constants";

// ---- Character classes (bytes 128-255 belong to none) ----

bool IsIdentifierStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '$' || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierPart(char c) { return IsIdentifierStart(c) || IsDigit(c); }
bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsSpace(char c) { return c == ' ' || (c >= 9 && c <= 13); }  // TAB, LF, VT, FF, CR
int HexValue(char c) { return IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10; }

// ---- Keyword table: 32 buckets chained by the shared name hash, built at compile time ----

struct Keyword {
    std::string_view name;
    int32_t code;
};
constexpr Keyword kKeywords[] = {
#define VELMO_TOKEN(name, code, spelling)
#define VELMO_KEYWORD(name, code, spelling) {spelling, code},
#include "script/compiler/tokens.def"
};
constexpr size_t kKeywordCount = std::size(kKeywords);
constexpr size_t kKeywordBuckets = 32;

struct KeywordTable {
    std::array<int8_t, kKeywordBuckets> head{};
    std::array<int8_t, kKeywordCount> next{};
};

constexpr KeywordTable BuildKeywordTable() {
    KeywordTable table{};
    table.head.fill(-1);
    for (size_t i = 0; i < kKeywordCount; ++i) {
        const size_t bucket = NameHash(kKeywords[i].name) % kKeywordBuckets;
        table.next[i] = table.head[bucket];
        table.head[bucket] = static_cast<int8_t>(i);
    }
    return table;
}
constexpr KeywordTable kKeywordTable = BuildKeywordTable();

// The keyword's code, or End (128) for a plain identifier.
int32_t LookUpKeyword(std::string_view text) {
    for (int i = kKeywordTable.head[NameHash(text) % kKeywordBuckets]; i >= 0; i = kKeywordTable.next[i])
        if (kKeywords[i].name == text) return kKeywords[i].code;
    return Code(Tok::End);
}

// Sets the token code; true, so an operator match reads as one expression.
bool Set(Token& t, Tok code) {
    t.code = Code(code);
    return true;
}

// The value of a literal of decimal digits, or nothing when it exceeds 2^63-1 and must be read as a
// float. Overflow past 2^64 is caught too: a wrapped accumulator would pass for a small integer.
std::optional<int64_t> DecimalInteger(std::string_view digits) {
    uint64_t value = 0;
    for (char digit : digits) {
        const uint64_t d = static_cast<uint64_t>(digit - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - d) / 10) return std::nullopt;
        value = value * 10 + d;
    }
    if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
    return static_cast<int64_t>(value);
}

// The operators that take one continuation: a doubled character first, else `=`.
struct PairOperator {
    char first;
    Tok doubled;  // End when the character has no doubled form
    Tok assign;
};
constexpr PairOperator kPairOperators[] = {
    {'&', Tok::AndAnd, Tok::AndAssign},       {'|', Tok::OrOr, Tok::OrAssign},  {'+', Tok::PlusPlus, Tok::PlusAssign},
    {'-', Tok::MinusMinus, Tok::MinusAssign}, {'*', Tok::End, Tok::StarAssign}, {'%', Tok::End, Tok::PercentAssign},
    {'^', Tok::End, Tok::XorAssign},
};

}  // namespace

std::string_view TokenSpelling(int32_t code, char (&buffer)[2]) {
    switch (code) {
// clang-format off
#define VELMO_TOKEN(name, value, spelling) \
    case value: return spelling;
#include "script/compiler/tokens.def"
            // clang-format on
        default: break;
    }
    if (code < -128 || code >= 128) return "?";
    buffer[0] = static_cast<char>(code);
    buffer[1] = '\0';
    return std::string_view(buffer, 1);
}

// ---- Token stream ----

Token Lexer::Next() {
    if (hasPeeked_) {
        hasPeeked_ = false;
        return peeked_;
    }
    return Scan();
}

const Token& Lexer::Peek() {
    if (!hasPeeked_) {
        peeked_ = Scan();
        hasPeeked_ = true;
    }
    return peeked_;
}

bool Lexer::Accept(char c) {
    const char next = source_.GetChar();
    if (next == c) return true;
    source_.UngetChar(next);
    return false;
}

std::string_view Lexer::Intern(const std::string& text) { return *texts_.insert(text).first; }

Token Lexer::Scan() {
    for (;;) {
        Token t;
        t.line = source_.Line();
        if (diagnostics_.Failed()) return t;
        const char c = source_.GetChar();
        if (c == '\0') return t;
        if (IsSpace(c)) continue;
        t.line = source_.Line();
        if (c == '/' && Accept('*')) {
            SkipBlockComment();
            continue;
        }
        if ((c == '/' && Accept('/')) || (c == '#' && Accept('!'))) {
            SkipLineComment();
            continue;
        }
        bool ok = true;
        if (c == '"' || c == '\'') ok = ScanString(c, t);
        else if (c == '#' && Accept('\'')) ok = ScanCharacter(t);
        else if (IsIdentifierStart(c)) ok = ScanIdentifier(c, t);
        else if (IsDigit(c) || (c == '.' && IsDigit(source_.PeekChar()))) ok = ScanNumber(c, t);
        else if (!ScanOperator(c, t)) t.code = static_cast<signed char>(c);
        if (ok) return t;
        Token end;
        end.line = source_.Line();
        return end;
    }
}

void Lexer::SkipBlockComment() {
    for (char c = source_.GetChar(); c != '\0'; c = source_.GetChar())
        if (c == '*' && Accept('/')) return;
}

void Lexer::SkipLineComment() {
    char c = source_.GetChar();
    while (c != '\0' && c != '\n') c = source_.GetChar();
    source_.UngetChar(c);  // the LF is counted when the main loop reads it again
}

// Longest match among the multi-character operators; false leaves `c` a single-character token.
bool Lexer::ScanOperator(char c, Token& t) {
    switch (c) {
        case '=': return Accept('=') && Set(t, Accept('=') ? Tok::StrictEqual : Tok::Equal);
        case '!': return Accept('=') && Set(t, Accept('=') ? Tok::StrictNotEqual : Tok::NotEqual);
        case '/': return Accept('=') && Set(t, Tok::SlashAssign);
        case '<':
            if (Accept('=')) return Set(t, Tok::LessEqual);
            if (!Accept('<')) return false;
            return Set(t, Accept('=') ? Tok::ShiftLeftAssign : Tok::ShiftLeft);
        case '>':
            if (Accept('=')) return Set(t, Tok::GreaterEqual);
            if (!Accept('>')) return false;
            if (Accept('=')) return Set(t, Tok::ShiftRightAssign);
            if (!Accept('>')) return Set(t, Tok::ShiftRight);
            return Set(t, Accept('=') ? Tok::ShiftRightUnsignedAssign : Tok::ShiftRightUnsigned);
        default: break;
    }
    for (const PairOperator& op : kPairOperators) {
        if (op.first != c) continue;
        if (op.doubled != Tok::End && Accept(c)) return Set(t, op.doubled);
        return Accept('=') && Set(t, op.assign);
    }
    return false;
}

bool Lexer::ScanIdentifier(char first, Token& t) {
    buffer_.assign(1, first);
    char c = source_.GetChar();
    for (; IsIdentifierPart(c); c = source_.GetChar()) buffer_ += c;
    source_.UngetChar(c);
    t.code = LookUpKeyword(buffer_);
    if (t.code == Code(Tok::End)) {
        t.code = Code(Tok::Identifier);
        t.text = Intern(buffer_);
    }
    return true;
}

// ---- Numeric literals ----

bool Lexer::ScanNumber(char first, Token& t) {
    if (first == '0') {
        const char next = source_.PeekChar();
        if (next != '.' && next != 'e' && next != 'E') return ScanRadixInteger(t);
    }
    return ScanDecimal(first, t);
}

// After a leading `0`: hex digits after `x`/`X`, else octal digits. The accumulator wraps as the
// language defines; the first other character is left for the next token (so `09` is 0 then 9).
bool Lexer::ScanRadixInteger(Token& t) {
    uint64_t value = 0;
    char c = source_.GetChar();
    if (c == 'x' || c == 'X') {
        for (c = source_.GetChar(); IsHexDigit(c); c = source_.GetChar()) value = value * 16 + HexValue(c);
    } else {
        for (; IsOctalDigit(c); c = source_.GetChar()) value = value * 8 + (c - '0');
    }
    source_.UngetChar(c);
    t.code = Code(Tok::Integer);
    t.integer = static_cast<int64_t>(value);
    return true;
}

// digits [. digits] [(e|E) [+|-] digits], or `.` digits [exponent]. Digits alone stay an Integer up
// to 2^63-1 and become a Float beyond it.
bool Lexer::ScanDecimal(char first, Token& t) {
    buffer_.assign(1, first);
    bool isFloat = first == '.';
    char c = source_.GetChar();
    for (; IsDigit(c); c = source_.GetChar()) buffer_ += c;
    if (c == '.' && !isFloat) {
        isFloat = true;
        buffer_ += c;
        for (c = source_.GetChar(); IsDigit(c); c = source_.GetChar()) buffer_ += c;
    }
    if (c == 'e' || c == 'E') {
        isFloat = true;
        buffer_ += c;
        c = source_.GetChar();
        if (c == '+' || c == '-') {
            buffer_ += c;
            c = source_.GetChar();
        }
        if (!IsDigit(c)) {
            diagnostics_.Fail(source_.Line(), "%s", kBadExponent);
            return false;
        }
        for (; IsDigit(c); c = source_.GetChar()) buffer_ += c;
    }
    source_.UngetChar(c);
    const std::optional<int64_t> integer = isFloat ? std::nullopt : DecimalInteger(buffer_);
    if (integer) {
        t.code = Code(Tok::Integer);
        t.integer = *integer;
        return true;
    }
    t.code = Code(Tok::Float);
    t.number = std::strtod(buffer_.c_str(), nullptr);
    return true;
}

// ---- String, character and regular-expression literals ----

bool Lexer::ScanString(char quote, Token& t) {
    const int32_t startLine = t.line;
    bool warned = false;
    buffer_.clear();
    for (char c = source_.GetChar(); c != quote; c = source_.GetChar()) {
        if (c == '\0') {
            diagnostics_.Fail(startLine, kUnterminated, "string");
            return false;
        }
        if (c == '\\') {
            if (Accept('\n')) continue;  // line continuation: both characters dropped
            const std::optional<char> decoded = ScanEscape(startLine, "string");
            if (!decoded) return false;
            c = *decoded;
        } else if (c == '\n' && options_.warnLineTerminatorsInStrings && !warned) {
            warned = true;
            diagnostics_.Warn(source_.Line(), kLineTerminator, "string");
        }
        buffer_ += c;
    }
    t.code = Code(Tok::String);
    t.text = Intern(buffer_);
    return true;
}

// After `#'`: one character or escape, then the closing quote; the code is sign-extended.
bool Lexer::ScanCharacter(Token& t) {
    char c = source_.GetChar();
    if (c == '\\') {
        const std::optional<char> decoded = ScanEscape(t.line, "character");
        if (!decoded) return false;
        c = *decoded;
    }
    if (!Accept('\'')) {
        diagnostics_.Fail(source_.Line(), "%s", kIllegalCharacter);
        return false;
    }
    t.code = Code(Tok::Integer);
    t.integer = static_cast<signed char>(c);
    return true;
}

// Decodes the escape after a backslash. `startLine` is where the literal began, named when the
// input ends inside the escape; a backslash right before the end names the current line.
std::optional<char> Lexer::ScanEscape(int32_t startLine, const char* kindName) {
    static constexpr char kSimple[][2] = {{'n', '\n'}, {'t', '\t'},  {'v', '\v'}, {'b', '\b'},
                                          {'r', '\r'}, {'f', '\f'},  {'a', '\a'}, {'\\', '\\'},
                                          {'?', '?'},  {'\'', '\''}, {'"', '"'}};
    const char c = source_.GetChar();
    if (c == '\0') {
        diagnostics_.Fail(source_.Line(), kUnterminated, kindName);
        return std::nullopt;
    }
    for (const auto& entry : kSimple)
        if (entry[0] == c) return entry[1];
    if (c == 'x' || c == 'u') return ScanHexEscape(startLine, kindName, c == 'u');
    if (IsOctalDigit(c)) {
        unsigned value = static_cast<unsigned>(c - '0');
        for (int more = c == '0' ? 3 : 2; more > 0; --more) {
            const char d = source_.GetChar();
            if (!IsOctalDigit(d)) {
                source_.UngetChar(d);
                break;
            }
            value = value * 8 + static_cast<unsigned>(d - '0');
        }
        return static_cast<char>(value & 0xFF);
    }
    diagnostics_.Warn(source_.Line(), kUnknownEscape, '\\', c);
    return c;
}

// `\xHH`, or `\uHHHH` of which only the low byte survives (the source is 8-bit text).
std::optional<char> Lexer::ScanHexEscape(int32_t startLine, const char* kindName, bool isUnicode) {
    char digits[4];
    const int count = isUnicode ? 4 : 2;
    for (int i = 0; i < count; ++i) digits[i] = source_.GetChar();
    for (int i = 0; i < count; ++i) {
        if (digits[i] != '\0') continue;
        diagnostics_.Fail(startLine, kUnterminated, kindName);
        return std::nullopt;
    }
    for (int i = 0; i < count; ++i) {
        if (IsHexDigit(digits[i])) continue;
        if (isUnicode)
            diagnostics_.Fail(source_.Line(), kIllegalUnicode, "\\u", digits[0], digits[1], digits[2], digits[3]);
        else diagnostics_.Fail(source_.Line(), kIllegalHex, "\\x", digits[0], digits[1]);
        return std::nullopt;
    }
    return static_cast<char>(HexValue(digits[count - 2]) * 16 + HexValue(digits[count - 1]));
}

std::optional<std::string_view> Lexer::ScanRegExpBody(std::string_view consumed) {
    VELMO_ASSERT(!hasPeeked_);  // a peeked token would already have consumed part of the pattern
    if (diagnostics_.Failed()) return std::nullopt;
    const int32_t startLine = source_.Line();
    buffer_.assign(consumed);
    for (char c = source_.GetChar(); c != '/'; c = source_.GetChar()) {
        if (c == '\0') {
            diagnostics_.Fail(startLine, kUnterminated, "regular expression");
            return std::nullopt;
        }
        if (c != '\\') {
            buffer_ += c;
        } else if (!ScanRegExpEscape(startLine)) {
            return std::nullopt;
        }
    }
    return Intern(buffer_);
}

// After a backslash in a pattern: control escapes become the character, `\u`, `\x` and `\0` are
// decoded to a byte, and every other escape (`\/`, `\d`, `\1`, ...) stays as written for the
// regular-expression engine.
bool Lexer::ScanRegExpEscape(int32_t startLine) {
    static constexpr char kControls[][2] = {{'f', '\f'}, {'n', '\n'}, {'r', '\r'}, {'t', '\t'}, {'v', '\v'}};
    const char c = source_.GetChar();
    if (c == '\0') {
        diagnostics_.Fail(source_.Line(), kUnterminated, "regular expression");
        return false;
    }
    if (c == '\n') return true;  // line continuation
    for (const auto& entry : kControls) {
        if (entry[0] != c) continue;
        buffer_ += entry[1];
        return true;
    }
    if (c == 'c') {
        const char x = source_.GetChar();
        if (x == '\0') {
            diagnostics_.Fail(startLine, kUnterminated, "regular expression");
            return false;
        }
        buffer_ += "\\c";
        buffer_ += x;
        return true;
    }
    if (c == 'u' || c == 'x' || c == '0') {
        source_.UngetChar(c);
        const std::optional<char> decoded = ScanEscape(startLine, "regular expression");
        if (decoded) buffer_ += *decoded;
        return decoded.has_value();
    }
    buffer_ += '\\';
    buffer_ += c;
    return true;
}

}  // namespace velmo::script::compiler
