#include "tools/line_reader.h"

#include <cstdio>
#include <cstdlib>

#include "platform/console.h"

namespace velmo::tools {

namespace {

// libedit is opened by its run-time name only when a prompt starts on a terminal: scripts never
// pay for it and its terminal libraries, and a system without it (Windows among them) reads
// plain lines.
constexpr const char* kLineEditorNames[] = {"libedit.so.2", "libedit.so"};

}  // namespace

LineReader::LineReader() : interactive_(platform::IsTerminal(stdin)) {
    if (!interactive_) return;
    for (const char* name : kLineEditorNames) {
        std::string errorText;
        platform::NativeLibrary library(platform::OpenNativeLibrary(name, errorText));
        auto* readLine = reinterpret_cast<ReadLineFunction>(library.Find("readline"));
        auto* addHistory = reinterpret_cast<AddHistoryFunction>(library.Find("add_history"));
        if (!readLine || !addHistory) continue;
        lineEditor_ = std::move(library);
        readLine_ = readLine;
        addHistory_ = addHistory;
        break;
    }
}

std::optional<std::string> LineReader::Read(const char* prompt) {
    if (readLine_) {
        char* line = readLine_(prompt);
        if (!line) return std::nullopt;
        std::string text(line);
        std::free(line);
        return text;
    }
    if (interactive_) {
        std::fputs(prompt, stdout);
        std::fflush(stdout);
    }
    std::string text;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        if (c == '\n') {
            if (!text.empty() && text.back() == '\r') text.pop_back();
            return text;
        }
        text.push_back(static_cast<char>(c));
    }
    // A last line without its line end still counts.
    if (text.empty()) return std::nullopt;
    return text;
}

void LineReader::Remember(const std::string& entry) {
    if (addHistory_ && !entry.empty()) addHistory_(entry.c_str());
}

}  // namespace velmo::tools
