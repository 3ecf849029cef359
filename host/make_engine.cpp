#include "host/make_engine.h"

#include "script/compiler/compiler.h"
#include "script/library/core_classes.h"

namespace velmo::host {

namespace {

script::CompileOutcome Outcome(script::compiler::CompileResult result) {
    return {result.ok, std::move(result.module), std::move(result.diagnostics)};
}

// Registration order: global functions, then the classes.
void RegisterClasses(script::Interpreter& interp) {
    script::library::RegisterGlobalFunctions(interp);
    script::library::RegisterFunctionClass(interp);
    script::library::RegisterObjectClass(interp);
}

}  // namespace

std::unique_ptr<script::Engine> MakeEngine(const script::EngineOptions& options) {
    script::CompileHook compiler;
    compiler.text = [](std::string_view text, uint32_t flags) {
        return Outcome(script::compiler::CompileString(text, flags));
    };
    compiler.file = [](const std::string& path, uint32_t flags) {
        return Outcome(script::compiler::CompileFile(path, flags));
    };
    return script::CreateEngine(options, std::move(compiler), &RegisterClasses);
}

}  // namespace velmo::host
