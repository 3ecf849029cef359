// The manifest is read in two steps: a TOML reader that knows nothing about Velmo turns the text
// into tables of typed values (keeping each value's line), then the key tables below map them onto
// the records. Defaults are set first, so a key only ever overrides; defaults that depend on other
// keys (the caption follows the product name, a help file turns on its flag) are settled last.
#include "tools/builder/manifest.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <span>

#include "platform/common/utf8.h"
#include "platform/path.h"
#include "platform/text.h"
#include "shell/digest.h"
#include "shell/movie_cipher.h"
#include "shell/package.h"

namespace velmo::builder {

ManifestError::ManifestError(const std::string& fileName, int line, const std::string& message)
    : std::runtime_error(fileName + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + message),
      line_(line) {}

namespace {

// ---- UTF-8 ----

using platform::AppendUtf8;
using platform::DecodeUtf8;

// `utf8` was validated when it was read.
std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const std::optional<char32_t> cp = DecodeUtf8(utf8, i);
        if (!cp) ++i;  // cannot happen for validated text; never loop on it
        platform::AppendUtf16(out, cp.value_or(U'?'));
    }
    return out;
}

// ---- TOML reader ----

enum class Kind { String, Integer, Boolean, Array };

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::String: return "a string";
        case Kind::Integer: return "an integer";
        case Kind::Boolean: return "a boolean";
        case Kind::Array: return "an array";
    }
    return "a value";
}

struct TomlValue {
    Kind kind = Kind::String;
    std::string text;  // UTF-8, never holding NUL
    int64_t integer = 0;
    bool boolean = false;
    std::vector<TomlValue> items;
};

struct TomlEntry {
    std::string key;
    int line = 0;
    TomlValue value;
};

struct TomlTable {
    std::string name;  // "" for the keys before the first table header
    int line = 0;
    std::vector<TomlEntry> entries;
};

bool IsBareKeyChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class TomlReader {
public:
    TomlReader(std::string_view text, const std::string& fileName) : text_(text), fileName_(fileName) {}
    std::vector<TomlTable> Read();

private:
    [[noreturn]] void Fail(const std::string& message) const { throw ManifestError(fileName_, lineNumber_, message); }
    void CheckCharacters() const;
    void ReadHeader(std::vector<TomlTable>& tables);
    void ReadKeyValue(TomlTable& table);
    std::string ReadBareKey(const char* what);
    TomlValue ReadValue();
    TomlValue ReadArray();
    std::string ReadBasicString();
    std::string ReadLiteralString();
    void ReadEscape(std::string& out);
    int64_t ReadInteger();
    void SkipSpaces() {
        while (pos_ < lineText_.size() && (lineText_[pos_] == ' ' || lineText_[pos_] == '\t')) ++pos_;
    }
    char Peek(size_t ahead = 0) const { return pos_ + ahead < lineText_.size() ? lineText_[pos_ + ahead] : '\0'; }
    bool AtLineEnd() const { return pos_ >= lineText_.size() || lineText_[pos_] == '#'; }
    void ExpectLineEnd() {
        SkipSpaces();
        if (!AtLineEnd()) Fail(std::string("unexpected '") + lineText_[pos_] + "' after the value");
    }

    std::string_view text_;
    const std::string& fileName_;
    std::string_view lineText_;
    size_t pos_ = 0;
    int lineNumber_ = 0;
};

std::vector<TomlTable> TomlReader::Read() {
    std::vector<TomlTable> tables(1);
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
    while (!text_.empty() || lineNumber_ == 0) {
        const size_t end = text_.find('\n');
        lineText_ = text_.substr(0, end);
        text_ = end == std::string_view::npos ? std::string_view() : text_.substr(end + 1);
        if (!lineText_.empty() && lineText_.back() == '\r') lineText_.remove_suffix(1);
        ++lineNumber_;
        pos_ = 0;
        CheckCharacters();
        SkipSpaces();
        if (AtLineEnd()) continue;
        if (Peek() == '[') ReadHeader(tables);
        else ReadKeyValue(tables.back());
    }
    return tables;
}

void TomlReader::CheckCharacters() const {
    for (size_t i = 0; i < lineText_.size();) {
        const unsigned char c = static_cast<unsigned char>(lineText_[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "%02X", c);
            Fail(std::string("control character U+00") + code + " is not allowed");
        }
        if (!DecodeUtf8(lineText_, i)) Fail("the text is not valid UTF-8");
    }
}

// header = "[" bare-key *( "." bare-key ) "]"
void TomlReader::ReadHeader(std::vector<TomlTable>& tables) {
    ++pos_;
    if (Peek() == '[') Fail("arrays of tables ([[...]]) are not supported");
    std::string name;
    for (;;) {
        SkipSpaces();
        name += ReadBareKey("table name");
        SkipSpaces();
        if (Peek() != '.') break;
        name += '.';
        ++pos_;
    }
    if (Peek() != ']') Fail("expected ']' to close the table name");
    ++pos_;
    ExpectLineEnd();
    for (const TomlTable& t : tables)
        if (t.name == name && t.line > 0)
            Fail("table [" + name + "] is defined twice (first on line " + std::to_string(t.line) + ")");
    tables.push_back({name, lineNumber_, {}});
}

std::string TomlReader::ReadBareKey(const char* what) {
    if (Peek() == '"' || Peek() == '\'') Fail(std::string("quoted ") + what + "s are not supported");
    const size_t start = pos_;
    while (pos_ < lineText_.size() && IsBareKeyChar(lineText_[pos_])) ++pos_;
    if (pos_ == start) Fail(std::string("expected a ") + what + " (letters, digits, '_' and '-')");
    return std::string(lineText_.substr(start, pos_ - start));
}

// key-value = bare-key "=" value
void TomlReader::ReadKeyValue(TomlTable& table) {
    TomlEntry entry;
    entry.line = lineNumber_;
    entry.key = ReadBareKey("key");
    SkipSpaces();
    if (Peek() == '.') Fail("dotted keys are not supported; use a [table]");
    if (Peek() != '=') Fail("expected '=' after '" + entry.key + "'");
    ++pos_;
    SkipSpaces();
    entry.value = ReadValue();
    ExpectLineEnd();
    for (const TomlEntry& e : table.entries)
        if (e.key == entry.key)
            Fail("key '" + entry.key + "' is given twice (first on line " + std::to_string(e.line) + ")");
    table.entries.push_back(std::move(entry));
}

