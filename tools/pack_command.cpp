// velmo pack: builds an application from a project folder (see docs/builder.md) and says what it
// wrote, so that a build log shows which records an application carries.
#include <cstdio>
#include <new>
#include <stdexcept>

#include "platform/console.h"
#include "tools/builder/project_builder.h"
#include "tools/commands.h"

namespace velmo::tools {

namespace {

constexpr const char* kUsage = "usage: velmo pack PROJECT -o APP.exe [--runtime RUNTIME.exe]";

void PrintSummary(const std::string& output, const builder::BuildResult& result, bool withRuntime) {
    std::printf("wrote %s (%llu bytes, %s)\n", output.c_str(), static_cast<unsigned long long>(result.applicationBytes),
                withRuntime ? "runtime with resources" : "resource-only image");
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
    PrintSummary(options.outputPath, result, !options.runtimeImage.empty());
    return 0;
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
    return Pack(options);
}

}  // namespace velmo::tools
