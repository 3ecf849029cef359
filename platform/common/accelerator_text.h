#pragma once
// Key texts of accelerators, as menu items show them and authors write them: modifiers and one key
// joined by "+", such as "Ctrl+O", "Ctrl+Shift+F5", "Alt+Enter", "Del". Modifiers are Ctrl (or
// Control), Shift and Alt; the key is a letter, a digit, F1 to F24, or one of Enter (Return), Esc
// (Escape), Tab, Space, Backspace, Del (Delete), Ins (Insert), Home, End, PgUp (PageUp), PgDn
// (PageDown), Left, Up, Right, Down. Letters in any case; blanks around the parts are ignored.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmo::platform {

struct KeyChord {
    uint32_t modifiers = 0;  // kModifierShift, kModifierControl, kModifierAlt
    uint32_t key = 0;        // the system's virtual-key code
    bool operator==(const KeyChord&) const = default;
};

// None for a text that names no key, repeats a modifier or has a part it does not know.
std::optional<KeyChord> ParseAcceleratorText(std::string_view text);
// The text ParseAcceleratorText reads back: modifiers in the order Ctrl, Shift, Alt, and the
// key's short name ("Ctrl+Shift+F5"); "0x.." for a key without a name.
std::string AcceleratorText(uint32_t modifiers, uint32_t key);

}  // namespace velmo::platform