TomlValue TomlReader::ReadValue() {
    TomlValue value;
    const char c = Peek();
    if (c == '"' || c == '\'') {
        if (Peek(1) == c && Peek(2) == c) Fail("multi-line strings are not supported");
        value.text = c == '"' ? ReadBasicString() : ReadLiteralString();
        return value;
    }
    if (c == '[') return ReadArray();
    if (c == '{') Fail("inline tables are not supported");
    if (c == '+' || c == '-' || (c >= '0' && c <= '9')) {
        value.kind = Kind::Integer;
        value.integer = ReadInteger();
        return value;
    }
    for (const bool b : {true, false}) {
        const std::string_view word = b ? "true" : "false";
        if (lineText_.substr(pos_, word.size()) == word && !IsBareKeyChar(Peek(word.size()))) {
            pos_ += word.size();
            value.kind = Kind::Boolean;
            value.boolean = b;
            return value;
        }
    }
    if (AtLineEnd()) Fail("expected a value");
    Fail("expected a value: a \"string\", an integer, true, false or an [array]");
}

// array = "[" [ value *( "," value ) [ "," ] ] "]", on one line, of strings or of integers
TomlValue TomlReader::ReadArray() {
    TomlValue array;
    array.kind = Kind::Array;
    ++pos_;
    for (;;) {
        SkipSpaces();
        if (Peek() == ']') break;
        if (AtLineEnd()) Fail("an array must be closed with ']' on the same line");
        if (Peek() == '[') Fail("arrays may hold only strings or integers");  // before any recursion
        TomlValue item = ReadValue();
        if (item.kind != Kind::String && item.kind != Kind::Integer) Fail("arrays may hold only strings or integers");
        if (!array.items.empty() && array.items[0].kind != item.kind) Fail("an array may not mix strings and integers");
        array.items.push_back(std::move(item));
        SkipSpaces();
        if (Peek() == ',') {
            ++pos_;
            continue;
        }
        if (Peek() != ']')
            Fail(AtLineEnd() ? "an array must be closed with ']' on the same line"
                             : "expected ',' or ']' in the array");
    }
    ++pos_;
    return array;
}

std::string TomlReader::ReadBasicString() {
    std::string out;
    ++pos_;
    for (;;) {
        if (pos_ >= lineText_.size()) Fail("unterminated string");
        const char c = lineText_[pos_++];
        if (c == '"') return out;
        if (c == '\\') ReadEscape(out);
        else out.push_back(c);
    }
}

void TomlReader::ReadEscape(std::string& out) {
    const char c = Peek();
    ++pos_;
    switch (c) {
        case '\\': out.push_back('\\'); return;
        case '"': out.push_back('"'); return;
        case 'n': out.push_back('\n'); return;
        case 't': out.push_back('\t'); return;
        case 'r': out.push_back('\r'); return;
        case 'u':
        case 'U': break;
        default: Fail(c == '\0' ? std::string("unterminated string") : std::string("unknown escape \\") + c);
    }
    const size_t digits = c == 'u' ? 4 : 8;
    char32_t cp = 0;
    for (size_t k = 0; k < digits; ++k) {
        const int d = HexDigit(Peek());
        if (d < 0) Fail(std::string("\\") + c + " needs " + std::to_string(digits) + " hex digits");
        cp = cp * 16 + static_cast<char32_t>(d);
        ++pos_;
    }
    if (cp == 0) Fail("strings may not contain NUL");
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) Fail("escape names no Unicode character");
    AppendUtf8(out, cp);
}

std::string TomlReader::ReadLiteralString() {
    const size_t start = ++pos_;
    const size_t end = lineText_.find('\'', start);
    if (end == std::string_view::npos) Fail("unterminated string");
    pos_ = end + 1;
    return std::string(lineText_.substr(start, end - start));
}

