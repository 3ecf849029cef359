// The lexer and its source reader: token codes, values and lines at the lexical edge cases, the
// exact diagnostic line of every lexical message, and file reading across 4,096-byte blocks.
#include "script/compiler/lexer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/scratch.h"

namespace velmo::script::compiler {
namespace {

using namespace std::literals;

// A token copied out of the lexer, so it outlives it.
struct Lexed {
    int32_t code;
    int32_t line;
    int64_t integer;
    double number;
    std::string text;
};

struct LexResult {
    std::vector<Lexed> tokens;  // up to but not including the end token
    int32_t endLine = -1;
    std::string diagnostics;
    bool failed = false;
};

LexResult LexAll(SourceReader& reader, uint32_t flags = 0) {
    Diagnostics diagnostics;
    Lexer lexer(reader, diagnostics, LexerOptions::FromCompileFlags(flags));
    LexResult result;
    for (Token t = lexer.Next(); !t.Is(Tok::End); t = lexer.Next())
        result.tokens.push_back({t.code, t.line, t.integer, t.number, std::string(t.text)});
    result.endLine = lexer.Line();
    result.diagnostics = diagnostics.Text();
    result.failed = diagnostics.Failed();
    return result;
}

LexResult Lex(std::string_view text, uint32_t flags = 0) {
    auto reader = SourceReader::FromString(text);
    return LexAll(*reader, flags);
}

std::vector<int32_t> Codes(const LexResult& r) {
    std::vector<int32_t> codes;
    for (const Lexed& t : r.tokens) codes.push_back(t.code);
    return codes;
}

constexpr int32_t kInt = Code(Tok::Integer), kFloat = Code(Tok::Float), kStr = Code(Tok::String),
                  kId = Code(Tok::Identifier);

TEST(Lexer, EmptyInputAndAnyNulEndTheInputAtLineZero) {
    for (std::string_view text : {""sv, "\0"sv, "\0abc"sv}) {
        const LexResult r = Lex(text);
        EXPECT_TRUE(r.tokens.empty());
        EXPECT_EQ(r.endLine, 0);
    }
    const LexResult r = Lex("a\0\nb"sv);
    ASSERT_EQ(Codes(r), std::vector<int32_t>{kId});
    EXPECT_EQ(r.tokens[0].text, "a");
}

TEST(Lexer, IntegersStayIntegersUpTo2To63AndOctalHexWrap) {
    const struct {
        std::string_view text;
        int32_t code;
        int64_t integer;
        double number;
    } rows[] = {
        {"0", kInt, 0, 0},
        {"017", kInt, 15, 0},
        {"0x1F", kInt, 31, 0},
        {"0XaBc", kInt, 0xabc, 0},
        {"0x", kInt, 0, 0},
        {"0xFFFFFFFFFFFFFFFF", kInt, -1, 0},
        {"9223372036854775807", kInt, INT64_MAX, 0},
        {"9223372036854775808", kFloat, 0, 9223372036854775808.0},
        // Past 2^64 a wrapping accumulator would read 0; the literal is a float instead.
        {"18446744073709551616", kFloat, 0, 18446744073709551616.0},
        {"0.5", kFloat, 0, 0.5},
        {"0e1", kFloat, 0, 0},
        {"0E1", kFloat, 0, 0},
        {"1.", kFloat, 0, 1},
        {".5", kFloat, 0, 0.5},
        {"1e+5", kFloat, 0, 1e5},
        {"2.5E-3", kFloat, 0, 2.5e-3},
    };
    for (const auto& row : rows) {
        const LexResult r = Lex(row.text);
        ASSERT_EQ(r.tokens.size(), 1u) << row.text;
        EXPECT_EQ(r.tokens[0].code, row.code) << row.text;
        if (row.code == kInt) EXPECT_EQ(r.tokens[0].integer, row.integer) << row.text;
        else EXPECT_EQ(r.tokens[0].number, row.number) << row.text;
    }
    const LexResult nine = Lex("09");
    ASSERT_EQ(Codes(nine), (std::vector<int32_t>{kInt, kInt}));
    EXPECT_EQ(nine.tokens[0].integer, 0);
    EXPECT_EQ(nine.tokens[1].integer, 9);
    EXPECT_EQ(Codes(Lex("0x1Fg . x 1.5.5")), (std::vector<int32_t>{kInt, kId, '.', kId, kFloat, kFloat}));
}

TEST(Lexer, StringEscapesDecodeToBytesAndKeepEmbeddedNuls) {
    const struct {
        std::string_view source;
        std::string bytes;
    } rows[] = {
        {R"("a\x41")", "aA"},
        {R"("\u0141")", "A"},
        {R"("\101")", "A"},
        {R"("\0101")", "A"},
        {R"("\08")",
         "\0"s
         "8"},
        {R"("\777")", "\xff"},
        {R"('a\0b\x00c')", "a\0b\0c"s},
        {R"("\n\t\v\b\r\f\a\\\?\'\"")", "\n\t\v\b\r\f\a\\?'\""},
        {"'\xe9\xff'", "\xe9\xff"},
        {"\"a\\\nb\"", "ab"},
        {"\"a\nb\"", "a\nb"},
    };
    for (const auto& row : rows) {
        const LexResult r = Lex(row.source);
        ASSERT_EQ(Codes(r), std::vector<int32_t>{kStr}) << row.source;
        EXPECT_EQ(r.tokens[0].text, row.bytes) << row.source;
        EXPECT_EQ(r.diagnostics, "") << row.source;
    }
    const LexResult two = Lex("'it''s' x");
    ASSERT_EQ(Codes(two), (std::vector<int32_t>{kStr, kStr, kId}));
    EXPECT_EQ(two.tokens[1].text, "s");
}

TEST(Lexer, CharacterLiteralsAreSignExtendedIntegers) {
    const struct {
        std::string_view source;
        int64_t value;
    } rows[] = {
        {"#'a'", 97}, {R"(#'\n')", 10}, {"#'''", 39}, {R"(#'\xff')", -1}, {"#'\xe9'", -23}, {R"(#'\0')", 0},
    };
    for (const auto& row : rows) {
        const LexResult r = Lex(row.source);
        ASSERT_EQ(Codes(r), std::vector<int32_t>{kInt}) << row.source;
        EXPECT_EQ(r.tokens[0].integer, row.value) << row.source;
    }
    EXPECT_EQ(Codes(Lex("#x")), (std::vector<int32_t>{'#', kId}));
}

TEST(Lexer, OperatorsTakeTheLongestMatch) {
    const LexResult all = Lex("== != <= >= && || ++ -- *= /= %= += -= &= ^= |= <<= << >> >>> >>= >>>= === !==");
    std::vector<int32_t> want;
    for (int32_t code = Code(Tok::Equal); code <= Code(Tok::StrictNotEqual); ++code) want.push_back(code);
    EXPECT_EQ(Codes(all), want);
    EXPECT_EQ(Codes(Lex("a>>>=b a===b a!==b")), (std::vector<int32_t>{kId, 189, kId, kId, 190, kId, kId, 191, kId}));
    EXPECT_EQ(Codes(Lex("<<<>>>>&&&|||+++---!!=")),
              (std::vector<int32_t>{185, '<', 187, '>', 172, '&', 173, '|', 174, '+', 175, '-', '!', 169}));
    EXPECT_EQ(Codes(Lex("= ! < > & | + - * / % ^ ~ ? : ; , ( ) [ ] { } @")),
              (std::vector<int32_t>{'=', '!', '<', '>', '&', '|', '+', '-', '*', '/', '%', '^',
                                    '~', '?', ':', ';', ',', '(', ')', '[', ']', '{', '}', '@'}));
    // A byte above 127 is its own token, and never one of the codes from 128 up.
    EXPECT_EQ(Codes(Lex("\x80 \xff")), (std::vector<int32_t>{-128, -1}));
}

TEST(Lexer, EveryKeywordIsFoundAndCaseMatters) {
    for (int32_t code = 133; code <= 195; ++code) {
        if (code > 167 && code < 192) continue;
        char buffer[2];
        const std::string_view spelling = TokenSpelling(code, buffer);
        EXPECT_EQ(Codes(Lex(spelling)), std::vector<int32_t>{code}) << spelling;
    }
    const LexResult r = Lex("$x _x1 Undefined While as2 $");
    EXPECT_EQ(Codes(r), (std::vector<int32_t>(6, kId)));
    EXPECT_EQ(r.tokens[1].text, "_x1");
}

TEST(Lexer, LinesCountEveryLfInCommentsStringsAndCrLfText) {
    const struct {
        std::string_view source;
        std::vector<int32_t> lines;
    } rows[] = {
        {"a // c\nb", {0, 1}},   {"/* x\ny */ b", {1}},          {"#!/usr/bin/x\nb", {1}},
        {"a\n#!x y\nb", {0, 2}}, {"a\r\nb\r\n\r\nc", {0, 1, 3}}, {"a /*\r\n\r\n*/ #! x\r\n // y\r\n b", {0, 4}},
        {"'x\ny' z", {0, 1}},    {"'x\\\ny' z", {0, 1}},         {"#'\n' z", {0, 1}},
        {"a /* open\n", {0}},
    };
    for (const auto& row : rows) {
        const LexResult r = Lex(row.source);
        std::vector<int32_t> lines;
        for (const Lexed& t : r.tokens) lines.push_back(t.line);
        EXPECT_EQ(lines, row.lines) << row.source;
        EXPECT_FALSE(r.failed) << row.source;
    }
}

TEST(Lexer, PeekReturnsTheTokenNextWillReturn) {
    auto reader = SourceReader::FromString("a 1");
    Diagnostics diagnostics;
    Lexer lexer(*reader, diagnostics);
    EXPECT_EQ(lexer.Peek().text, "a");
    EXPECT_EQ(lexer.Peek().text, "a");
    EXPECT_EQ(lexer.Next().text, "a");
    EXPECT_EQ(lexer.Next().integer, 1);
    EXPECT_TRUE(lexer.Next().Is(Tok::End));
}

// The lexer, given text that starts with `/`, consumes it and scans the pattern after it.
struct RegExpResult {
    std::string pattern;
    std::vector<Lexed> after;
    std::string diagnostics;
};

RegExpResult ScanRegExp(std::string_view source) {
    auto reader = SourceReader::FromString(source);
    Diagnostics diagnostics;
    Lexer lexer(*reader, diagnostics);
    Token slash = lexer.Next();
    while (!slash.Is('/') && !slash.Is(Tok::SlashAssign)) slash = lexer.Next();
    RegExpResult result;
    if (const auto pattern = lexer.ScanRegExpBody(slash.Is(Tok::SlashAssign) ? "=" : ""))
        result.pattern = std::string(*pattern);
    for (Token t = lexer.Next(); !t.Is(Tok::End); t = lexer.Next())
        result.after.push_back({t.code, t.line, t.integer, t.number, std::string(t.text)});
    result.diagnostics = diagnostics.Text();
    return result;
}

TEST(Lexer, RegExpBodiesDecodeOnlyControlHexUnicodeAndNulEscapes) {
    const struct {
        std::string_view source;
        std::string pattern;
    } rows[] = {
        {R"(/ab\/c/g)", R"(ab\/c)"},
        {R"(/a\nb\t/)", "a\nb\t"},
        {R"(/\cA\d\1\b\\/)", R"(\cA\d\1\b\\)"},
        {R"(/\x41\u0142\0101\0/)", "ABA\0"s},
        {"/a\\\nb/", "ab"},
        {"/a\nb/", "a\nb"},
        {"/=/", "="},
        {"/=a=/", "=a="},
    };
    for (const auto& row : rows) {
        const RegExpResult r = ScanRegExp(row.source);
        EXPECT_EQ(r.pattern, row.pattern) << row.source;
        EXPECT_EQ(r.diagnostics, "") << row.source;
    }
    const RegExpResult flags = ScanRegExp("x = /a\nb/gi\nc");
    ASSERT_EQ(flags.after.size(), 2u);
    EXPECT_EQ(flags.after[0].text, "gi");
    EXPECT_EQ(flags.after[0].line, 1);
    EXPECT_EQ(flags.after[1].line, 2);
}

TEST(Lexer, EveryLexicalMessageHasItsExactLine) {
    const struct {
        std::string_view source;
        std::string diagnostics;
        bool failed;
    } rows[] = {
        {"x = #'ab'", "error: line 0: illegal character\r\n", true},
        {"#'", "error: line 0: illegal character\r\n", true},
        {"\n\"\\x4g\"", "error: line 1: illegal character '\\x4g'\r\n", true},
        {"\"\\u01x1\"", "error: line 0: illegal unicode character '\\u01x1'\r\n", true},
        {"\n\n1e+;", "error: line 2: invalid exponent part in a decimal literal\r\n", true},
        {"1e", "error: line 0: invalid exponent part in a decimal literal\r\n", true},
        // The literal's first line, except for a backslash right before the end: the current line.
        {"\"abc\n\ndef", "error: line 0: unterminated string constant\r\n", true},
        {"\"a\n\\", "error: line 1: unterminated string constant\r\n", true},
        {"\"a\n\\x4", "error: line 0: unterminated string constant\r\n", true},
        {"\"a\n\\u", "error: line 0: unterminated string constant\r\n", true},
        {"x\n#'\\", "error: line 1: unterminated character constant\r\n", true},
        {"#'\\x\n", "error: line 0: unterminated character constant\r\n", true},
        {"\"\\q\" \n'\\%'",
         "warning: line 0: unknown escape sequence '\\q'\r\n"
         "warning: line 1: unknown escape sequence '\\%'\r\n",
         false},
        // Nothing after the aborting error is reported.
        {"'\\q' 1e '\\q'",
         "warning: line 0: unknown escape sequence '\\q'\r\n"
         "error: line 0: invalid exponent part in a decimal literal\r\n",
         true},
    };
    for (const auto& row : rows) {
        const LexResult r = Lex(row.source);
        EXPECT_EQ(r.diagnostics, row.diagnostics) << row.source;
        EXPECT_EQ(r.failed, row.failed) << row.source;
    }
    const struct {
        std::string_view source;
        std::string diagnostics;
    } regExpRows[] = {
        {"/abc\n", "error: line 0: unterminated regular expression constant\r\n"},
        {"\n/a\n\\", "error: line 2: unterminated regular expression constant\r\n"},
        {"/a\n\\c", "error: line 0: unterminated regular expression constant\r\n"},
        {"/a\n\\x4", "error: line 0: unterminated regular expression constant\r\n"},
        {"/\\xZZ/", "error: line 0: illegal character '\\xZZ'\r\n"},
    };
    for (const auto& row : regExpRows) EXPECT_EQ(ScanRegExp(row.source).diagnostics, row.diagnostics) << row.source;
}

TEST(Lexer, LineTerminatorWarningOnlyWithItsFlagAndOncePerLiteral) {
    const std::string_view source = "x = \"a\nb\nc\" + 'd\ne'";
    EXPECT_EQ(Lex(source).diagnostics, "");
    const LexResult r = Lex(source, kCompileFlagWarnLineTerminators);
    EXPECT_EQ(r.diagnostics,
              "warning: line 1: ECMAScript don't allow line terminators in string constants\r\n"
              "warning: line 3: ECMAScript don't allow line terminators in string constants\r\n");
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.tokens.back().text, "d\ne");
}

TEST(Lexer, FormattedMessagesAreCutTo255Characters) {
    Diagnostics diagnostics;
    diagnostics.Warn(7, "%s", std::string(400, 'w').c_str());
    EXPECT_EQ(diagnostics.Text(), "warning: line 7: " + std::string(255, 'w') + "\r\n");
}

TEST(SourceReader, FilesReadAcrossBlockBoundariesAndStopAtNul) {
    testing::ScratchFolder folder;
    // A string literal straddles the first boundary; an identifier ends the file exactly at the second.
    std::string text(kSourceBlockBytes - 2, ' ');
    text += "'ab'\n";
    text += std::string(2 * kSourceBlockBytes - text.size() - 3, '\n');
    text += "xyz";
    ASSERT_EQ(text.size(), 2 * kSourceBlockBytes);
    SourceOpenResult opened = SourceReader::OpenFile(folder.Write("two.qvs", testing::Bytes(text)));
    ASSERT_TRUE(opened.reader) << opened.errorText;
    const LexResult r = LexAll(*opened.reader);
    ASSERT_EQ(Codes(r), (std::vector<int32_t>{kStr, kId}));
    EXPECT_EQ(r.tokens[0].text, "ab");
    EXPECT_EQ(r.tokens[1].text, "xyz");
    EXPECT_EQ(r.tokens[1].line, std::count(text.begin(), text.end(), '\n'));

    opened = SourceReader::OpenFile(
        folder.Write("ends-at-zero.qvs", testing::Bytes(std::string(kSourceBlockBytes, 'a') + "b\0c"s)));
    ASSERT_TRUE(opened.reader);
    const LexResult nul = LexAll(*opened.reader);
    ASSERT_EQ(nul.tokens.size(), 1u);
    EXPECT_EQ(nul.tokens[0].text, std::string(kSourceBlockBytes, 'a') + "b");
    EXPECT_EQ(opened.reader->Name(), folder.Path() + "ends-at-zero.qvs");  // not "nul.*": a device name on Windows
}

// Editors on Windows begin UTF-8 files with EF BB BF; anywhere but the very start the three
// bytes stay single-character tokens (bytes above 127 read as signed chars).
TEST(SourceReader, ByteOrderMarkIsSkippedOnlyAtTheStart) {
    const std::string mark = "\xEF\xBB\xBF";
    const LexResult r = Lex(mark + "a\nb");
    ASSERT_EQ(Codes(r), (std::vector<int32_t>{kId, kId}));
    EXPECT_EQ(r.tokens[0].line, 0);
    EXPECT_EQ(r.tokens[1].line, 1);
    EXPECT_TRUE(Lex(mark).tokens.empty());
    EXPECT_EQ(Codes(Lex(mark.substr(0, 2) + "a")), (std::vector<int32_t>{-17, -69, kId}));  // not a whole mark
    for (const std::string& text : {" " + mark, "a\n" + mark, mark + mark}) {
        const LexResult later = Lex(text);
        ASSERT_GE(later.tokens.size(), 3u) << text;
        EXPECT_EQ(later.tokens[later.tokens.size() - 3].code, -17) << text;
        EXPECT_EQ(later.tokens.back().code, -65) << text;
    }

    testing::ScratchFolder folder;
    SourceOpenResult opened = SourceReader::OpenFile(folder.Write("marked.qvs", testing::Bytes(mark + "x\n\ny")));
    ASSERT_TRUE(opened.reader) << opened.errorText;
    const LexResult file = LexAll(*opened.reader);
    ASSERT_EQ(Codes(file), (std::vector<int32_t>{kId, kId}));
    EXPECT_EQ(file.tokens[1].line, 2);
    opened = SourceReader::OpenFile(folder.Write("only-mark.qvs", testing::Bytes(mark)));
    ASSERT_TRUE(opened.reader);
    EXPECT_TRUE(LexAll(*opened.reader).tokens.empty());
}

TEST(SourceReader, MissingFileGivesTheOpenMessage) {
    testing::ScratchFolder folder;
    const std::string path = folder.Path() + "absent.qvs";
    const SourceOpenResult opened = SourceReader::OpenFile(path);
    EXPECT_FALSE(opened.reader);
    EXPECT_EQ(opened.errorText, "can't open the script file: " + path + "\n");
}

}  // namespace
}  // namespace velmo::script::compiler
