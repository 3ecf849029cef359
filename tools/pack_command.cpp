// velmo pack: builds an application from a project folder (see docs/builder.md) and says what it
// wrote, so that a build log shows which records an application carries.
#include <cstdio>
#include <new>
#include <stdexcept>

#include "platform/console.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/path.h"
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
        {"--runtime", "EXE",
         "the runtime to build on; \"none\" for a resource-only image (default: VELMO_RUNTIME, else "
         "runtime/velmo-projector.exe beside this tool, else none)"},
    },
};

namespace {

// The runtime an application is built on when the command line names none: the one VELMO_RUNTIME
// names, else the shipping runtime tools/build-runtime.sh puts beside the tool, else none ("none"
// asks for none either way).
std::string ChosenRuntime(const std::string& given) {
    std::string runtime = given;
    if (runtime.empty()) runtime = platform::GetEnvironment("VELMO_RUNTIME").value_or("");
    if (runtime.empty()) {
        // Spelt with the tool's own separator, as the summary shows it.
        const std::string tool = platform::ModuleFileName();
        const size_t slash = tool.find_last_of("\\/");
        const char separator = slash == std::string::npos ? '/' : tool[slash];
        const std::string beside =
            std::string(platform::FolderPart(tool)) + separator + "runtime" + separator + "velmo-projector.exe";
        if (platform::FileExists(beside)) runtime = beside;
    }
    return runtime == "none" ? std::string() : runtime;
}

void PrintSummary(const std::string& output, const builder::BuildResult& result, const std::string& runtime) {
    std::printf("wrote %s (%llu bytes, %s)\n", output.c_str(), static_cast<unsigned long long>(result.applicationBytes),
                runtime.empty() ? "resource-only image" : ("runtime " + runtime + " with resources").c_str());
    for (const builder::ImageResource& r : result.resources)
        std::printf("  resource %-7s %-16s %zu bytes\n", r.type.c_str(), r.name.c_str(), r.data.size());
    std::printf("  package  %zu files, %llu bytes\n", result.packagedFiles,
                static_cast<unsigned long long>(result.packageBytes));
}

// On a terminal, one line of files and bytes done, rewritten in place and cleared at the end;
// nothing when standard error goes to a file or a pipe, so logs stay clean.
class ProgressLine {
public:
    ProgressLine() : shown_(platform::IsTerminal(stderr)) {}
    ~ProgressLine() {
        if (written_) std::fprintf(stderr, "\r%*s\r", 60, "");
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    builder::PackageProgress Callback() {
        if (!shown_) return nullptr;
        return [this](size_t files, uint64_t bytes) {
            std::fprintf(stderr, "\rpacking: %zu files, %.1f MiB", files,
                         static_cast<double>(bytes) / (1024.0 * 1024.0));
            std::fflush(stderr);
            written_ = true;
        };
    }

private:
    bool shown_;
    bool written_ = false;
};

// Builds and writes the application; a failure of any kind, running out of memory included, is
// a message and status 1, never an abort.
int Pack(const builder::BuildOptions& options) {
    builder::BuildResult result;
    try {
        ProgressLine progress;
        result = builder::PackProject(options, progress.Callback());
    } catch (const std::runtime_error& error) {
        return Fail(1, error.what());
    } catch (const std::bad_alloc&) {
        return Fail(1, "out of memory while packing " + options.projectFolder);
    }
    PrintSummary(options.outputPath, result, options.runtimeImage);
    return 0;
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
    options.runtimeImage = ChosenRuntime(parsed.line->Value("--runtime"));
    options.outputPath = output;
    return Pack(options);
}

}  // namespace velmo::tools