// integer = [ "+" / "-" ] ( "0" / nonzero *digit ) / "0x" 1*hexdigit
int64_t TomlReader::ReadInteger() {
    const bool negative = Peek() == '-';
    const bool sign = negative || Peek() == '+';
    if (sign) ++pos_;
    const bool hex = !sign && Peek() == '0' && Peek(1) == 'x';
    if (hex) pos_ += 2;
    const int base = hex ? 16 : 10;
    const size_t start = pos_;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (int d; (d = HexDigit(Peek())) >= 0 && d < base; ++pos_) {
        if (magnitude > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) Fail("integer out of range");
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (pos_ == start) Fail("expected digits");
    if (!hex && lineText_[start] == '0' && pos_ - start > 1) Fail("leading zeros are not allowed");
    const char next = Peek();
    if (next == '.' || next == 'e' || next == 'E' || next == ':' || (next == '-' && !sign))
        Fail("floats, dates and times are not supported");
    if (IsBareKeyChar(next)) Fail("invalid integer");
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

// ---- Mapping onto the records ----

struct Symbol {
    const char* name;
    uint32_t value;
};

class Mapper;
using Apply = void (*)(Mapper&, const TomlValue&);

struct KeySpec {
    const char* name;
    Apply apply;
};

class Mapper {
public:
    Mapper(Manifest& manifest, const std::string& fileName) : m(manifest), fileName_(fileName) {}

    [[noreturn]] void Fail(const std::string& message) const { throw ManifestError(fileName_, line_, message); }
    [[noreturn]] void FailAt(int line, const std::string& message) const {
        throw ManifestError(fileName_, line, message);
    }
    void Enter(const TomlTable& table, const TomlEntry& entry) {
        table_ = &table;
        entry_ = &entry;
        line_ = entry.line;
        given_[table.name + "." + entry.key] = entry.line;
    }
    std::string Where() const { return "'" + entry_->key + "' in [" + table_->name + "]"; }
    const std::string& Key() const { return entry_->key; }
    const std::string& TableName() const { return table_->name; }
    bool Given(const std::string& tableAndKey) const { return given_.count(tableAndKey) != 0; }
    int LineOf(const std::string& tableAndKey) const {
        const auto found = given_.find(tableAndKey);
        return found == given_.end() ? 0 : found->second;
    }

    void Expect(const TomlValue& v, Kind kind) const {
        if (v.kind != kind) Fail(Where() + " must be " + KindName(kind) + ", not " + KindName(v.kind));
    }
    std::string Text(const TomlValue& v) const;
    std::string Path(const TomlValue& v) const;
    std::string PathText(const TomlValue& v) const;
    // A path that must name a file of the project; the builder checks that it exists.
    NamedFile Named(const TomlValue& v) {
        m.namedFiles.push_back({Path(v), "[" + table_->name + "] " + entry_->key, line_});
        return m.namedFiles.back();
    }
    std::string CheckedPath(const TomlValue& v) { return Named(v).path; }
    int64_t Integer(const TomlValue& v, int64_t min, int64_t max) const;
    uint8_t U8(const TomlValue& v) const { return static_cast<uint8_t>(Integer(v, 0, UINT8_MAX)); }
    uint16_t U16(const TomlValue& v) const { return static_cast<uint16_t>(Integer(v, 0, UINT16_MAX)); }
    uint32_t U32(const TomlValue& v) const { return static_cast<uint32_t>(Integer(v, 0, UINT32_MAX)); }
    int32_t I32(const TomlValue& v) const { return static_cast<int32_t>(Integer(v, INT32_MIN, INT32_MAX)); }
    bool Boolean(const TomlValue& v) const {
        Expect(v, Kind::Boolean);
        return v.boolean;
    }
    uint32_t Enum(const TomlValue& v, std::span<const Symbol> symbols) const;
    uint32_t Flags(const TomlValue& v, std::span<const Symbol> symbols) const;
    uint32_t Colour(const TomlValue& v) const;
    void SetBit(uint32_t& word, uint32_t bit, const TomlValue& v) const {
        word = Boolean(v) ? (word | bit) : (word & ~bit);
    }
    shell::LogFont& Font() { return TableName() == "about.font2" ? S().aboutBox.font2 : S().aboutBox.font1; }
    shell::SettingsRecord& S() { return m.settings; }

    Manifest& m;

private:
    [[noreturn]] void FailChoices(const std::string& got, std::span<const Symbol> symbols) const;

    const std::string& fileName_;
    const TomlTable* table_ = nullptr;
    const TomlEntry* entry_ = nullptr;
    int line_ = 0;
    std::map<std::string, int> given_;  // "table.key" to its line
};

std::string Mapper::Text(const TomlValue& v) const {
    Expect(v, Kind::String);
    const std::u16string text16 = Utf8ToUtf16(v.text);
    std::string ansi = platform::Utf16ToAnsi(text16);
    if (platform::AnsiToUtf16(ansi) != text16) Fail(Where() + " holds characters the 8-bit code page cannot store");
    return ansi;
}

// A file of the project: relative, '/' or '\' between components, each one a name the package can
// hold and the runtime will find (not empty, not only dots and spaces).
std::string Mapper::Path(const TomlValue& v) const {
    std::string path = Text(v);
    for (char& c : path)
        if (c == '/') c = '\\';
    const auto bad = [&](const std::string& why) { Fail(Where() + ": \"" + v.text + "\" " + why); };
    if (path.empty()) bad("is empty");
    if (path.size() > shell::kMaxPathChars) bad("is longer than 259 characters");
    if (path.find(':') != std::string::npos || path[0] == '\\') bad("must be relative to the project folder");
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (!shell::IsSafeEntryName(part)) bad("must be a path inside the project folder");
        start = end + 1;
    }
    if (platform::AnsiEqualNoCase(path, kManifestFileName)) bad("is the manifest, which is not packed");
    return path;
}

// A path field that names no project file: any text that fits the record's 260-byte field.
std::string Mapper::PathText(const TomlValue& v) const {
    std::string text = Text(v);
    if (text.size() > shell::kMaxPathChars) Fail(Where() + " is longer than 259 characters");
    return text;
}

int64_t Mapper::Integer(const TomlValue& v, int64_t min, int64_t max) const {
    Expect(v, Kind::Integer);
    if (v.integer < min || v.integer > max)
        Fail(Where() + " must lie between " + std::to_string(min) + " and " + std::to_string(max));
    return v.integer;
}

void Mapper::FailChoices(const std::string& got, std::span<const Symbol> symbols) const {
    std::string list;
    for (const Symbol& s : symbols) list += std::string(list.empty() ? "" : ", ") + "\"" + s.name + "\"";
    Fail(Where() + ": unknown value \"" + got + "\"; expected one of " + list);
}

uint32_t Mapper::Enum(const TomlValue& v, std::span<const Symbol> symbols) const {
    Expect(v, Kind::String);
    for (const Symbol& s : symbols)
        if (v.text == s.name) return s.value;
    FailChoices(v.text, symbols);
}

uint32_t Mapper::Flags(const TomlValue& v, std::span<const Symbol> symbols) const {
    if (v.kind != Kind::Array) Fail(Where() + " must be an array of names, such as [\"" + symbols[0].name + "\"]");
    uint32_t flags = 0;
    for (const TomlValue& item : v.items) {
        if (item.kind != Kind::String) Fail(Where() + " must be an array of names");
        const Symbol* found = nullptr;
        for (const Symbol& s : symbols)
            if (item.text == s.name) found = &s;
        if (!found) FailChoices(item.text, symbols);
        flags |= found->value;
    }
    return flags;
}

// "#RRGGBB" as a COLORREF: red in the low byte.
uint32_t Mapper::Colour(const TomlValue& v) const {
    Expect(v, Kind::String);
    int digits[6];
    bool ok = v.text.size() == 7 && v.text[0] == '#';
    for (size_t i = 0; ok && i < 6; ++i) ok = (digits[i] = HexDigit(v.text[i + 1])) >= 0;
    if (!ok) Fail(Where() + " must be a colour written \"#RRGGBB\"");
    const auto channel = [&](int i) { return static_cast<uint32_t>(digits[2 * i] * 16 + digits[2 * i + 1]); };
    return channel(0) | (channel(1) << 8) | (channel(2) << 16);
}

// ---- Symbolic values ----

using namespace velmo::shell;  // the record constants, in this file only

constexpr Symbol kShapes[] = {{"rectangle", kShapeRectangle}, {"transparent", kShapeTransparent}, {"clip", kShapeClip}};
constexpr Symbol kBorders[] = {{"none", kBorderNone},
                               {"single", kBorderSingle},
                               {"resizable", kBorderResizable},
                               {"small_caption", kBorderSmallCaption},
                               {"hide_task_button", kBorderHideTaskButton}};
constexpr Symbol kIcons[] = {
    {"maximize", kIconMaximize}, {"minimize", kIconMinimize}, {"system_menu", kIconSystemMenu}, {"help", kIconHelp}};
constexpr Symbol kScales[] = {{"show_all", kScaleShowAll},
                              {"no_scale", kScaleNormal},
                              {"no_border", kScaleNoBorder},
                              {"exact_fit", kScaleExactFit}};
constexpr Symbol kSizes[] = {{"movie", kSizeMovie},
                             {"fullscreen", kSizeFullScreen},
                             {"maximized", kSizeMaximized},
                             {"custom", kSizeCustom},
                             {"percent", kSizePercent}};
constexpr Symbol kPositions[] = {{"top_left", 0},
                                 {"top_center", 1},
                                 {"top_right", 2},
                                 {"center_left", 3},
                                 {"center", 4},
                                 {"center_right", 5},
                                 {"bottom_left", 6},
                                 {"bottom_center", 7},
                                 {"bottom_right", 8},
                                 {"custom", kPositionCustom},
                                 {"percent", kPositionPercent}};
constexpr Symbol kLeftClicks[] = {{"send", kLeftSend}, {"drag", kLeftDrag}, {"ignore", kLeftIgnore}};
constexpr Symbol kRightClicks[] = {{"send", kRightSend}, {"menu", kRightContextMenu}, {"ignore", kRightIgnore}};
constexpr Symbol kKeys[] = {
    {"send", kKeysSend}, {"ignore", kKeysIgnore}, {"disable_windows_keys", kKeysDisableWindowsKeys}};
constexpr Symbol kExitKeys[] = {{"esc", kExitOnEsc}, {"hot_key", kExitOnHotKey}};
constexpr Symbol kDisable[] = {
    {"task_switch", kDisableTaskSwitch}, {"cursor", kHideCursor}, {"screen_saver", kDisableScreenSaver}};
constexpr Symbol kMenus[] = {{"configure", kMenuConfigure},
                             {"flash_player", kMenuFlashPlayer},
                             {"about", kMenuAbout},
                             {"help", kMenuHelp},
                             {"none", kMenuNone}};
constexpr Symbol kWeights[] = {{"thin", 100},   {"extra_light", 200}, {"light", 300},
                               {"normal", 400}, {"medium", 500},      {"semi_bold", 600},
                               {"bold", 700},   {"extra_bold", 800},  {"heavy", 900}};
constexpr Symbol kCharsets[] = {{"ansi", 0},      {"default", 1},  {"symbol", 2},        {"shiftjis", 128},
                                {"hangul", 129},  {"gb2312", 134}, {"chinesebig5", 136}, {"greek", 161},
                                {"turkish", 162}, {"hebrew", 177}, {"arabic", 178},      {"baltic", 186},
                                {"russian", 204}, {"thai", 222},   {"easteurope", 238},  {"oem", 255}};
constexpr Symbol kQualities[] = {{"default", 0},         {"draft", 1},       {"proof", 2},
                                 {"non_antialiased", 3}, {"antialiased", 4}, {"cleartype", 5}};
constexpr Symbol kHotKeyModifiers[] = {{"shift", 0x1}, {"ctrl", 0x2}, {"control", 0x2}, {"alt", 0x4}, {"ext", 0x8}};
constexpr Symbol kKeyNames[] = {
    {"esc", 0x1B},       {"escape", 0x1B},   {"space", 0x20},  {"enter", 0x0D},  {"return", 0x0D}, {"tab", 0x09},
    {"backspace", 0x08}, {"pause", 0x13},    {"insert", 0x2D}, {"delete", 0x2E}, {"home", 0x24},   {"end", 0x23},
    {"pageup", 0x21},    {"pagedown", 0x22}, {"left", 0x25},   {"up", 0x26},     {"right", 0x27},  {"down", 0x28}};

// A value that is a symbolic name or a number in range.
uint32_t NameOrNumber(Mapper& p, const TomlValue& v, std::span<const Symbol> symbols, int64_t max) {
    return v.kind == Kind::String ? p.Enum(v, symbols) : static_cast<uint32_t>(p.Integer(v, 0, max));
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

const Symbol* FindSymbol(std::span<const Symbol> symbols, const std::string& name) {
    for (const Symbol& s : symbols)
        if (name == s.name) return &s;
    return nullptr;
}

// "Ctrl+Alt+Q", "Shift+F12": modifiers, then one key (a letter, a digit, F1 to F24 or a key name).
void ApplyHotKey(Mapper& p, const TomlValue& v) {
    const std::string text = Lower(p.Text(v));
    const auto bad = [&] {
        p.Fail(p.Where() + ": \"" + v.text + "\" is not a hot key such as \"Ctrl+Alt+Q\" or \"Shift+F12\"");
    };
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t plus = text.find('+', start);
        std::string part = text.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        while (!part.empty() && part.front() == ' ') part.erase(part.begin());
        while (!part.empty() && part.back() == ' ') part.pop_back();
        parts.push_back(part);
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    uint16_t modifiers = 0;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const Symbol* m = FindSymbol(kHotKeyModifiers, parts[i]);
        if (!m) bad();
        modifiers = static_cast<uint16_t>(modifiers | m->value);
    }
    const std::string& key = parts.back();
    uint32_t code = 0;
    if (key.size() == 1 && ((key[0] >= 'a' && key[0] <= 'z') || (key[0] >= '0' && key[0] <= '9')))
        code = static_cast<uint32_t>(key[0] >= 'a' ? key[0] - 'a' + 'A' : key[0]);
    else if (key.size() >= 2 && key.size() <= 3 && key[0] == 'f' &&
             key.find_first_not_of("0123456789", 1) == std::string::npos && key[1] != '0' &&
             std::stoi(key.substr(1)) <= 24)
        code = 0x70 + static_cast<uint32_t>(std::stoi(key.substr(1))) - 1;
    else if (const Symbol* named = FindSymbol(kKeyNames, key)) code = named->value;
    else bad();
    p.S().interaction.hotKeyCode = static_cast<uint16_t>(code);
    p.S().interaction.hotKeyModifiers = modifiers;
}

// "2024-05-01T12:30:00Z", in UTC.
void ApplyBuildTime(Mapper& p, const TomlValue& v) {
    const std::string t = p.Text(v);
    const auto number = [&](size_t at, size_t digits) {
        int n = 0;
        for (size_t i = at; i < at + digits; ++i) n = (t[i] >= '0' && t[i] <= '9') ? n * 10 + (t[i] - '0') : -1000000;
        return n;
    };
    const bool shaped =
        t.size() == 20 && t[4] == '-' && t[7] == '-' && t[10] == 'T' && t[13] == ':' && t[16] == ':' && t[19] == 'Z';
    const int f[6] = {shaped ? number(0, 4) : -1,  shaped ? number(5, 2) : -1,  shaped ? number(8, 2) : -1,
                      shaped ? number(11, 2) : -1, shaped ? number(14, 2) : -1, shaped ? number(17, 2) : -1};
    using namespace std::chrono;
    const year_month_day date{year{f[0]}, month{static_cast<unsigned>(f[1])}, day{static_cast<unsigned>(f[2])}};
    if (!shaped || f[0] < 1601 || !date.ok() || f[3] < 0 || f[3] > 23 || f[4] < 0 || f[4] > 59 || f[5] < 0 || f[5] > 59)
        p.Fail(p.Where() + " must be a UTC time written \"YYYY-MM-DDTHH:MM:SSZ\"");
    SystemTime& time = p.S().build.buildTime;
    time = {static_cast<uint16_t>(f[0]),
            static_cast<uint16_t>(f[1]),
            static_cast<uint16_t>(weekday{sys_days{date}}.c_encoding()),
            static_cast<uint16_t>(f[2]),
            static_cast<uint16_t>(f[3]),
            static_cast<uint16_t>(f[4]),
            static_cast<uint16_t>(f[5]),
            0};
    p.m.hasBuildTime = true;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" into memory order: the first three groups little-endian.
void ApplyGuid(Mapper& p, const TomlValue& v) {
    p.Expect(v, Kind::String);
    const std::string& t = v.text;
    const char* const shape = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    bool ok = t.size() == 38;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; ok && i < 38; ++i) {
        if (shape[i] != 'x') {
            ok = t[i] == shape[i];
        } else {
            ok = HexDigit(t[i]) >= 0 && HexDigit(t[i + 1]) >= 0;
            if (ok) bytes.push_back(static_cast<uint8_t>(HexDigit(t[i]) * 16 + HexDigit(t[i + 1])));
            ++i;
        }
    }
    if (!ok) p.Fail(p.Where() + " must be written \"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\"");
    constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i) p.m.guid[i] = bytes[kOrder[i]];
}

