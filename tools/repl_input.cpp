#include "tools/repl_input.h"

namespace velmo::tools {

namespace {

// Skips a string literal starting at text[i] (the quote); false when the text ends inside it. A
// line break ends an unterminated string: the compiler reports it, and waiting for more would
// hide the error.
bool SkipString(std::string_view text, size_t& i) {
    const char quote = text[i++];
    for (; i < text.size(); ++i) {
        if (text[i] == '\\') ++i;
        else if (text[i] == quote || text[i] == '\n') return true;
    }
    return false;
}

}  // namespace

EntryState ScanEntry(std::string_view text) {
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            if (!SkipString(text, i)) return EntryState::NeedsMore;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const size_t end = text.find("*/", i + 2);
            if (end == std::string_view::npos) return EntryState::NeedsMore;
            i = end + 1;
        } else if (c == '(' || c == '[' || c == '{') {
            ++depth;
        } else if (c == ')' || c == ']' || c == '}') {
            --depth;  // too many closers is the compiler's error to report, not a reason to wait
        }
    }
    return depth > 0 ? EntryState::NeedsMore : EntryState::Complete;
}

}  // namespace velmo::tools
