// velmo parse: the syntax tree of one script as the compiler sees it, for users debugging their scripts.
// The dump goes to standard output; warnings and the error to standard error as a compile's would.
#include <cstdio>

#include "platform/files.h"
#include "platform/last_error.h"
#include "script/compiler/parser.h"
#include "script/compiler/tree_dump.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/diagnostic_output.h"

namespace velmo::tools {

const CommandSpec kParseSpec = {
    "parse",
    "FILE",
    "print the syntax tree of a script",
    {
        {"--warn-semicolons", nullptr, "warn about missing semicolons"},
        {"--warn-line-breaks", nullptr, "warn about line breaks inside strings"},
    },
};

int ParseCommand(const Args& args) {
    using namespace script::compiler;
    ParseOutcome outcome = ParseCommandLine(kParseSpec, args);
    if (!outcome.line) return outcome.status;
    const ParsedCommandLine& line = *outcome.line;
    if (line.operands.size() != 1) return UsageError(kParseSpec, "one FILE needed");
    ParseOptions options;
    options.warnMissingSemicolons = line.Has("--warn-semicolons");
    options.lexer.warnLineTerminatorsInStrings = line.Has("--warn-line-breaks");
    const std::string& path = line.operands[0];
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes))
        return Fail(1, "cannot open " + path + ": " + platform::SystemErrorText(platform::LastErrorCode()));
    const std::unique_ptr<SourceReader> reader =
        SourceReader::FromString(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
    Diagnostics diagnostics;
    Lexer lexer(*reader, diagnostics, options.lexer);
    const ParseResult parsed = ParseProgram(*reader, lexer, diagnostics, options);
    PrintCompileMessages(path, diagnostics.Messages());
    if (!parsed.tree) return 2;  // a compile error, as `velmo run` reports it
    const std::string dump = DumpTree(*parsed.tree);
    std::fwrite(dump.data(), 1, dump.size(), stdout);
    return 0;
}

}  // namespace velmo::tools
