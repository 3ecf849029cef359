#pragma once
// Velmo Script source to syntax tree: recursive descent with one token of look-ahead, no error recovery.
// The first error ends the parse; its line stays in the Diagnostics and no tree is returned. Nothing
// thrown inside the parser leaves these entry points.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "script/compiler/diagnostics.h"
#include "script/compiler/lexer.h"
#include "script/compiler/source_reader.h"
#include "script/compiler/syntax_tree.h"

namespace velmo::script::compiler {

// Statements, expressions and structure members nested deeper than this end the compilation with
// "syntax error: nesting too deep", so hostile input cannot exhaust the C++ stack (the Windows build
// runs on a 2 MiB main stack, and each level costs a handful of frames).
constexpr int32_t kMaxNestingDepth = 256;

struct ParseOptions {
    bool warnMissingSemicolons = false;
    LexerOptions lexer;
};

struct ParseResult {
    std::unique_ptr<SyntaxTree> tree;  // null after an error
    int32_t tokenCount = 0;
    int32_t insertedSemicolons = 0;
};

// Parses the whole unit read by `lexer` from `source` (the same reader: regular-expression flags are
// read from it directly). Warnings and the error, if any, go to `diagnostics`.
[[nodiscard]] ParseResult ParseProgram(SourceReader& source, Lexer& lexer, Diagnostics& diagnostics,
                                       const ParseOptions& options);

struct ParsedText {
    std::unique_ptr<SyntaxTree> tree;  // null after an error
    std::string diagnostics;
};

// Lexes and parses `text` as an in-memory unit named "string".
[[nodiscard]] ParsedText ParseText(std::string_view text, const ParseOptions& options = {});

}  // namespace velmo::script::compiler
