#include "platform/common/accelerator_text.h"

#include <cstdio>
#include <vector>

#include "platform/window.h"

namespace velmo::platform {

namespace {

struct KeyName {
    std::string_view name;
    uint32_t key;
};
// The first name of a key is the one AcceleratorText writes.
constexpr KeyName kKeyNames[] = {
    {"Enter", 0x0D},     {"Return", 0x0D}, {"Esc", 0x1B},    {"Escape", 0x1B}, {"Tab", 0x09},      {"Space", 0x20},
    {"Backspace", 0x08}, {"Del", 0x2E},    {"Delete", 0x2E}, {"Ins", 0x2D},    {"Insert", 0x2D},   {"Home", 0x24},
    {"End", 0x23},       {"PgUp", 0x21},   {"PageUp", 0x21}, {"PgDn", 0x22},   {"PageDown", 0x22}, {"Left", 0x25},
    {"Up", 0x26},        {"Right", 0x27},  {"Down", 0x28},
};
constexpr uint32_t kFirstFunctionKey = 0x70;  // F1; F24 is 0x87
constexpr int kFunctionKeys = 24;

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view part) {
    while (!part.empty() && (part.front() == ' ' || part.front() == '\t')) part.remove_prefix(1);
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) part.remove_suffix(1);
    return part;
}

std::optional<uint32_t> ModifierOf(std::string_view part) {
    if (SameText(part, "Ctrl") || SameText(part, "Control")) return kModifierControl;
    if (SameText(part, "Shift")) return kModifierShift;
    if (SameText(part, "Alt")) return kModifierAlt;
    return std::nullopt;
}

std::optional<uint32_t> KeyOf(std::string_view part) {
    if (part.size() == 1) {
        const char c = part[0];
        if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<uint32_t>(c);
        return std::nullopt;
    }
    for (const KeyName& name : kKeyNames)
        if (SameText(part, name.name)) return name.key;
    if (part.size() <= 3 && (part[0] == 'F' || part[0] == 'f')) {
        int number = 0;
        for (const char c : part.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
            number = number * 10 + (c - '0');
        }
        if (part[1] != '0' && number >= 1 && number <= kFunctionKeys)
            return kFirstFunctionKey + static_cast<uint32_t>(number - 1);
    }
    return std::nullopt;
}

}  // namespace

// Every part but the last is a modifier; the last is the key.
std::optional<KeyChord> ParseAcceleratorText(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t plus = text.find('+'); plus != std::string_view::npos; plus = text.find('+', start)) {
        parts.push_back(Trimmed(text.substr(start, plus - start)));
        start = plus + 1;
    }
    parts.push_back(Trimmed(text.substr(start)));
    KeyChord chord;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::optional<uint32_t> modifier = ModifierOf(parts[i]);
        if (!modifier || (chord.modifiers & *modifier)) return std::nullopt;
        chord.modifiers |= *modifier;
    }
    const std::optional<uint32_t> key = KeyOf(parts.back());
    if (!key) return std::nullopt;
    chord.key = *key;
    return chord;
}

std::string AcceleratorText(uint32_t modifiers, uint32_t key) {
    std::string text;
    if (modifiers & kModifierControl) text += "Ctrl+";
    if (modifiers & kModifierShift) text += "Shift+";
    if (modifiers & kModifierAlt) text += "Alt+";
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return text + static_cast<char>(key);
    if (key >= kFirstFunctionKey && key < kFirstFunctionKey + kFunctionKeys)
        return text + "F" + std::to_string(key - kFirstFunctionKey + 1);
    for (const KeyName& name : kKeyNames)
        if (name.key == key) return text + std::string(name.name);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", key);
    return text + hex;
}

}  // namespace velmo::platform
