#include "tools/script_session.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/make_engine.h"
#include "platform/console.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/strings.h"
#include "tools/diagnostic_output.h"

namespace velmo::tools {

namespace {

int Report(script::Engine& engine, int outcome, const std::string& name) {
    if (outcome == 0) PrintRunError(name, engine.LastError());
    return outcome;
}

std::string Quoted(std::u16string_view text16) {
    std::string out = "\"";
    for (const char c : platform::Utf16ToAnsi(text16)) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::optional<size_t> ParseStackCells(const std::string& text) {
    char* end = nullptr;
    const unsigned long long cells = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end || text[0] == '-' || text[0] == '+' || cells < 64 || cells > (1ull << 28))
        return std::nullopt;
    return static_cast<size_t>(cells);
}

std::unique_ptr<script::Engine> MakeToolEngine(size_t stackCells) {
    script::EngineOptions options;
    options.stackCells = stackCells;
    options.flags |= script::kOptionLineInformation;
    return host::MakeEngine(options);
}

bool OpenTrace(script::Engine& engine, const std::string& target, bool quiet, std::string& error) {
    script::TraceOutput& trace = engine.Trace();
    if (quiet) {
        trace.Close();
        return true;
    }
    if (target.empty() || target == "-") {
        platform::SetBinaryMode(stdout);
        trace.OpenStream(stdout, platform::NativeLineEnd());
        return true;
    }
    if (trace.OpenFile(target)) return true;
    error = platform::SystemErrorText(platform::LastErrorCode());
    return false;
}

void SetArguments(script::Engine& engine, const std::vector<std::string>& arguments) {
    script::Interpreter& interp = engine.Interp();
    // Nothing here collects (allocation never does), so the array needs no pin until stored.
    script::ArrayRecord* array = script::NewArray(interp, arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i)
        script::PutElement(interp, array, script::StringValue(interp, platform::AnsiToUtf16(arguments[i])), i);
    script::GlobalByName(interp, kArgumentsGlobal) = script::Value::Array(array);
}

int CompileAndRun(script::Engine& engine, std::string_view text, const std::string& name) {
    const script::CompileOutcome compiled = engine.CompileText(text, name);
    PrintCompileMessages(name, compiled.messages);
    if (!compiled.ok) return -1;
    std::fflush(stdout);
    return Report(engine, engine.RunCompiled(compiled), name);
}

int RunModuleBytes(script::Engine& engine, const std::vector<uint8_t>& bytes, const std::string& name) {
    return Report(engine, engine.RunCompiledBuffer(bytes.data(), bytes.size()), name);
}

std::string ShowResult(script::Engine& engine) {
    const script::Value result = engine.Result();
    if (result.Is(script::Tag::String)) return Quoted(script::Text(result.AsString()));
    std::string text;
    if (!engine.ResultText(text)) return "(the value cannot be shown: " + engine.ErrorText() + ")";
    return text;
}

}  // namespace velmo::tools