void ApplyVersion(Mapper& p, const TomlValue& v) {
    if (v.kind != Kind::Array || v.items.size() != 4)
        p.Fail(p.Where() + " must be an array of four integers, such as [9, 0, 28, 0]");
    FlashPlayerRequirement& fp = *p.m.flashPlayer;
    for (size_t i = 0; i < 4; ++i) fp.version[i] = p.U32(v.items[i]);
}

void ApplyProtection(Mapper& p, const TomlValue& v) {
    if (v.kind != Kind::Array || v.items.size() > kProtectionBytes)
        p.Fail(p.Where() + " must be an array of at most 260 byte values");
    if (!p.m.movieKey.empty()) p.Fail(p.Where() + " cannot be given together with [movie] key");
    p.m.movieList.protection.fill(0);
    for (size_t i = 0; i < v.items.size(); ++i)
        p.m.movieList.protection[i] = static_cast<uint8_t>(p.Integer(v.items[i], 0, 255));
}

void ApplyMovieKey(Mapper& p, const TomlValue& v) {
    const std::string key = p.Text(v);
    if (key.size() > kMaxMovieKeyBytes) p.Fail(p.Where() + " is longer than 255 bytes");
    if (key.find('\0') != std::string::npos) p.Fail(p.Where() + " holds a NUL character");
    if (std::any_of(p.m.movieList.protection.begin(), p.m.movieList.protection.end(), [](uint8_t b) { return b != 0; }))
        p.Fail(p.Where() + " cannot be given together with [movie] protection");
    p.m.movieKey = key;
    p.m.movieList.protection = shell::ProtectionForKey(key);
}

