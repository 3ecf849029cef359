#include "tools/repl_input.h"

#include <cctype>

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

// Skips a regular-expression literal starting at text[i] (the slash), character classes included,
// where a slash does not close it; a line break ends an unterminated one, as for strings.
void SkipRegExp(std::string_view text, size_t& i) {
    bool inClass = false;
    for (++i; i < text.size() && text[i] != '\n'; ++i) {
        if (text[i] == '\\') ++i;
        else if (text[i] == '[') inClass = true;
        else if (text[i] == ']') inClass = false;
        else if (text[i] == '/' && !inClass) return;
    }
}

// Whether a slash after `before` (the entry so far, trailing blanks included) starts a regular
// expression rather than a division: after an operator, an opening bracket, a separator, the
// start, or the word "return".
bool RegExpCanStart(std::string_view before) {
    while (!before.empty() && (before.back() == ' ' || before.back() == '\t' || before.back() == '\n'))
        before.remove_suffix(1);
    if (before.empty()) return true;
    const char last = before.back();
    if (std::string_view("(,=:[!&|?{};+-*%<>~^").find(last) != std::string_view::npos) return true;
    return before.size() >= 6 && before.substr(before.size() - 6) == "return" &&
           (before.size() == 6 ||
            !(std::isalnum(static_cast<unsigned char>(before[before.size() - 7])) || before[before.size() - 7] == '_'));
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
        } else if (c == '/' && RegExpCanStart(text.substr(0, i))) {
            SkipRegExp(text, i);
        } else if (c == '(' || c == '[' || c == '{') {
            ++depth;
        } else if (c == ')' || c == ']' || c == '}') {
            --depth;  // too many closers is the compiler's error to report, not a reason to wait
        }
    }
    return depth > 0 ? EntryState::NeedsMore : EntryState::Complete;
}

}  // namespace velmo::tools
