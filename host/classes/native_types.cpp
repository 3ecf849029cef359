#include "host/classes/native_types.h"

#include <array>

namespace velmo::host {

namespace {

struct KindWord {
    std::string_view word;
    NativeKind kind;
};
constexpr std::array<KindWord, 11> kKindWords = {{
    {"char", NativeKind::Char},
    {"short", NativeKind::Short},
    {"long", NativeKind::Long},
    {"int", NativeKind::Int},
    {"int64", NativeKind::Int64},
    {"float", NativeKind::Float},
    {"double", NativeKind::Double},
    {"pointer", NativeKind::Pointer},
    {"String", NativeKind::String},
    {"Boolean", NativeKind::Boolean},
    {"void", NativeKind::Void},
}};

bool IsIdentifier(std::string_view word) {
    if (word.empty()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
        const bool digit = c >= '0' && c <= '9';
        // Bytes of a non-ASCII name (in the 8-bit code page) are letters to the lexer as well.
        if (!letter && !(digit && i > 0) && static_cast<unsigned char>(c) < 0x80) return false;
    }
    return true;
}

}  // namespace

bool IsIntegerKind(NativeKind kind) {
    switch (kind) {
        case NativeKind::Char:
        case NativeKind::Short:
        case NativeKind::Long:
        case NativeKind::Int:
        case NativeKind::Int64: return true;
        default: return false;
    }
}

std::optional<NativeType> ParseNativeType(std::string_view text) {
    NativeType type;
    constexpr std::string_view kUnsigned = "unsigned ";
    if (text.starts_with(kUnsigned)) {
        type.isUnsigned = true;
        text.remove_prefix(kUnsigned.size());
    }
    if (text.ends_with('*')) {
        type.isPointer = true;
        text.remove_suffix(1);
    }
    if (!IsIdentifier(text)) return std::nullopt;
    type.kind = NativeKind::Struct;
    for (const KindWord& entry : kKindWords)
        if (entry.word == text) type.kind = entry.kind;
    if (type.kind == NativeKind::Struct) {
        if (text == "unsigned" || text == "struct") return std::nullopt;
        type.structName = std::string(text);
    }
    if (type.isUnsigned && !IsIntegerKind(type.kind)) return std::nullopt;
    return type;
}

std::string NativeTypeText(const NativeType& type) {
    std::string text = type.isUnsigned ? "unsigned " : "";
    if (type.kind == NativeKind::Struct) text += type.structName;
    else
        for (const KindWord& entry : kKindWords)
            if (entry.kind == type.kind) text += entry.word;
    if (type.isPointer) text += '*';
    return text;
}

size_t ScalarBytes(NativeKind kind) {
    switch (kind) {
        case NativeKind::Char: return 1;
        case NativeKind::Short: return 2;
        case NativeKind::Long:
        case NativeKind::Int:
        case NativeKind::Float:
        case NativeKind::Boolean: return 4;
        case NativeKind::Int64:
        case NativeKind::Double: return 8;
        case NativeKind::Pointer:
        case NativeKind::String: return kPointerBytes;
        case NativeKind::Void:
        case NativeKind::Struct: break;
    }
    return 0;
}

}  // namespace velmo::host
