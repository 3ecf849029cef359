#pragma once
// Token codes and the token record the lexer hands to the parser. A code below 128 is the single
// character itself (bytes 128-255 arrive as negative codes, the byte read as a signed char, so they
// can never be mistaken for a multi-character token); the other codes come from tokens.def.

#include <cstdint>
#include <string_view>

namespace velmo::script::compiler {

enum class Tok : int32_t {
#define VELMO_TOKEN(name, code, spelling) name = code,
#include "script/compiler/tokens.def"
};

constexpr int32_t Code(Tok t) { return static_cast<int32_t>(t); }

// Trivially copyable, so a parser may keep any number of tokens for look-ahead. `text` stays valid
// for the lifetime of the Lexer that made it and carries its length: a string literal may hold NULs.
struct Token {
    int32_t code = Code(Tok::End);
    int32_t line = 0;
    int64_t integer = 0;    // Integer tokens (including character literals)
    double number = 0;      // Float tokens
    std::string_view text;  // String and Identifier tokens; the data is NUL-terminated as well

    bool Is(Tok t) const { return code == Code(t); }
    bool Is(char c) const { return code == static_cast<signed char>(c); }
};

// The spelling of a code for messages and tree dumps: "while", ">>>=", "end of input"; a single
// character is returned in `buffer` (two bytes).
std::string_view TokenSpelling(int32_t code, char (&buffer)[2]);

}  // namespace velmo::script::compiler
