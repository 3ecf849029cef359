#pragma once
// The script engine: one interpreter with its classes, the compiler reached through a hook (the
// runtime runs modules but may not include the compiler), and the entries the host runs scripts
// with. Every Run... entry is protected: it returns 1 when the code ran to its end, 0 when a
// runtime error or an uncaught throw ended it (the message in ErrorText()), -1 when source could
// not be compiled (the diagnostics in ErrorText()).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/runtime/error_report.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/module.h"
#include "script/runtime/trace_output.h"
#include "script/runtime/value.h"

namespace velmo::script {

// The engine's option word (EngineOptions::flags), bit by bit. One bit is the interpreter's; the
// others are handed to the compiler as the compile-flag bit named beside each (CompileFlagsFor).
// Bit 1 once set an interpreter flag that nothing reads, and the remaining bits mean nothing.
inline constexpr uint32_t kOptionWarnUndefined = 1u << 9;   // warn on reading an undefined variable
inline constexpr uint32_t kOptionRewindListing = 0x10;      // bit 1: rewind before a listing (one line: none)
inline constexpr uint32_t kOptionLineInformation = 0x20;    // bit 2: write line information
inline constexpr uint32_t kOptionCompileBit3 = 0x40;        // bit 3: passed on, read by no pass
inline constexpr uint32_t kOptionGeneratorState16 = 0x80;   // bits 16-19: kept in the compilation
inline constexpr uint32_t kOptionGeneratorState17 = 0x100;  //   state for the code generator,
inline constexpr uint32_t kOptionGeneratorState18 = 0x400;  //   which reads none of them today
inline constexpr uint32_t kOptionGeneratorState19 = 0x800;
inline constexpr uint32_t kOptionWarnSemicolons = 0x1000;            // bit 20: warn about missing semicolons
inline constexpr uint32_t kOptionWarnLineTerminators = 0x2000;       // bit 21: line ends inside strings
inline constexpr uint32_t kOptionCompileState22 = 0x4000;            // bit 22: kept in the compilation state
inline constexpr uint32_t kOptionPeepholeStackPairs = 0x8000;        // bit 5: peephole pass
inline constexpr uint32_t kOptionPeepholeJumpChains = 0x10000;       // bit 6: peephole pass
inline constexpr uint32_t kOptionPeepholeUnreachable = 0x20000;      // bit 7: peephole pass
inline constexpr uint32_t kOptionPeepholeDeadLocalStores = 0x40000;  // bit 8: peephole pass

// Warnings about undefined variables and three of the four peephole passes (the driver adds every
// pass to what it compiles in any case).
inline constexpr uint32_t kDefaultEngineOptions =
    kOptionWarnUndefined | kOptionPeepholeStackPairs | kOptionPeepholeJumpChains | kOptionPeepholeDeadLocalStores;
static_assert(kDefaultEngineOptions == 0x58200);

struct EngineOptions {
    size_t stackCells = kDefaultStackCells;
    uint32_t secondSize = 2;  // carried for the host; nothing in the engine reads it
    void* host = nullptr;     // not owned
    uint32_t flags = kDefaultEngineOptions;
    InterpreterHook hook = nullptr;
    void* hookData = nullptr;
    // A stop request raised from outside the script (another thread, a signal handler): not owned;
    // a non-zero r stored there breaks the run off with "hook break r" at its next backward jump
    // or safe point.
    const std::atomic<int>* interrupt = nullptr;
    uintptr_t hostWords[2] = {};
    uint32_t compileOption = 0;  // non-zero sets compile-flag bit 0
    int64_t last = -1;
};

// The compile-flag word of an options word (the mapping of the engine's script options).
uint32_t CompileFlagsFor(const EngineOptions& options);

// What the compiler gave: module bytes, or nothing; the diagnostics (warnings and the error line)
// either way.
struct CompileOutcome {
    bool ok = false;
    std::vector<uint8_t> module;
    std::string diagnostics;
    std::vector<CompileMessage> messages;  // the diagnostics as records
};
// The source name of text compiled without one (eval's, the host's).
inline constexpr std::string_view kTextSourceName = "string";
struct CompileHook {
    std::function<CompileOutcome(std::string_view text, std::string_view name, uint32_t flags)> text;
    std::function<CompileOutcome(const std::string& path, uint32_t flags)> file;
};

class Engine {
public:
    Engine(const EngineOptions& options, CompileHook compiler);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    Interpreter& Interp() { return *interp_; }
    // Where warnings and trace lines go; nothing is written while it is closed.
    TraceOutput& Trace();
    uint32_t CompileFlags() const { return compileFlags_; }

    // The compiler with the engine's flags; the diagnostics are also kept as LastDiagnostics().
    // `name` is the source name line information records.
    CompileOutcome CompileText(std::string_view text, std::string_view name = kTextSourceName);
    CompileOutcome CompileSourceFile(const std::string& path);
    // Runs what a compile gave: -1 with the diagnostics as the error text when it failed.
    int RunCompiled(const CompileOutcome& outcome);

    int RunSourceText(std::string_view text);
    int RunSourceFile(const std::string& path);
    int RunCompiledFile(const std::string& path);
    int RunCompiledBuffer(const uint8_t* data, size_t sizeBytes);
    // ".qvc" compiled, ".qvs" source (either case); otherwise by content: after an optional first
    // line starting with "#", the module magic means compiled, anything else source.
    int RunFile(const std::string& path);
    // Whether RunFile takes `path` as a compiled module.
    static bool IsCompiledFile(const std::string& path);
    // Whether `bytes` are a module: after an optional first line starting with "#", the magic.
    static bool LooksCompiled(const std::vector<uint8_t>& bytes);
    // Loads a read module and runs its ".main" (LoadAndRun).
    int RunModule(const Module& module);

    // The last error of a protected entry, or the diagnostics of the last compile that failed.
    const std::string& ErrorText() const;
    // The same error in parts: its kind, message and the positions of the running functions
    // (error_report.h). After a failed compile, kind Other; LastMessages() has its lines.
    const ErrorReport& LastError() const;
    // The diagnostics of the last compile as records.
    const std::vector<CompileMessage>& LastMessages() const { return messages_; }
    // The diagnostics of the last compile, warnings included, even when it succeeded.
    const std::string& LastDiagnostics() const { return diagnostics_; }
    Value Result();
    // ToString of the result cell as 8-bit text, converted under protection; false (with the
    // error text) when the conversion failed.
    [[nodiscard]] bool ResultText(std::string& text);

    // Publishes "eval" and "evals" (CreateEngine does, after the other classes).
    void RegisterEval();

private:
    // Held apart so that embedders see only the opaque type; no path of the loop goes through it.
    const std::unique_ptr<Interpreter> interp_;
    CompileHook compiler_;
    uint32_t compileFlags_;
    std::string diagnostics_;
    std::vector<CompileMessage> messages_;
};

// Builds an engine: the interpreter, the classes `registerClasses` adds (library and host), then
// the globals "eval" and "evals". Any failure destroys what was built and gives null.
std::unique_ptr<Engine> CreateEngine(const EngineOptions& options, CompileHook compiler,
                                     const std::function<void(Interpreter&)>& registerClasses);

}  // namespace velmo::script
