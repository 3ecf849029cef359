#pragma once
// The type texts of native declarations ("int", "unsigned short*", "Point*", "void") and the
// in-memory shape of each scalar type. The sizes are those of the Windows x64 ABI on every target:
// "long" is 4 bytes (as on Windows, where the imported functions come from; a 64-bit C long of a
// Linux library is "int64"), "Boolean" is the 4-byte BOOL of the Windows API, "pointer" and
// "String" (a char*) are 8 bytes. Every type aligns to its own size.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmo::host {

enum class NativeKind : uint8_t {
    Char,
    Short,
    Long,
    Int,
    Int64,
    Float,
    Double,
    Pointer,
    String,
    Boolean,
    Void,
    Struct
};

struct NativeType {
    NativeKind kind = NativeKind::Void;
    bool isUnsigned = false;
    bool isPointer = false;  // written with a trailing "*"
    std::string structName;  // for NativeKind::Struct: the global that holds the layout
};

// Reads "[unsigned ]WORD[*]": WORD one of the type words or, for any other identifier, a
// structure name. "unsigned" goes only with the five integer words. nullopt for anything else
// (no word, stray blanks, "**", a word that is no identifier).
std::optional<NativeType> ParseNativeType(std::string_view text);

// The text a type is written as, for messages: the inverse of ParseNativeType.
std::string NativeTypeText(const NativeType& type);

// Bytes one value of a scalar kind takes (Void and Struct: 0). A pointer type ("T*") always takes
// kPointerBytes, whatever T is.
inline constexpr size_t kPointerBytes = 8;
size_t ScalarBytes(NativeKind kind);
// The kind's bytes in a structure or an argument: a pointer type takes a pointer.
inline size_t StorageBytes(const NativeType& type) { return type.isPointer ? kPointerBytes : ScalarBytes(type.kind); }

bool IsIntegerKind(NativeKind kind);

}  // namespace velmo::host
