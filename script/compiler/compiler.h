#pragma once
// The compiler driver: source text to instruction list and module bytes,
// with the warnings and the one error of the compilation as text. Never throws; a failed compile
// returns no code and writes no output file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/compiler/instructions.h"
#include "script/compiler/source_reader.h"
#include "script/runtime/error_report.h"

namespace velmo::script::compiler {

// Compile-flag bits the driver reads itself; the peephole bits live in peephole.h.
inline constexpr uint32_t kCompileFlagLineInformation = 1u << 2;
inline constexpr uint32_t kCompileFlagWarnSemicolons = 1u << 20;

struct CompileResult {
    bool ok = false;
    InstructionList instructions;          // after the peephole passes; empty unless ok
    std::vector<uint8_t> module;           // module bytes; empty unless ok
    std::string diagnostics;               // warnings, then the error line when !ok
    std::vector<CompileMessage> messages;  // the same lines as records
};

// Parses and generates the unit read by `reader` and runs every peephole pass. A non-empty
// `listingPath` receives the single line "; -*- asm -*-" CR LF; a non-empty `outputPath` receives
// the module bytes of a successful compile. A file that cannot be written fails the compile.
[[nodiscard]] CompileResult CompileSource(SourceReader& reader, uint32_t flags, std::string_view listingPath,
                                          std::string_view outputPath);
// An in-memory unit named `name`.
[[nodiscard]] CompileResult CompileString(std::string_view text, uint32_t flags, std::string_view name = "string");
// A source file; one that cannot be opened fails with "can't open the script file: NAME".
[[nodiscard]] CompileResult CompileFile(const std::string& path, uint32_t flags);

}  // namespace velmo::script::compiler