void ApplyRegions(Mapper& p, const TomlValue& v) {
    p.Expect(v, Kind::Array);
    p.m.regionImages.clear();
    for (const TomlValue& item : v.items) p.m.regionImages.push_back(p.Named(item));
}

void ApplyFaceName(Mapper& p, const TomlValue& v) {
    const std::string face = p.Text(v);
    if (face.size() > kMaxFaceNameChars) p.Fail(p.Where() + " is longer than 31 characters");
    p.Font().faceName = face;
}

void ApplyScript(Mapper& p, const TomlValue& v) { p.m.scripts.push_back({p.Key(), p.Named(v)}); }
void ApplyMenu(Mapper& p, const TomlValue& v) { p.m.menus.push_back({p.Key(), p.Named(v)}); }

// Glob patterns over project paths, stored with '/' between components. A pattern that could never
// name a project entry (empty, absolute, with a drive or "..") is refused, so a typing mistake does
// not silently pack everything or nothing.
std::vector<std::string> Patterns(Mapper& p, const TomlValue& v) {
    if (v.kind != Kind::Array) p.Fail(p.Where() + " must be an array of patterns, such as [\"*.txt\"]");
    std::vector<std::string> patterns;
    for (const TomlValue& item : v.items) {
        std::string pattern = p.Text(item);
        for (char& c : pattern)
            if (c == '\\') c = '/';
        const bool dotDot = pattern == ".." || pattern.starts_with("../") || pattern.ends_with("/..") ||
                            pattern.find("/../") != std::string::npos;
        if (pattern.empty() || pattern[0] == '/' || pattern.find(':') != std::string::npos || dotDot)
            p.Fail(p.Where() + ": \"" + item.text + "\" is not a pattern of project paths");
        patterns.push_back(std::move(pattern));
    }
    return patterns;
}

