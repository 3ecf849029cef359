// The lexer over any bytes: it reaches the end of input within one token per byte, lines never go
// backwards, and after an error only end tokens follow. A second pass asks for a regular-expression
// body at every `/` and `/=`, as the parser may.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "script/compiler/lexer.h"

using namespace velmo::script::compiler;

namespace {

void LexToEnd(std::string_view text, bool scanRegExps) {
    auto reader = SourceReader::FromString(text);
    Diagnostics diagnostics;
    Lexer lexer(*reader, diagnostics, LexerOptions::FromCompileFlags(kCompileFlagWarnLineTerminators));
    int32_t lastLine = 0;
    for (size_t count = 0;; ++count) {
        if (count > text.size() + 1) __builtin_trap();  // every token but the end consumes a byte
        const Token t = lexer.Next();
        if (t.line < lastLine) __builtin_trap();
        lastLine = t.line;
        if (t.Is(Tok::End)) break;
        if (diagnostics.Failed()) __builtin_trap();  // a failed lexer answers only end tokens
        if (t.code < -128 || t.code > Code(Tok::As)) __builtin_trap();
        if (scanRegExps && (t.Is('/') || t.Is(Tok::SlashAssign))) {
            const auto pattern = lexer.ScanRegExpBody(t.Is(Tok::SlashAssign) ? "=" : "");
            if (pattern.has_value() == diagnostics.Failed()) __builtin_trap();
        }
    }
    if (!lexer.Next().Is(Tok::End)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    LexToEnd(text, false);
    LexToEnd(text, true);
    return 0;
}
