#include "tools/builder/menu_text.h"

#include <optional>

#include "platform/common/accelerator_text.h"
#include "platform/common/utf8.h"
#include "platform/text.h"
#include "tools/builder/manifest.h"

namespace velmo::builder {

namespace {

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == '$';
}

struct Token {
    std::string text;
    bool quoted = false;
};

class LineReader {
public:
    LineReader(const std::string& fileName, int line) : fileName_(fileName), line_(line) {}

    [[noreturn]] void Fail(const std::string& message) const { throw ManifestError(fileName_, line_, message); }

    // The line's words and quoted texts; the texts converted to the 8-bit code page.
    std::vector<Token> Split(std::string_view line) const {
        std::vector<Token> tokens;
        size_t i = 0;
        while (i < line.size()) {
            const char c = line[i];
            if (c == ' ' || c == '\t') {
                ++i;
            } else if (c == '"') {
                tokens.push_back({Quoted(line, i), true});
            } else if (IsWordChar(c)) {
                const size_t start = i;
                while (i < line.size() && IsWordChar(line[i])) ++i;
                tokens.push_back({std::string(line.substr(start, i - start)), false});
            } else {
                Fail(std::string("unexpected character '") + c + "'");
            }
        }
        return tokens;
    }

private:
    // From the opening quote at `i`; leaves `i` behind the closing one.
    std::string Quoted(std::string_view line, size_t& i) const {
        std::string utf8;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\') {
                if (i + 1 >= line.size() || (line[i + 1] != '"' && line[i + 1] != '\\'))
                    Fail("only \\\" and \\\\ are escapes in a quoted text");
                ++i;
            }
            utf8.push_back(line[i]);
        }
        if (i >= line.size()) Fail("a quoted text is not closed");
        ++i;
        return Ansi(utf8);
    }
    std::string Ansi(const std::string& utf8) const {
        std::u16string text16;
        for (size_t at = 0; at < utf8.size();) {
            const std::optional<char32_t> cp = platform::DecodeUtf8(utf8, at);
            if (!cp) Fail("the text is not valid UTF-8");
            if (*cp < 0x20) Fail("a control character in a quoted text");
            if (*cp >= 0x10000) {
                text16.push_back(static_cast<char16_t>(0xD800 + ((*cp - 0x10000) >> 10)));
                text16.push_back(static_cast<char16_t>(0xDC00 + ((*cp - 0x10000) & 0x3FF)));
            } else {
                text16.push_back(static_cast<char16_t>(*cp));
            }
        }
        std::string ansi = platform::Utf16ToAnsi(text16);
        if (platform::AnsiToUtf16(ansi) != text16) Fail("the text holds characters the 8-bit code page cannot store");
        return ansi;
    }

    const std::string& fileName_;
    int line_;
};

shell::MenuDefinitionItem CommandItem(const LineReader& reader, const std::vector<Token>& tokens) {
    if (tokens.size() < 3 || tokens.size() > 4 || !tokens[2].quoted || (tokens.size() == 4 && !tokens[3].quoted))
        reader.Fail("an item is: item NAME \"CAPTION\" [\"KEYS\"]");
    shell::MenuDefinitionItem item;
    item.name = tokens[1].text;
    item.caption = tokens[2].text;
    if (item.name.empty()) reader.Fail("an item needs a name");
    if (tokens.size() == 4) {
        item.accelerator = tokens[3].text;
        if (!platform::ParseAcceleratorText(item.accelerator))
            reader.Fail("\"" + item.accelerator + "\" names no key (write keys as \"Ctrl+Shift+F5\")");
    }
    return item;
}

}  // namespace

std::vector<shell::MenuDefinitionItem> ParseMenuText(std::string_view text, const std::string& fileName) {
    std::vector<shell::MenuDefinitionItem> top;
    std::vector<shell::MenuDefinitionItem> open;  // the popups being filled, the innermost last
    std::vector<int> openedAt;
    int lineNumber = 0;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const LineReader reader(fileName, lineNumber);
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;
        const std::vector<Token> tokens = reader.Split(line);
        const std::string& keyword = tokens[0].quoted ? std::string() : tokens[0].text;
        std::vector<shell::MenuDefinitionItem>& into = open.empty() ? top : open.back().children;
        if (keyword == "item") {
            into.push_back(CommandItem(reader, tokens));
        } else if (keyword == "separator") {
            if (tokens.size() != 1) reader.Fail("a separator takes nothing more");
            into.push_back({});
        } else if (keyword == "popup") {
            if (tokens.size() != 2 || !tokens[1].quoted) reader.Fail("a popup is: popup \"CAPTION\"");
            if (static_cast<int>(open.size()) >= shell::kMaxMenuDepth) reader.Fail("popups nest too deep");
            shell::MenuDefinitionItem popup;
            popup.flags = shell::kMenuItemPopup;
            popup.caption = tokens[1].text;
            open.push_back(std::move(popup));
            openedAt.push_back(lineNumber);
        } else if (keyword == "end") {
            if (tokens.size() != 1) reader.Fail("end takes nothing more");
            if (open.empty()) reader.Fail("end without a popup");
            shell::MenuDefinitionItem done = std::move(open.back());
            open.pop_back();
            openedAt.pop_back();
            (open.empty() ? top : open.back().children).push_back(std::move(done));
        } else {
            reader.Fail("expected item, separator, popup or end");
        }
    }
    if (!open.empty()) throw ManifestError(fileName, openedAt.back(), "this popup has no end");
    return top;
}

}  // namespace velmo::builder
