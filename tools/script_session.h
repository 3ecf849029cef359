#pragma once
// What `velmo run` and the interactive prompt share: the tool's engine (its own value stack and
// line information, unlike the projector's), the trace output on standard output, the script's
// arguments, and compiling and running a script with the diagnostics printed as compilers do.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/runtime/engine.h"

namespace velmo::tools {

// Enough for recursion tens of thousands of small frames deep (a frame takes its arguments,
// locals, temporaries and four header cells); the projector keeps the engine's own default.
inline constexpr size_t kToolStackCells = 1u << 19;
// The global array a script run by the tool gets its arguments in: argv[0] the script's name as
// given ("<stdin>", "<eval>"), then the arguments after it.
inline constexpr std::string_view kArgumentsGlobal = "argv";

// The --stack value: a number of cells from 64 (below that not even a module's own frame fits) to
// 2^28 (the frame store, a quarter of the cells, and the stack stay addressable); none otherwise.
std::optional<size_t> ParseStackCells(const std::string& text);
inline constexpr const char* kStackCellsError = "--stack needs a number of cells from 64 to 268435456";

// Null when the engine cannot be built.
std::unique_ptr<script::Engine> MakeToolEngine(size_t stackCells);

// Where trace lines and warnings go: "" or "-" standard output (lines end as this system's text
// does), anything else a file (CR LF lines); `quiet` nowhere. False, with the reason in `error`,
// when the file cannot be opened.
bool OpenTrace(script::Engine& engine, const std::string& target, bool quiet, std::string& error);

void SetArguments(script::Engine& engine, const std::vector<std::string>& arguments);

// Compiles `text` under the source name `name` and runs it, printing the compile's warnings, its
// error or the run's failure on standard error. Returns what Engine::RunCompiled does.
int CompileAndRun(script::Engine& engine, std::string_view text, const std::string& name);
// Runs module bytes read from `name`; a failure is printed.
int RunModuleBytes(script::Engine& engine, const std::vector<uint8_t>& bytes, const std::string& name);

// "abc" with quotes and escapes, as the prompt shows strings; other values as ToString gives them.
std::string ShowResult(script::Engine& engine);

}  // namespace velmo::tools
