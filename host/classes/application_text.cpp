#include "host/classes/application_text.h"

#include <algorithm>
#include <array>

#include "platform/text.h"

namespace velmo::host {

std::vector<std::string> CommandLineItems(std::string_view line) {
    std::vector<std::string> items;
    size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ' || line[at] == '\t') {
            ++at;
            continue;
        }
        const char mark = line[at];
        if (mark == '"' || mark == '\'') {
            const size_t end = line.find(mark, at + 1);
            const size_t stop = end == std::string_view::npos ? line.size() : end;
            items.emplace_back(line.substr(at + 1, stop - at - 1));
            at = end == std::string_view::npos ? line.size() : end + 1;
        } else {
            const size_t end = std::min(line.find(' ', at), line.size());
            items.emplace_back(line.substr(at, end - at));
            at = end;
        }
    }
    if (!items.empty()) items.erase(items.begin());
    std::erase_if(items, [](const std::string& item) { return item.empty(); });
    return items;
}

namespace {

constexpr uint16_t kInsertKey = 0x2D, kHomeKey = 0x24, kEndKey = 0x23;
constexpr uint16_t kNumPad0 = 0x60, kF1 = 0x70;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A key part: its code and whether it is a key of the extended block.
HotKey KeyOfPart(std::string_view part) {
    const auto is = [&](std::string_view name) { return platform::AnsiEqualNoCase(part, name); };
    // "Insert" too: it is what reading gives, and it must not come back as the key I.
    if (is("ins") || is("insert")) return {kInsertKey, kHotKeyExtended};
    if (is("home")) return {kHomeKey, kHotKeyExtended};
    if (is("end")) return {kEndKey, kHotKeyExtended};
    for (uint16_t n = 0; n <= 9; ++n)
        if (is("num " + std::to_string(n))) return {static_cast<uint16_t>(kNumPad0 + n), 0};
    for (uint16_t n = 1; n <= 12; ++n)
        if (is("f" + std::to_string(n))) return {static_cast<uint16_t>(kF1 + n - 1), 0};
    return {static_cast<uint8_t>(Upper(part.front())), 0};
}

}  // namespace

HotKey ParseHotKeyText(std::string_view text) {
    HotKey hotKey;
    if (platform::AnsiEqualNoCase(text, "None")) return hotKey;
    uint16_t modifiers = 0;
    HotKey key;
    size_t at = 0;
    for (;;) {
        const size_t plus = text.find('+', at);
        const std::string_view part = text.substr(at, plus == std::string_view::npos ? plus : plus - at);
        if (platform::AnsiEqualNoCase(part, "CTRL")) modifiers |= kHotKeyCtrl;
        else if (platform::AnsiEqualNoCase(part, "SHIFT")) modifiers |= kHotKeyShift;
        else if (platform::AnsiEqualNoCase(part, "ALT")) modifiers |= kHotKeyAlt;
        else if (!part.empty()) key = KeyOfPart(part);
        if (plus == std::string_view::npos) break;
        at = plus + 1;
    }
    return {key.key, static_cast<uint16_t>(modifiers | key.modifiers)};
}

std::string HotKeyText(HotKey hotKey, const KeyNamer& keyName) {
    static constexpr std::array<std::pair<uint16_t, std::string_view>, 3> kModifierNames = {
        {{kHotKeyCtrl, "CTRL"}, {kHotKeyShift, "SHIFT"}, {kHotKeyAlt, "ALT"}}};
    const uint16_t modifiers = hotKey.modifiers & (kHotKeyCtrl | kHotKeyShift | kHotKeyAlt);
    if (hotKey.key == 0 && modifiers == 0) return "None";
    std::string text;
    for (const auto& [bit, name] : kModifierNames) {
        if (!(modifiers & bit)) continue;
        if (!text.empty()) text += '+';
        text += name;
    }
    if (hotKey.key == 0) return text;
    if (!text.empty()) text += '+';
    return text + keyName(hotKey.key, (hotKey.modifiers & kHotKeyExtended) != 0);
}

}  // namespace velmo::host