// ---- Key tables, one per manifest table ----

using V = const TomlValue&;

constexpr KeySpec kApplicationKeys[] = {
    {"identifier", [](Mapper& p, V v) { p.m.identifier = p.Text(v); }},
    {"guid", &ApplyGuid},
};

constexpr KeySpec kMovieKeys[] = {
    {"file", [](Mapper& p, V v) { p.m.movieList.movieName = p.CheckedPath(v); }},
    {"flags", [](Mapper& p, V v) { p.m.movieList.movieFlags = p.U32(v); }},
    {"protection", &ApplyProtection},
    {"key", &ApplyMovieKey},
};

constexpr KeySpec kAboutKeys[] = {
    {"product", [](Mapper& p, V v) { p.S().about.productName = p.Text(v); }},
    {"description", [](Mapper& p, V v) { p.S().about.description = p.Text(v); }},
    {"company", [](Mapper& p, V v) { p.S().about.company = p.Text(v); }},
    {"legal", [](Mapper& p, V v) { p.S().about.legalNotice = p.Text(v); }},
    {"trademarks", [](Mapper& p, V v) { p.S().about.trademarks = p.Text(v); }},
    {"comment", [](Mapper& p, V v) { p.S().about.comment = p.Text(v); }},
    {"version", [](Mapper& p, V v) { p.S().about.version = p.Text(v); }},
    {"author", [](Mapper& p, V v) { p.S().aboutBox.author = p.Text(v); }},
    {"web", [](Mapper& p, V v) { p.S().aboutBox.webAddress = p.Text(v); }},
    {"contact", [](Mapper& p, V v) { p.S().aboutBox.contactCaption = p.Text(v); }},
    {"email", [](Mapper& p, V v) { p.S().aboutBox.emailAddress = p.Text(v); }},
    {"link_colour_1", [](Mapper& p, V v) { p.S().aboutBox.linkColour1 = p.Colour(v); }},
    {"link_colour_2", [](Mapper& p, V v) { p.S().aboutBox.linkColour2 = p.Colour(v); }},
    {"picture", [](Mapper& p, V v) { p.S().aboutBox.pictureFile = p.CheckedPath(v); }},
    {"show_picture", [](Mapper& p, V v) { p.SetBit(p.S().aboutBox.pictureFlags, kShowPictureFile, v); }},
    {"show_movie", [](Mapper& p, V v) { p.SetBit(p.S().aboutBox.pictureFlags, kShowMovie, v); }},
    {"background", [](Mapper& p, V v) { p.m.aboutBackground = p.Named(v); }},
    {"second_word", [](Mapper& p, V v) { p.S().aboutBox.secondWord = p.U32(v); }},
    {"second_path", [](Mapper& p, V v) { p.S().aboutBox.secondPath = p.PathText(v); }},
};

constexpr KeySpec kFontKeys[] = {
    {"face", &ApplyFaceName},
    {"height", [](Mapper& p, V v) { p.Font().height = p.I32(v); }},
    {"width", [](Mapper& p, V v) { p.Font().width = p.I32(v); }},
    {"escapement", [](Mapper& p, V v) { p.Font().escapement = p.I32(v); }},
    {"orientation", [](Mapper& p, V v) { p.Font().orientation = p.I32(v); }},
    {"weight", [](Mapper& p, V v) { p.Font().weight = static_cast<int32_t>(NameOrNumber(p, v, kWeights, 1000)); }},
    {"italic", [](Mapper& p, V v) { p.Font().italic = p.Boolean(v); }},
    {"underline", [](Mapper& p, V v) { p.Font().underline = p.Boolean(v); }},
    {"strike_out", [](Mapper& p, V v) { p.Font().strikeOut = p.Boolean(v); }},
    {"charset", [](Mapper& p, V v) { p.Font().charSet = static_cast<uint8_t>(NameOrNumber(p, v, kCharsets, 255)); }},
    {"out_precision", [](Mapper& p, V v) { p.Font().outPrecision = p.U8(v); }},
    {"clip_precision", [](Mapper& p, V v) { p.Font().clipPrecision = p.U8(v); }},
    {"quality", [](Mapper& p, V v) { p.Font().quality = static_cast<uint8_t>(NameOrNumber(p, v, kQualities, 255)); }},
    {"pitch_and_family", [](Mapper& p, V v) { p.Font().pitchAndFamily = p.U8(v); }},
};

constexpr KeySpec kAppearanceKeys[] = {
    {"shape", [](Mapper& p, V v) { p.S().appearance.windowShape = p.Enum(v, kShapes); }},
    {"clip_image", [](Mapper& p, V v) { p.S().appearance.clipShapeImage = p.CheckedPath(v); }},
    {"border", [](Mapper& p, V v) { p.S().appearance.borderStyle = p.Flags(v, kBorders); }},
    {"icons", [](Mapper& p, V v) { p.S().appearance.borderIcons = p.Flags(v, kIcons); }},
    {"scale", [](Mapper& p, V v) { p.S().appearance.scaleMode = p.Enum(v, kScales); }},
    {"caption", [](Mapper& p, V v) { p.S().appearance.caption = p.PathText(v); }},
    {"background", [](Mapper& p, V v) { p.S().misc.backgroundColour = p.Colour(v) | kCustomBackground; }},
    {"regions", &ApplyRegions},
};

