// velmo pack: builds an application from a project folder (see docs/builder.md) and says what it
// wrote, so that a build log shows which records an application carries.
#include <cstdio>
#include <stdexcept>

#include "platform/files.h"
#include "tools/builder/project_builder.h"
#include "tools/commands.h"

namespace velmo::tools {

namespace {

constexpr const char* kUsage = "usage: velmo pack PROJECT -o APP.exe [--runtime RUNTIME.exe]";

void PrintSummary(const std::string& output, const builder::BuildResult& result, bool withRuntime) {
    std::printf("wrote %s (%zu bytes, %s)\n", output.c_str(), result.application.size(),
                withRuntime ? "runtime with resources" : "resource-only image");
    for (const builder::ImageResource& r : result.resources)
        std::printf("  resource %-7s %-16s %zu bytes\n", r.type.c_str(), r.name.c_str(), r.data.size());
    std::printf("  package  %zu files, %zu bytes\n", result.packagedFiles, result.packageBytes);
}

}  // namespace

int PackCommand(const Args& args) {
    builder::BuildOptions options;
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "-o" && hasValue && output.empty()) output = args[++i];
        else if (args[i] == "--runtime" && hasValue && options.runtimeImage.empty()) options.runtimeImage = args[++i];
        else if (options.projectFolder.empty() && !args[i].empty() && args[i][0] != '-')
            options.projectFolder = args[i];
        else return Fail(kExitUsage, kUsage);
    }
    if (options.projectFolder.empty() || output.empty()) return Fail(kExitUsage, kUsage);
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
