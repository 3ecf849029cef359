// The driver runs parse, generation, the peephole passes and the listing in that order; the
// diagnostics of every stage collect in one Diagnostics so the text reads as one compilation.

#include "script/compiler/compiler.h"

#include <string>

#include "platform/files.h"
#include "script/compiler/codegen.h"
#include "script/compiler/diagnostics.h"
#include "script/compiler/lexer.h"
#include "script/compiler/module_writer.h"
#include "script/compiler/parser.h"
#include "script/compiler/peephole.h"

namespace velmo::script::compiler {
namespace {

bool WriteText(std::string_view path, std::string_view text) {
    return platform::WriteWholeFile(std::string(path), std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

CompileResult CompileSource(SourceReader& reader, uint32_t flags, std::string_view listingPath,
                            std::string_view outputPath) {
    CompileResult result;
    Diagnostics diagnostics;
    ParseOptions options;
    options.warnMissingSemicolons = (flags & kCompileFlagWarnSemicolons) != 0;
    options.lexer = LexerOptions::FromCompileFlags(flags);
    Lexer lexer(reader, diagnostics, options.lexer);
    const ParseResult parsed = ParseProgram(reader, lexer, diagnostics, options);
    InstructionList list;
    if (parsed.tree && GenerateProgram(*parsed.tree, diagnostics, list)) {
        Optimize(list, flags | kPeepholeAll);
        if (!listingPath.empty() && !WriteText(listingPath, "; -*- asm -*-\r\n"))
            diagnostics.Fail(reader.Line(), "can't write the listing file: %.*s", static_cast<int>(listingPath.size()),
                             listingPath.data());
        if (!diagnostics.Failed()) {
            WrittenModule written = WriteModule(list, (flags & kCompileFlagLineInformation) != 0, reader.Name());
            if (written.ok) result.module = std::move(written.bytes);
            else diagnostics.Fail(reader.Line(), "%s", written.error.c_str());
        }
    }
    result.ok = !diagnostics.Failed();
    if (result.ok) {
        result.instructions = std::move(list);
        if (!outputPath.empty() && !result.module.empty() &&
            !platform::WriteWholeFile(std::string(outputPath), result.module)) {
            diagnostics.Fail(reader.Line(), "can't write the module file: %.*s", static_cast<int>(outputPath.size()),
                             outputPath.data());
            result.ok = false;
            result.instructions.clear();
            result.module.clear();
        }
    }
    result.diagnostics = diagnostics.Text();
    result.messages = diagnostics.Messages();
    return result;
}

CompileResult CompileString(std::string_view text, uint32_t flags, std::string_view name) {
    std::unique_ptr<SourceReader> reader = SourceReader::FromString(text, name);
    return CompileSource(*reader, flags, {}, {});
}

CompileResult CompileFile(const std::string& path, uint32_t flags) {
    SourceOpenResult opened = SourceReader::OpenFile(path);
    if (!opened.reader) {
        CompileResult failed;
        failed.diagnostics = opened.errorText;
        failed.messages.push_back({true, -1, opened.errorText.substr(0, opened.errorText.size() - 1)});
        return failed;
    }
    return CompileSource(*opened.reader, flags, {}, {});
}

}  // namespace velmo::script::compiler
