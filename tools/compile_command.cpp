// velmo compile: one source file to a module file. Diagnostics go to standard error: the warnings of
// a successful compile, or the warnings and the error line of a failed one (exit status 2).
#include <cstdio>

#include "platform/files.h"
#include "script/compiler/compiler.h"
#include "script/compiler/peephole.h"
#include "tools/commands.h"

namespace velmo::tools {

namespace {
constexpr const char* kUsage = "usage: velmo compile [--debug] [--listing FILE] SOURCE -o OUT.qvc";
}  // namespace

int CompileCommand(const Args& args) {
    using namespace script::compiler;
    uint32_t flags = kPeepholeAll;
    std::string source, output, listing;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--debug") flags |= kCompileFlagLineInformation;
        else if (a == "--listing" && i + 1 < args.size()) listing = args[++i];
        else if (a == "-o" && i + 1 < args.size()) output = args[++i];
        else if (source.empty() && !a.starts_with("-")) source = a;
        else return Fail(kExitUsage, kUsage);
    }
    if (source.empty() || output.empty()) return Fail(kExitUsage, kUsage);
    // A failed compile writes nothing, but a successful one would replace the source by its module.
    if (platform::SamePath(source, output) || (!listing.empty() && platform::SamePath(source, listing)))
        return Fail(kExitUsage, "refusing to write over the source " + source);
    SourceOpenResult opened = SourceReader::OpenFile(source);
    if (!opened.reader) {
        std::fputs(opened.errorText.c_str(), stderr);
        return 2;
    }
    const CompileResult result = CompileSource(*opened.reader, flags, listing, output);
    std::fwrite(result.diagnostics.data(), 1, result.diagnostics.size(), stderr);
    return result.ok ? 0 : 2;
}

}  // namespace velmo::tools
