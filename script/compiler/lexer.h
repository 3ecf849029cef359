#pragma once
// Velmo Script source text to tokens, pulled one at a time by the parser. Errors go to the shared
// Diagnostics and end the compilation: from the first error on, Next() answers end of input and
// ScanRegExpBody() nothing, so the parser unwinds normally and its caller checks Failed().

#include "script/compiler/diagnostics.h"
#include "script/compiler/source_reader.h"
#include "script/compiler/tokens.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace velmo::script::compiler {

// The compile-flag bit that asks for a warning at the first line break inside a string literal.
constexpr uint32_t kCompileFlagWarnLineTerminators = 1u << 21;

struct LexerOptions {
    bool warnLineTerminatorsInStrings = false;

    static LexerOptions FromCompileFlags(uint32_t flags) {
        return {.warnLineTerminatorsInStrings = (flags & kCompileFlagWarnLineTerminators) != 0};
    }
};

class Lexer {
public:
    Lexer(SourceReader& source, Diagnostics& diagnostics, LexerOptions options = {})
        : source_(source), diagnostics_(diagnostics), options_(options) {}

    // Scans and returns the next token (a peeked one first). Never fails to return a token.
    Token Next();
    // The token Next() will return, scanned once.
    const Token& Peek();
    // Called right after the parser consumed a `/` at an operand position, with nothing peeked:
    // the pattern up to the closing `/` (consumed). Empty optional after an error. A pattern that
    // starts with `=` reaches the parser as a `/=` token; it passes "=" as `consumed` to get it back.
    [[nodiscard]] std::optional<std::string_view> ScanRegExpBody(std::string_view consumed = {});

    int32_t Line() const { return source_.Line(); }

private:
    Token Scan();
    bool ScanOperator(char c, Token& t);
    bool ScanIdentifier(char first, Token& t);
    bool ScanNumber(char first, Token& t);
    bool ScanRadixInteger(Token& t);
    bool ScanDecimal(char first, Token& t);
    bool ScanString(char quote, Token& t);
    bool ScanCharacter(Token& t);
    std::optional<char> ScanEscape(int32_t startLine, const char* kindName);
    std::optional<char> ScanHexEscape(int32_t startLine, const char* kindName, bool isUnicode);
    bool ScanRegExpEscape(int32_t startLine);
    void SkipBlockComment();
    void SkipLineComment();
    bool Accept(char c);
    std::string_view Intern(const std::string& text);

    SourceReader& source_;      // not owned
    Diagnostics& diagnostics_;  // not owned
    LexerOptions options_;
    std::unordered_set<std::string> texts_;  // node-based: views into it survive later insertions
    std::string buffer_;                     // the literal being collected
    Token peeked_;
    bool hasPeeked_ = false;
};

}  // namespace velmo::script::compiler
