// velmo compile: one source file to a module file (- writes it to standard output). Diagnostics go
// to standard error as FILE:LINE: lines: the warnings of a successful compile, or the warnings and
// the error of a failed one (exit status 2); a file that cannot be read or written is status 2 too.
#include <cstdio>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "script/compiler/compiler.h"
#include "script/compiler/peephole.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/diagnostic_output.h"

namespace velmo::tools {

const CommandSpec kCompileSpec = {
    "compile",
    "SOURCE -o OUT.qvc",
    "compile a script into a module",
    {
        {"-o", "FILE", "the module to write (- standard output)"},
        {"--debug", nullptr, "record line information (lines of errors and calls)"},
        {"--listing", "FILE", "write a listing file"},
    },
};

namespace {

bool WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (path != "-") return platform::WriteWholeFile(path, bytes);
    platform::SetBinaryMode(stdout);
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

std::string Reason() { return platform::SystemErrorText(platform::LastErrorCode()); }

}  // namespace

int CompileCommand(const Args& args) {
    using namespace script::compiler;
    ParseOutcome parsed = ParseCommandLine(kCompileSpec, args);
    if (!parsed.line) return parsed.status;
    const ParsedCommandLine& line = *parsed.line;
    const std::string output = line.Value("-o"), listing = line.Value("--listing");
    if (line.operands.size() != 1 || output.empty())
        return UsageError(kCompileSpec, line.operands.size() > 1 ? "more than one SOURCE" : "SOURCE and -o OUT needed");
    const std::string& source = line.operands[0];
    // A failed compile writes nothing, but a successful one would replace the source by its module.
    if (platform::SamePath(source, output) || (!listing.empty() && platform::SamePath(source, listing)))
        return Fail(kExitUsage, "refusing to write over the source " + source);
    std::vector<uint8_t> text;
    if (!platform::ReadWholeFile(source, text)) return Fail(2, "cannot open " + source + ": " + Reason());
    const uint32_t flags = kPeepholeAll | (line.Has("--debug") ? kCompileFlagLineInformation : 0);
    const CompileResult result =
        CompileString(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), flags, source);
    PrintCompileMessages(source, result.messages);
    if (!result.ok) return 2;
    static constexpr std::string_view kListing = "; -*- asm -*-\r\n";
    if (!listing.empty() && !platform::WriteWholeFile(listing, std::vector<uint8_t>(kListing.begin(), kListing.end())))
        return Fail(2, "cannot write " + listing + ": " + Reason());
    if (!WriteOutput(output, result.module)) return Fail(2, "cannot write " + output + ": " + Reason());
    return 0;
}

}  // namespace velmo::tools
