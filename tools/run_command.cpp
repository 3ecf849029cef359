// velmo run: one script in a fresh engine, from a file, standard input or the command line. Exit
// status 0 when it ran to its end, 1 when a runtime error or an uncaught throw ended it (or a
// module could not be read), 2 when it did not compile (or its source could not be read), 64 for
// a usage error or a trace file that cannot be opened. Diagnostics go to standard error as
// FILE:LINE: lines (tools/diagnostic_output.h); trace lines and warnings to standard output.
#include <cstdio>
#include <string>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/timers.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/script_session.h"

namespace velmo::tools {

const CommandSpec kRunSpec = {
    "run",
    "[FILE | -] [ARGUMENTS...]",
    "run a script (.qvs source or .qvc module) headless; without FILE (or with -) read it from standard\n"
    "input; the ARGUMENTS reach the script in the global array argv (argv[0] the script's name)",
    {
        {"-e", "TEXT", "run TEXT instead of a file; every operand is then an argument"},
        {"--trace", "PATH", "write trace lines and warnings to PATH (- standard output, the default)"},
        {"--quiet", nullptr, "write no trace lines or warnings"},
        {"--result", nullptr, "print the script's completion value at the end"},
        {"--stack", "CELLS", "the value stack's size in cells (default 524288)"},
    },
    true,
};

namespace {

// The script to run: its text or module bytes and the name diagnostics give it.
struct Script {
    std::string name;
    std::vector<uint8_t> bytes;
    bool isCompiled = false;
};

std::string ReadStandardInput() {
    platform::SetBinaryMode(stdin);
    std::string text;
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, stdin)) > 0;) text.append(block, n);
    return text;
}

// The script named by the command line; the exit status when there is none to run.
std::optional<Script> FindScript(const ParsedCommandLine& line, std::vector<std::string>& arguments, int& status) {
    Script script;
    size_t first = 0;
    if (line.Has("-e")) {
        script.name = "<eval>";
        const std::string text = line.Value("-e");
        script.bytes.assign(text.begin(), text.end());
    } else if (line.operands.empty() || line.operands[0] == "-") {
        if (line.operands.empty() && platform::IsTerminal(stdin)) {
            status = UsageError(kRunSpec, "no script given (a FILE, - or -e TEXT)");
            return std::nullopt;
        }
        script.name = "<stdin>";
        const std::string text = ReadStandardInput();
        script.bytes.assign(text.begin(), text.end());
        script.isCompiled = script::Engine::LooksCompiled(script.bytes);
        first = line.operands.empty() ? 0 : 1;
    } else {
        script.name = line.operands[0];
        first = 1;
        script.isCompiled = script::Engine::IsCompiledFile(script.name);
        if (!platform::ReadWholeFile(script.name, script.bytes)) {
            status = Fail(script.isCompiled ? 1 : 2,
                          "cannot open " + script.name + ": " + platform::SystemErrorText(platform::LastErrorCode()));
            return std::nullopt;
        }
    }
    arguments.assign(1, script.name);
    arguments.insert(arguments.end(), line.operands.begin() + static_cast<ptrdiff_t>(first), line.operands.end());
    return script;
}

std::optional<size_t> StackCells(const ParsedCommandLine& line, int& status) {
    if (!line.Has("--stack")) return kToolStackCells;
    const std::optional<size_t> cells = ParseStackCells(line.Value("--stack"));
    if (!cells) status = UsageError(kRunSpec, kStackCellsError);
    return cells;
}

int PrintResult(script::Engine& engine) {
    std::string text;
    if (!engine.ResultText(text)) return Fail(1, "the result cannot be shown: " + engine.ErrorText());
    platform::SetBinaryMode(stdout);
    text += platform::NativeLineEnd();
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

}  // namespace

constexpr uint32_t kTimerWaitMs = 250;

int RunCommand(const Args& args) {
    ParseOutcome parsed = ParseCommandLine(kRunSpec, args);
    if (!parsed.line) return parsed.status;
    const ParsedCommandLine& line = *parsed.line;
    int status = 0;
    const std::optional<size_t> stackCells = StackCells(line, status);
    if (!stackCells) return status;
    std::vector<std::string> arguments;
    const std::optional<Script> script = FindScript(line, arguments, status);
    if (!script) return status;

    std::unique_ptr<script::Engine> engine = MakeToolEngine(*stackCells);
    if (!engine) return Fail(1, "cannot create the script engine");
    std::string error;
    if (!OpenTrace(*engine, line.Value("--trace"), line.Has("--quiet"), error))
        return Fail(kExitUsage, "cannot open the trace file " + line.Value("--trace") + ": " + error);
    SetArguments(*engine, arguments);
    const int outcome =
        script->isCompiled
            ? RunModuleBytes(*engine, script->bytes, script->name)
            : CompileAndRun(*engine,
                            std::string_view(reinterpret_cast<const char*>(script->bytes.data()), script->bytes.size()),
                            script->name);
    // Like the message loop of an application, the run goes on while the script's intervals run:
    // their ticks come from here until the last one is cleared.
    if (outcome == 1)
        while (platform::RunningTimers() > 0) platform::RunDueTimers(kTimerWaitMs);
    std::fflush(stdout);
    if (outcome < 0) return 2;
    if (outcome == 0) return 1;
    return line.Has("--result") ? PrintResult(*engine) : 0;
}

}  // namespace velmo::tools