constexpr KeySpec kWindowKeys[] = {
    {"size", [](Mapper& p, V v) { p.S().sizeAndPosition.sizeMode = p.Enum(v, kSizes); }},
    {"width", [](Mapper& p, V v) { p.S().sizeAndPosition.width = p.U16(v); }},
    {"height", [](Mapper& p, V v) { p.S().sizeAndPosition.height = p.U16(v); }},
    {"position", [](Mapper& p, V v) { p.S().sizeAndPosition.position = p.Enum(v, kPositions); }},
    {"x", [](Mapper& p, V v) { p.S().sizeAndPosition.x = p.U16(v); }},
    {"y", [](Mapper& p, V v) { p.S().sizeAndPosition.y = p.U16(v); }},
    {"keep_ratio", [](Mapper& p, V v) { p.S().sizeAndPosition.keepRatio = p.Boolean(v) ? 1 : 0; }},
};

constexpr KeySpec kInteractionKeys[] = {
    {"left_click", [](Mapper& p, V v) { p.S().interaction.leftButton = p.Enum(v, kLeftClicks); }},
    {"right_click", [](Mapper& p, V v) { p.S().interaction.rightButton = p.Enum(v, kRightClicks); }},
    {"keys", [](Mapper& p, V v) { p.S().interaction.keyPress = p.Flags(v, kKeys); }},
    {"exit_keys", [](Mapper& p, V v) { p.S().interaction.exitKeys = p.Flags(v, kExitKeys); }},
    {"disable", [](Mapper& p, V v) { p.S().interaction.inputDisabling = p.Flags(v, kDisable); }},
    {"hot_key", &ApplyHotKey},
};

constexpr KeySpec kBehaviourKeys[] = {
    {"menu", [](Mapper& p, V v) { p.S().behaviour.menuAdditions = p.Flags(v, kMenus); }},
    {"auto_play", [](Mapper& p, V v) { p.SetBit(p.S().behaviour.flags, kAutoPlay, v); }},
    {"tray_uses_app_icon", [](Mapper& p, V v) { p.SetBit(p.S().behaviour.flags, kTrayUsesAppIcon, v); }},
    {"start_minimized", [](Mapper& p, V v) { p.SetBit(p.S().behaviour.flags, kStartMinimized, v); }},
    {"always_on_top", [](Mapper& p, V v) { p.SetBit(p.S().behaviour.flags, kAlwaysOnTop, v); }},
    {"tray_icon", [](Mapper& p, V v) { p.SetBit(p.S().behaviour.flags, kShowInTray, v); }},
    {"mute_speakers", [](Mapper& p, V v) { p.SetBit(p.S().misc.flags, kMuteSpeakers, v); }},
    {"help_file", [](Mapper& p, V v) { p.S().misc.helpFile = p.CheckedPath(v); }},
    {"use_help_file", [](Mapper& p, V v) { p.SetBit(p.S().misc.flags, kUseHelpFile, v); }},
};

constexpr KeySpec kFlashPlayerKeys[] = {
    {"installer", [](Mapper& p, V v) { p.m.flashPlayer->installer = p.CheckedPath(v); }},
    {"version", &ApplyVersion},
};

constexpr KeySpec kBuildKeys[] = {
    {"time", &ApplyBuildTime},
    {"port", [](Mapper& p, V v) { p.S().build.port = p.U16(v); }},
    {"text", [](Mapper& p, V v) { p.S().build.text = p.Text(v); }},
    {"path", [](Mapper& p, V v) { p.S().build.path = p.PathText(v); }},
    {"word1", [](Mapper& p, V v) { p.S().build.word1 = p.U32(v); }},
    {"word2", [](Mapper& p, V v) { p.S().build.word2 = p.U32(v); }},
    {"word3", [](Mapper& p, V v) { p.S().build.word3 = p.U32(v); }},
    {"word4", [](Mapper& p, V v) { p.S().build.word4 = p.U16(v); }},
};

constexpr KeySpec kPackageKeys[] = {
    {"include", [](Mapper& p, V v) { p.m.packageInclude = Patterns(p, v); }},
    {"exclude", [](Mapper& p, V v) { p.m.packageExclude = Patterns(p, v); }},
};

struct TableSpec {
    const char* name;
    std::span<const KeySpec> keys;
    Apply anyKey = nullptr;  // for tables whose keys are names the project chooses
};

const TableSpec kTables[] = {
    {"application", kApplicationKeys},
    {"movie", kMovieKeys},
    {"about", kAboutKeys},
    {"about.font1", kFontKeys},
    {"about.font2", kFontKeys},
    {"appearance", kAppearanceKeys},
    {"window", kWindowKeys},
    {"interaction", kInteractionKeys},
    {"behaviour", kBehaviourKeys},
    {"flash_player", kFlashPlayerKeys},
    {"scripts", {}, &ApplyScript},
    {"menus", {}, &ApplyMenu},
    {"build", kBuildKeys},
    {"package", kPackageKeys},
};

// ---- Defaults and the checks that span keys ----

LogFont DefaultFont() {
    LogFont font;
    font.height = -11;  // 8 points on a 96 dpi screen
    font.weight = 400;
    font.charSet = 1;  // the system's default character set
    font.faceName = "MS Shell Dlg";
    return font;
}

void SetDefaults(Manifest& m, const std::string& projectName) {
    SettingsRecord& s = m.settings;
    s.appearance.borderStyle = kBorderSingle;
    s.appearance.borderIcons = kIconMinimize | kIconSystemMenu;
    s.appearance.scaleMode = kScaleShowAll;
    s.sizeAndPosition.sizeMode = kSizeMovie;
    s.sizeAndPosition.position = kPositionCenter;
    s.interaction.leftButton = kLeftSend;
    s.interaction.rightButton = kRightSend;
    s.interaction.keyPress = kKeysSend;
    s.behaviour.menuAdditions = kMenuAbout;
    s.behaviour.flags = kAutoPlay;
    s.aboutBox.linkColour1 = 0xFF0000;  // blue
    s.aboutBox.linkColour2 = 0x800080;  // purple
    s.aboutBox.font1 = s.aboutBox.font2 = DefaultFont();
    s.build.port = kDefaultBuildPort;
    s.about.productName = projectName;
    m.movieList.movieFlags = kDefaultMovieFlags;
    m.identifier = "Velmo/" + projectName + "\\V1.0";
}

