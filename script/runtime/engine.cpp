#include "script/runtime/engine.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "platform/files.h"
#include "platform/path.h"
#include "platform/text.h"
#include "script/runtime/convert.h"
#include "script/runtime/errors.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/internal/loader.h"
#include "script/runtime/module_reader.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script {

namespace {

// (engine option bit, compile-flag bit) pairs.
constexpr std::pair<uint32_t, int> kCompileFlagBits[] = {
    {kOptionRewindListing, 1},       {kOptionLineInformation, 2},         {kOptionCompileBit3, 3},
    {kOptionGeneratorState16, 16},   {kOptionGeneratorState17, 17},       {kOptionGeneratorState18, 18},
    {kOptionGeneratorState19, 19},   {kOptionWarnSemicolons, 20},         {kOptionWarnLineTerminators, 21},
    {kOptionCompileState22, 22},     {kOptionPeepholeStackPairs, 5},      {kOptionPeepholeJumpChains, 6},
    {kOptionPeepholeUnreachable, 7}, {kOptionPeepholeDeadLocalStores, 8},
};

std::string LowerExtension(const std::string& path) {
    std::string extension(platform::ExtensionPart(path));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// eval(text) and evals(path); the class data is the engine.
void EvalCall(Interpreter& interp, ClassRecord& cls, void*, Value* result, Value* args) {
    *result = Value::Undefined();
    if (args[0].AsInteger() < 1) return;
    const Value argument = args[1];
    if (!argument.Is(Tag::String)) {
        *result = argument;
        return;
    }
    static_cast<Engine*>(cls.classData)->RunSourceText(platform::Utf16ToAnsi(Text(argument.AsString())));
    *result = interp.Result();
}

void EvalsCall(Interpreter& interp, ClassRecord& cls, void*, Value* result, Value* args) {
    *result = Value::Undefined();
    if (args[0].AsInteger() < 1 || !args[1].Is(Tag::String)) return;
    static_cast<Engine*>(cls.classData)->RunSourceFile(platform::Utf16ToAnsi(Text(args[1].AsString())));
    *result = interp.Result();
}

}  // namespace

uint32_t CompileFlagsFor(const EngineOptions& options) {
    uint32_t flags = options.compileOption ? 1u : 0u;
    for (const auto& [option, bit] : kCompileFlagBits)
        if (options.flags & option) flags |= 1u << bit;
    return flags;
}

Engine::Engine(const EngineOptions& options, CompileHook compiler)
    : interp_(std::make_unique<Interpreter>(options.stackCells)), compiler_(std::move(compiler)),
      compileFlags_(CompileFlagsFor(options)) {
    interp_->SetWarnUndefinedVariables(options.flags & kOptionWarnUndefined);
    interp_->SetHook(options.hook, options.hookData);
    interp_->SetInterruptFlag(options.interrupt);
    interp_->SetHostPointer(options.host);
    interp_->SetEngine(this);
}

Engine::~Engine() = default;

TraceOutput& Engine::Trace() { return interp_->Trace(); }

const std::string& Engine::ErrorText() const { return interp_->ErrorText(); }

const ErrorReport& Engine::LastError() const { return interp_->LastError(); }

Value Engine::Result() { return interp_->Result(); }

void Engine::RegisterEval() {
    for (const auto& [name, call] : {std::pair{"eval", &EvalCall}, std::pair{"evals", &EvalsCall}}) {
        ClassRecord* cls = NewClass(*interp_, name);
        cls->Call = call;
        cls->classData = this;
        PublishClass(*interp_, name, cls);
    }
}

namespace {
CompileOutcome NoCompiler() {
    CompileOutcome outcome;
    outcome.diagnostics = "error: no compiler\n";
    outcome.messages.push_back({true, -1, "no compiler"});
    return outcome;
}
}  // namespace

CompileOutcome Engine::CompileText(std::string_view text, std::string_view name) {
    CompileOutcome outcome = compiler_.text ? compiler_.text(text, name, compileFlags_) : NoCompiler();
    diagnostics_ = outcome.diagnostics;
    messages_ = outcome.messages;
    return outcome;
}

CompileOutcome Engine::CompileSourceFile(const std::string& path) {
    CompileOutcome outcome = compiler_.file ? compiler_.file(path, compileFlags_) : NoCompiler();
    diagnostics_ = outcome.diagnostics;
    messages_ = outcome.messages;
    return outcome;
}

int Engine::RunCompiled(const CompileOutcome& outcome) {
    if (!outcome.ok) {
        interp_->SetErrorTextWhole(outcome.diagnostics);
        return -1;
    }
    const std::optional<Module> module = ReadModuleMemory(outcome.module);
    if (!module) {
        interp_->SetErrorText("not a compiled module");
        return 0;
    }
    return RunModule(*module);
}

int Engine::RunSourceText(std::string_view text) { return RunCompiled(CompileText(text)); }

int Engine::RunSourceFile(const std::string& path) { return RunCompiled(CompileSourceFile(path)); }

int Engine::RunCompiledFile(const std::string& path) {
    const std::optional<Module> module = ReadModuleFile(path);
    if (!module) {
        interp_->SetErrorText("can't read the compiled script: " + path);
        return 0;
    }
    return RunModule(*module);
}

int Engine::RunCompiledBuffer(const uint8_t* data, size_t sizeBytes) {
    const std::optional<Module> module = ReadModuleMemory(data, sizeBytes);
    if (!module) {
        interp_->SetErrorText("not a compiled module");
        return 0;
    }
    return RunModule(*module);
}

bool Engine::IsCompiledFile(const std::string& path) {
    const std::string extension = LowerExtension(path);
    if (extension == ".qvc") return true;
    if (extension == ".qvs") return false;
    std::vector<uint8_t> bytes;
    return platform::ReadWholeFile(path, bytes) && LooksCompiled(bytes);
}

bool Engine::LooksCompiled(const std::vector<uint8_t>& bytes) {
    size_t at = 0;
    if (!bytes.empty() && bytes[0] == '#') {
        const auto newline = std::find(bytes.begin(), bytes.end(), '\n');
        if (newline == bytes.end()) return false;
        at = static_cast<size_t>(newline - bytes.begin()) + 1;
    }
    return bytes.size() - at >= kModuleMagic.size() &&
           std::equal(kModuleMagic.begin(), kModuleMagic.end(), bytes.begin() + static_cast<ptrdiff_t>(at));
}

int Engine::RunFile(const std::string& path) {
    return IsCompiledFile(path) ? RunCompiledFile(path) : RunSourceFile(path);
}

bool Engine::ResultText(std::string& text) {
    try {
        // The conversion may run script code, which collects and reuses the result cell.
        const Pinned result(*interp_, interp_->Result());
        Interpreter::ProtectedScope scope(*interp_);
        text = platform::Utf16ToAnsi(ToText(*interp_, result.Get()));
        return true;
    } catch (const ScriptUnwind&) {
    } catch (const std::bad_alloc&) {
        interp_->SetErrorText(MessageText(Msg::OutOfMemory));
    }
    return false;
}

int Engine::RunModule(const Module& module) {
    interp_->SetErrorText("");
    interp_->Result() = Value::Undefined();
    try {
        Interpreter::ProtectedScope scope(*interp_);
        const std::optional<LoadedModule> loaded = LoadModule(*interp_, module);
        if (!loaded) return 0;
        interp_->Run(Value::Null(), loaded->Main(), 0, nullptr);
        return 1;
    } catch (const ScriptUnwind&) {
    } catch (const std::bad_alloc&) {
        interp_->SetErrorText(MessageText(Msg::OutOfMemory));
    }
    interp_->Result() = Value::Undefined();
    return 0;
}

std::unique_ptr<Engine> CreateEngine(const EngineOptions& options, CompileHook compiler,
                                     const std::function<void(Interpreter&)>& registerClasses) {
    try {
        auto engine = std::make_unique<Engine>(options, std::move(compiler));
        if (registerClasses) registerClasses(engine->Interp());
        engine->RegisterEval();
        return engine;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace velmo::script
