#pragma once
// The texts the Application object reads and writes for the system: the items of a command line
// and the exit hot key as a user writes it ("CTRL+ALT+F4"). Pure text work, apart from the key
// names, which the caller supplies.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::host {

// The arguments of `commandLine`: items are separated by spaces and tabs; an item that begins with
// a double quotation mark runs to the next one, one that begins with an apostrophe to the next
// apostrophe (the marks belong to no item, and an unclosed mark runs to the end); any other item
// runs to the next space, so a tab inside it stays. The first item (the program) is dropped, then
// every empty item.
std::vector<std::string> CommandLineItems(std::string_view commandLine);

// The exit hot key as the settings keep it: a virtual-key code and modifier bits.
inline constexpr uint16_t kHotKeyShift = 0x1;
inline constexpr uint16_t kHotKeyCtrl = 0x2;
inline constexpr uint16_t kHotKeyAlt = 0x4;
inline constexpr uint16_t kHotKeyExtended = 0x8;
struct HotKey {
    uint16_t key = 0;
    uint16_t modifiers = 0;
    bool operator==(const HotKey&) const = default;
};

// Reads "ctrl+shift+q": the parts between "+" name modifiers (CTRL, SHIFT, ALT) or the key ("ins"
// or "insert", "home", "end", "num 0" to "num 9", "f1" to "f12", else the upper-cased first
// character), all without regard to case; the last key part wins, together with its extended flag.
// The whole text "None" is the empty hot key, so that what reading gives can be written back.
HotKey ParseHotKeyText(std::string_view text);

// Writes the hot key back: "None" when empty, else the set modifiers in the order CTRL, SHIFT, ALT
// joined by "+", then, after a "+" when modifiers were written, `keyName` of the key (with the
// extended flag).
using KeyNamer = std::function<std::string(uint32_t virtualKey, bool extended)>;
std::string HotKeyText(HotKey hotKey, const KeyNamer& keyName);

}  // namespace velmo::host