void CheckWindow(const Mapper& p, const SizeAndPosition& w) {
    const int sizeLine = p.LineOf("window.size"), positionLine = p.LineOf("window.position");
    if (w.sizeMode == kSizeCustom && (w.width == 0 || w.height == 0))
        p.FailAt(sizeLine, "size = \"custom\" needs a width and a height in pixels");
    if (w.sizeMode == kSizePercent && (w.width == 0 || w.height == 0 || w.width > 100 || w.height > 100))
        p.FailAt(sizeLine, "size = \"percent\" needs a width and a height between 1 and 100");
    if (w.position == kPositionPercent && (w.x > 100 || w.y > 100))
        p.FailAt(positionLine, "position = \"percent\" needs x and y between 0 and 100");
}

void Finish(Mapper& p, bool hasFlashPlayerTable) {
    Manifest& m = p.m;
    SettingsRecord& s = m.settings;
    if (m.movieList.movieName.empty()) p.FailAt(0, "no movie is named; add [movie] with file = \"movie.swf\"");
    if (m.identifier.empty()) p.FailAt(p.LineOf("application.identifier"), "the identifier may not be empty");
    if (!p.Given("application.guid")) m.guid = DerivedGuid(m.identifier);
    if (!p.Given("appearance.caption")) s.appearance.caption = s.about.productName.value_or("");
    if (s.appearance.caption.size() > kMaxPathChars)
        p.FailAt(p.LineOf("about.product"), "the product name is too long to be the caption; give a caption");
    if (s.appearance.windowShape == kShapeClip && s.appearance.clipShapeImage.empty())
        p.FailAt(p.LineOf("appearance.shape"), "shape = \"clip\" needs a clip_image");
    if ((s.appearance.borderStyle & kBorderNone) && (s.appearance.borderStyle & ~kBorderNone))
        p.FailAt(p.LineOf("appearance.border"), "border \"none\" cannot be combined with other border styles");
    CheckWindow(p, s.sizeAndPosition);
    if ((s.interaction.exitKeys & kExitOnHotKey) && s.interaction.hotKeyCode == 0)
        p.FailAt(p.LineOf("interaction.exit_keys"), "exit key \"hot_key\" needs a hot_key");
    if (s.behaviour.menuAdditions == 0) s.behaviour.menuAdditions = kMenuNone;  // menu = [] asks for none
    if (!s.misc.helpFile.empty() && !p.Given("behaviour.use_help_file")) s.misc.flags |= kUseHelpFile;
    if (!s.aboutBox.pictureFile.empty() && !p.Given("about.show_picture")) s.aboutBox.pictureFlags |= kShowPictureFile;
    if (hasFlashPlayerTable && m.flashPlayer->installer.empty())
        p.FailAt(0, "[flash_player] needs an installer = \"...\" file");
    if (m.flashPlayer && m.flashPlayer->installer.size() >= 260)
        p.FailAt(p.LineOf("flash_player.installer"), "the installer path is longer than 259 bytes");
    std::set<std::string> scriptNames;
    for (const ScriptResource& script : m.scripts)
        if (!scriptNames.insert(Lower(script.name)).second)
            p.FailAt(script.file.line, "script '" + script.name + "' is given twice (resource names ignore case)");
    std::set<std::string> menuNames;
    for (const MenuResource& menu : m.menus)
        if (!menuNames.insert(Lower(menu.name)).second)
            p.FailAt(menu.file.line, "menu '" + menu.name + "' is given twice (resource names ignore case)");
    std::set<std::string> stems;
    for (const NamedFile& image : m.regionImages) {
        const std::string stem = RegionImageName(image.path);
        if (!stems.insert(Lower(stem)).second) p.FailAt(image.line, "two region images are named \"" + stem + "\"");
    }
}

}  // namespace

std::string RegionImageName(const std::string& path) { return std::string(platform::StemPart(path)); }

std::array<uint8_t, 16> DerivedGuid(const std::string& identifier) {
    std::array<uint8_t, 16> guid =
        shell::Md5(std::span(reinterpret_cast<const uint8_t*>(identifier.data()), identifier.size()));
    guid[7] = static_cast<uint8_t>((guid[7] & 0x0F) | 0x30);  // version 3, in the high nibble of the third group
    guid[8] = static_cast<uint8_t>((guid[8] & 0x3F) | 0x80);  // the standard variant
    return guid;
}

Manifest ParseManifest(std::string_view text, const std::string& projectName, const std::string& fileName) {
    const std::vector<TomlTable> tables = TomlReader(text, fileName).Read();
    Manifest manifest;
    SetDefaults(manifest, projectName);
    Mapper mapper(manifest, fileName);
    bool hasFlashPlayerTable = false;
    for (const TomlTable& table : tables) {
        if (!table.entries.empty() && table.line == 0)
            mapper.FailAt(table.entries[0].line, "key '" + table.entries[0].key + "' must be inside a [table]");
        if (table.line == 0) continue;
        const TableSpec* spec = nullptr;
        for (const TableSpec& t : kTables)
            if (table.name == t.name) spec = &t;
        if (!spec) mapper.FailAt(table.line, "unknown table [" + table.name + "]");
        if (table.name == "flash_player") {
            hasFlashPlayerTable = true;
            manifest.flashPlayer = FlashPlayerRequirement{{9, 0, 0, 0}, {}};
        }
        for (const TomlEntry& entry : table.entries) {
            mapper.Enter(table, entry);
            Apply apply = spec->anyKey;
            for (const KeySpec& key : spec->keys)
                if (entry.key == key.name) apply = key.apply;
            if (!apply) mapper.Fail("unknown key '" + entry.key + "' in [" + table.name + "]");
            apply(mapper, entry.value);
        }
    }
    Finish(mapper, hasFlashPlayerTable);
    return manifest;
}

}  // namespace velmo::builder
