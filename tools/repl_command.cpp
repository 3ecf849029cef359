// velmo repl (and velmo alone on a terminal): the interactive prompt. One engine for the whole
// session, so globals persist from entry to entry; each entry is compiled and run, and its value
// printed (strings quoted, nothing for undefined). Errors and warnings print as `velmo run` prints
// them, with lines counted through the whole session, and the prompt goes on. Input that is not a
// terminal works the same, without prompts or line editing. Exit status 0 at the end of input or
// .exit; 64 for a usage error.
#include <cstdio>

#include "platform/console.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/line_reader.h"
#include "tools/repl_input.h"
#include "tools/script_session.h"

namespace velmo::tools {

const CommandSpec kReplSpec = {
    "repl",
    "",
    "an interactive prompt: each entry runs in one engine and its value is printed; .help inside",
    {
        {"--quiet", nullptr, "write no trace lines or warnings"},
        {"--stack", "CELLS", "the value stack's size in cells (default 524288)"},
    },
};

namespace {

constexpr const char* kPromptHelp =
    "Type a statement or an expression; its value is printed. An entry goes on over several lines\n"
    "while brackets, strings or comments are open, or when a line ends in a backslash.\n"
    "  .help   show this text\n"
    "  .exit   leave (as does Ctrl-D, or the end of the input)\n";

class Prompt {
public:
    explicit Prompt(script::Engine& engine) : engine_(engine) {}

    // Reads entries to the end of the input or .exit.
    void Run() {
        if (reader_.IsInteractive()) std::printf("velmo prompt; .help for help, .exit or Ctrl-D to leave\n");
        std::string entry;
        int entryLine = 0;  // the session line the pending entry starts on, counted from 0
        for (std::optional<std::string> line; (line = reader_.Read(entry.empty() ? "> " : "... "));) {
            ++linesRead_;
            if (entry.empty()) {
                entryLine = linesRead_ - 1;
                if (*line == ".exit") break;
                if (Command(*line)) continue;
            }
            const bool continued = !line->empty() && line->back() == '\\';
            if (continued) line->pop_back();
            entry += *line;
            if (continued || ScanEntry(entry) == EntryState::NeedsMore) {
                entry += '\n';
                continue;
            }
            Evaluate(entry, entryLine);
            entry.clear();
        }
        if (!entry.empty()) Evaluate(entry, entryLine);  // the input ended inside an entry
        if (reader_.IsInteractive()) std::printf("\n");
    }

private:
    // A prompt command or an empty line; false for anything to run.
    bool Command(const std::string& line) {
        if (line.find_first_not_of(" \t") == std::string::npos) return true;
        if (line != ".help") return false;
        std::fputs(kPromptHelp, stdout);
        return true;
    }

    void Evaluate(const std::string& entry, int entryLine) {
        reader_.Remember(entry);
        // Blank lines in front make the compiler's lines the session's.
        const std::string text = std::string(static_cast<size_t>(entryLine), '\n') + entry;
        if (CompileAndRun(engine_, text, "<stdin>") == 1 && !engine_.Result().Is(script::Tag::Undefined)) {
            const std::string shown = ShowResult(engine_) + std::string(platform::NativeLineEnd());
            std::fwrite(shown.data(), 1, shown.size(), stdout);
        }
        std::fflush(stdout);
    }

    script::Engine& engine_;
    LineReader reader_;
    int linesRead_ = 0;
};

}  // namespace

int ReplCommand(const Args& args) {
    ParseOutcome parsed = ParseCommandLine(kReplSpec, args);
    if (!parsed.line) return parsed.status;
    if (!parsed.line->operands.empty()) return UsageError(kReplSpec, "no operands expected");
    size_t stackCells = kToolStackCells;
    if (parsed.line->Has("--stack")) {
        const std::optional<size_t> cells = ParseStackCells(parsed.line->Value("--stack"));
        if (!cells) return UsageError(kReplSpec, kStackCellsError);
        stackCells = *cells;
    }
    std::unique_ptr<script::Engine> engine = MakeToolEngine(stackCells);
    if (!engine) return Fail(1, "cannot create the script engine");
    std::string error;
    (void)OpenTrace(*engine, "", parsed.line->Has("--quiet"), error);  // standard output always opens
    SetArguments(*engine, {"<stdin>"});
    Prompt(*engine).Run();
    return 0;
}

}  // namespace velmo::tools
