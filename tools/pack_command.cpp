// velmo pack: builds an application from a project folder (see docs/builder.md) and says what it
// wrote, so that a build log shows which records an application carries.
#include <cstdio>
#include <stdexcept>

#include "platform/files.h"
#include "tools/builder/project_builder.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace velmo::tools {

const CommandSpec kPackSpec = {
    "pack",
    "PROJECT -o APP.exe",
    "build an application from a project folder (docs/builder.md)",
    {
        {"-o", "APP.exe", "the application to write"},
        {"--runtime", "EXE", "the runtime image to build on (without one, a resource-only image)"},
    },
};

namespace {

void PrintSummary(const std::string& output, const builder::BuildResult& result, bool withRuntime) {
    std::printf("wrote %s (%zu bytes, %s)\n", output.c_str(), result.application.size(),
                withRuntime ? "runtime with resources" : "resource-only image");
    for (const builder::ImageResource& r : result.resources)
        std::printf("  resource %-7s %-16s %zu bytes\n", r.type.c_str(), r.name.c_str(), r.data.size());
    std::printf("  package  %zu files, %zu bytes\n", result.packagedFiles, result.packageBytes);
}

}  // namespace

int PackCommand(const Args& args) {
    ParseOutcome parsed = ParseCommandLine(kPackSpec, args);
    if (!parsed.line) return parsed.status;
    const std::string output = parsed.line->Value("-o");
    if (parsed.line->operands.size() != 1 || output.empty())
        return UsageError(kPackSpec, "one PROJECT and -o APP.exe needed");
    builder::BuildOptions options;
    options.projectFolder = parsed.line->operands[0];
    options.runtimeImage = parsed.line->Value("--runtime");
    options.outputPath = output;
    builder::BuildResult result;
    try {
        result = builder::BuildProject(options);
    } catch (const std::runtime_error& error) {
        return Fail(1, error.what());
    }
    if (!platform::WriteWholeFile(output, result.application)) return Fail(1, "cannot write " + output);
    PrintSummary(output, result, !options.runtimeImage.empty());
    return 0;
}

}  // namespace velmo::tools
