// velmo parse: the syntax tree of one script as the compiler sees it, for users debugging their scripts.
// The dump goes to standard output; warnings and the error line to standard error, as a compile would.
#include <cstdio>

#include "script/compiler/parser.h"
#include "script/compiler/tree_dump.h"
#include "tools/commands.h"

namespace velmo::tools {

int ParseCommand(const Args& args) {
    using namespace script::compiler;
    ParseOptions options;
    std::string path;
    for (const std::string& a : args) {
        if (a == "--warn-semicolons") options.warnMissingSemicolons = true;
        else if (a == "--warn-line-breaks") options.lexer.warnLineTerminatorsInStrings = true;
        else if (path.empty() && !a.starts_with("--")) path = a;
        else return Fail(kExitUsage, "usage: velmo parse [--warn-semicolons] [--warn-line-breaks] FILE");
    }
    if (path.empty()) return Fail(kExitUsage, "usage: velmo parse [--warn-semicolons] [--warn-line-breaks] FILE");
    SourceOpenResult opened = SourceReader::OpenFile(path);
    if (!opened.reader) {
        std::fputs(opened.errorText.c_str(), stderr);
        return 1;
    }
    Diagnostics diagnostics;
    Lexer lexer(*opened.reader, diagnostics, options.lexer);
    const ParseResult parsed = ParseProgram(*opened.reader, lexer, diagnostics, options);
    std::fwrite(diagnostics.Text().data(), 1, diagnostics.Text().size(), stderr);
    if (!parsed.tree) return 2;  // a compile error, as `velmo run` reports it
    const std::string dump = DumpTree(*parsed.tree);
    std::fwrite(dump.data(), 1, dump.size(), stdout);
    return 0;
}

}  // namespace velmo::tools
