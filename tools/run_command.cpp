// velmo run: one script in a fresh engine. Exit status 0 when it ran to its end, 1 when a runtime
// error or an uncaught throw ended it (the error text on standard error), 2 when it did not
// compile (the diagnostics on standard error), 64 for a usage error. Warnings of a successful
// compile go to standard error before the script runs.
#include <cstdio>
#include <string>

#include "host/make_engine.h"
#include "platform/console.h"
#include "tools/commands.h"

namespace velmo::tools {

namespace {

constexpr const char* kUsage = "usage: velmo run [--trace PATH|-] [--result] (FILE | -e TEXT)";

struct RunOptions {
    std::string trace;
    bool printResult = false;
    bool isText = false;
    std::string script;  // a path, or the text after -e
};

bool ParseRunOptions(const Args& args, RunOptions& options) {
    bool haveScript = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--trace" && i + 1 < args.size()) options.trace = args[++i];
        else if (a == "--result") options.printResult = true;
        else if (a == "-e" && i + 1 < args.size() && !haveScript) {
            options.isText = true;
            options.script = args[++i];
            haveScript = true;
        } else if (!haveScript && !a.empty() && (a == "-" || a[0] != '-')) {
            options.script = a;
            haveScript = true;
        } else {
            return false;
        }
    }
    return haveScript;
}

void WriteError(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    if (!text.empty() && text.back() != '\n') std::fputc('\n', stderr);
}

int Run(script::Engine& engine, const RunOptions& options) {
    if (!options.isText && script::Engine::IsCompiledFile(options.script))
        return engine.RunCompiledFile(options.script);
    const script::CompileOutcome compiled =
        options.isText ? engine.CompileText(options.script) : engine.CompileSourceFile(options.script);
    if (compiled.ok && !compiled.diagnostics.empty()) WriteError(compiled.diagnostics);
    return engine.RunCompiled(compiled);
}

}  // namespace

int RunCommand(const Args& args) {
    RunOptions options;
    if (!ParseRunOptions(args, options)) return Fail(kExitUsage, kUsage);
    std::unique_ptr<script::Engine> engine = host::MakeEngine();
    if (!engine) return Fail(1, "can't create the script engine");
    if (options.trace == "-") {
        platform::SetBinaryMode(stdout);
        engine->Interp().Trace().OpenStream(stdout);
    } else if (!options.trace.empty() && !engine->Interp().Trace().OpenFile(options.trace)) {
        return Fail(kExitUsage, "can't open the trace file " + options.trace);
    }
    const int outcome = Run(*engine, options);
    if (outcome < 0) {
        WriteError(engine->ErrorText());
        return 2;
    }
    if (outcome == 0) {
        WriteError(engine->ErrorText());
        return 1;
    }
    std::string text;
    if (options.printResult) {
        if (!engine->ResultText(text)) {
            WriteError(engine->ErrorText());
            return 1;
        }
        platform::SetBinaryMode(stdout);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputs("\n", stdout);
    }
    return 0;
}

}  // namespace velmo::tools
