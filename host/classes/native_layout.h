#pragma once
// Structure layouts for native calls, read from the XML text a structure declaration stores in
// the global of its name:
//   <Point type="struct"><x type="int"></x><name type="char" count="16"></name></Point>
// Members are laid out in order with natural alignment (each at a multiple of its own alignment,
// the structure aligned to its largest member and padded to a multiple of that), as the C
// compilers of both targets lay out a plain struct. A member whose type names another structure
// ("RGB", "RGB*") takes that structure's layout from the global of that name, through a
// LayoutSource; members written as type="struct" or "struct*" carry their members inline.
// The text comes from scripts, so nothing in it is trusted: depth, member count and size are
// bounded, and a layout that refers to itself ends at the depth bound with an error.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/classes/native_types.h"

namespace velmo::host {

inline constexpr int kMaxLayoutDepth = 8;           // structures within structures
inline constexpr size_t kMaxLayoutFields = 1024;    // members of one layout, nested ones included
inline constexpr size_t kMaxLayoutBytes = 1 << 20;  // the size of one structure
inline constexpr uint32_t kMaxLayoutCount = 65536;  // elements of one array member

struct NativeStruct;

struct NativeField {
    std::string name;  // the member's name in the 8-bit code page: the script property it maps to
    // A member written type="struct" or "struct*" has kind Struct and an empty structName.
    NativeType type;
    uint32_t count = 0;  // elements of an array member; 0 for a single value
    size_t offset = 0;
    size_t elementBytes = 0;
    // For a Struct member: the structure held inline or, for "T*", pointed at.
    std::unique_ptr<NativeStruct> layout;
};

struct NativeStruct {
    std::string name;
    size_t size = 0;
    size_t alignment = 1;
    std::vector<NativeField> fields;
};

// The XML text of a structure name (the String in the global of that name); nullopt when there is
// none.
using LayoutSource = std::function<std::optional<std::u16string>(std::string_view name)>;

struct LayoutResult {
    std::unique_ptr<NativeStruct> layout;  // null on failure
    std::string error;                     // why, for the warning
};

// Reads one structure description.
LayoutResult ParseNativeLayout(std::u16string_view xml, const LayoutSource& source);
// The layout of structure `name`: its global's text, read by ParseNativeLayout.
LayoutResult LayoutOfStructure(std::string_view name, const LayoutSource& source);

}  // namespace velmo::host
