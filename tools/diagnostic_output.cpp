#include "tools/diagnostic_output.h"

#include <cstdio>

namespace velmo::tools {

namespace {

std::string Located(std::string_view file, std::optional<int64_t> line) {
    std::string text(file);
    if (line) text += ":" + std::to_string(*line + 1);
    return text;
}

std::string FunctionName(const std::string& name) {
    if (name == ".main") return "<main>";
    if (name.starts_with("@F_")) return "<anonymous>";  // the compiler's name for a function expression
    return name;
}

std::string CallLine(std::string_view file, const script::CallPosition& call) {
    std::string text = "  at " + FunctionName(call.function);
    if (call.line) text += " (" + Located(call.file.empty() ? file : call.file, *call.line) + ")";
    return text + "\n";
}

}  // namespace

void PrintCompileMessages(std::string_view file, const std::vector<script::CompileMessage>& messages) {
    for (const script::CompileMessage& m : messages) {
        const std::optional<int64_t> line = m.line >= 0 ? std::optional<int64_t>(m.line) : std::nullopt;
        std::fprintf(stderr, "%s: %s: %s\n", Located(file, line).c_str(), m.isError ? "error" : "warning",
                     m.text.c_str());
    }
}

std::string CallChainText(std::string_view file, const script::ErrorReport& report) {
    bool anyLine = false;
    for (const script::CallPosition& call : report.calls) anyLine = anyLine || call.line.has_value();
    // One function alone is already named by the first line; without line information the chain
    // would be names without places.
    if (!anyLine || report.calls.size() + report.omittedCalls < 2) return {};
    // A runaway recursion would fill the screen: runs of one call are folded, and the lines stop
    // after kMaxChainLines.
    constexpr size_t kMaxChainLines = 16;
    std::string text;
    size_t lines = 0, i = 0;
    while (i < report.calls.size() && lines < kMaxChainLines) {
        const std::string line = CallLine(file, report.calls[i]);
        size_t same = i + 1;
        while (same < report.calls.size() && CallLine(file, report.calls[same]) == line) ++same;
        text += line;
        ++lines;
        if (same - i > 1) {
            text += "  ... the same call " + std::to_string(same - i - 1) + " more times\n";
            ++lines;
        }
        i = same;
    }
    if (const size_t more = report.calls.size() - i + report.omittedCalls)
        text += "  ... " + std::to_string(more) + " more calls\n";
    return text;
}

void PrintRunError(std::string_view file, const script::ErrorReport& report) {
    std::string where(file);
    for (const script::CallPosition& call : report.calls) {
        if (!call.line) continue;
        where = Located(call.file.empty() ? file : call.file, *call.line);
        break;
    }
    const char* kind = report.kind == script::ErrorKind::RuntimeError    ? "runtime error"
                       : report.kind == script::ErrorKind::UncaughtThrow ? "uncaught exception"
                                                                         : "error";
    std::string message = report.message;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    std::fprintf(stderr, "%s: %s: %s\n%s", where.c_str(), kind, message.c_str(), CallChainText(file, report).c_str());
}

}  // namespace velmo::tools
