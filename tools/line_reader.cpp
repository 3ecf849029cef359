#include "tools/line_reader.h"

#include <cstdio>
#include <cstdlib>

#include "platform/console.h"

#if defined(VELMO_HAVE_LIBEDIT)
#include <editline/readline.h>
#endif

namespace velmo::tools {

LineReader::LineReader() : interactive_(platform::IsTerminal(stdin)) {}

std::optional<std::string> LineReader::Read(const char* prompt) {
#if defined(VELMO_HAVE_LIBEDIT)
    if (interactive_) {
        char* line = readline(prompt);
        if (!line) return std::nullopt;
        std::string text(line);
        std::free(line);
        return text;
    }
#endif
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

void LineReader::Remember([[maybe_unused]] const std::string& entry) {
#if defined(VELMO_HAVE_LIBEDIT)
    if (interactive_ && !entry.empty()) add_history(entry.c_str());
#endif
}

}  // namespace velmo::tools
