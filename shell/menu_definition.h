#pragma once
// Menu definitions: the menus an application carries ready-made, one resource of type "MENUS" per
// definition, named by it and stored as a resource blob. The decoded bytes are a serialised stream
// of little-endian u32 numbers and length-prefixed 8-bit texts (one length byte; 0xFF announces a
// u16 length, and a u16 of 0xFFFF a u32 length): a header of three numbers and three texts (not
// used), the count of top-level items, and the items. An item is its flags (2: a popup with
// children), two unused numbers, its name, caption and accelerator text, and, for a popup only, the
// count of its children and the children. An item with neither name nor caption is a separator.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmo::shell {

inline constexpr const char* kMenuResourceType = "MENUS";
inline constexpr uint32_t kMenuItemPopup = 0x2;
// Popups deeper than this make a definition unreadable: the system itself stops far earlier.
inline constexpr int kMaxMenuDepth = 16;

struct MenuDefinitionItem {
    uint32_t flags = 0;
    std::string name, caption, accelerator;  // 8-bit texts
    std::vector<MenuDefinitionItem> children;
    bool IsPopup() const { return (flags & kMenuItemPopup) != 0; }
    bool IsSeparator() const { return !IsPopup() && name.empty() && caption.empty(); }
    bool operator==(const MenuDefinitionItem&) const = default;
};

// None when the bytes end early, a length or count runs past them, popups nest deeper than
// kMaxMenuDepth, or bytes are left over.
std::optional<std::vector<MenuDefinitionItem>> ReadMenuDefinition(std::span<const uint8_t> bytes);
std::vector<uint8_t> WriteMenuDefinition(const std::vector<MenuDefinitionItem>& items);

}  // namespace velmo::shell
