// Lexer and parser over any bytes: no fault, a tree exactly when no error line was written, and the
// dump of every tree it builds (which walks each node and operand the parser filled).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/compiler/parser.h"
#include "script/compiler/tree_dump.h"

using namespace velmo::script::compiler;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseOptions options;
    options.warnMissingSemicolons = size % 2 == 1;
    const ParsedText parsed = ParseText({reinterpret_cast<const char*>(data), size}, options);
    const bool hasError = parsed.diagnostics.find("error: line ") != std::string::npos;
    if (hasError == (parsed.tree != nullptr)) __builtin_trap();
    if (parsed.tree && DumpTree(*parsed.tree).empty()) __builtin_trap();
    return 0;
}
