#pragma once
// The one cell every stack slot, property, global, constant and argument uses: a u32 tag and an
// 8-byte payload. Cells are copied by value and never counted; what a payload points at lives on
// the interpreter's collected heap and stays alive only while a root reaches it (see pinned.h).

#include <cstdint>
#include <type_traits>

#include "platform/check.h"

namespace velmo::script {

enum class Tag : uint32_t {
    Undefined = 0,
    Null = 1,
    Boolean = 2,
    Integer = 3,
    String = 4,
    Number = 5,
    Array = 6,
    Object = 7,
    Reserved8 = 8,  // nothing creates these two; they compare equal and convert to nothing
    Reserved9 = 9,
    Name = 10,
    HostObject = 11,
    Function = 12,
    NaN = 13,
    FrameMark = 14,  // frame bookkeeping, on the value stack only
    CallMark = 15,
};
inline constexpr uint32_t kTagCount = 16;
inline constexpr uint32_t kTypeClassCount = 15;  // tags 0 to 14 may have a class

struct StringRecord;
struct ArrayRecord;
struct ObjectRecord;
struct HostRecord;
struct FunctionRecord;

struct Value {
    Tag tag = Tag::Undefined;
    union Payload {
        int64_t i;
        double d;
        void* p;
        uint32_t nameId;
    } payload{.i = 0};

    static Value Undefined() { return {}; }
    static Value Null() { return Make(Tag::Null); }
    static Value NaN() { return Make(Tag::NaN); }
    static Value Boolean(bool b) {
        Value v = Make(Tag::Boolean);
        v.payload.i = b ? 1 : 0;
        return v;
    }
    static Value Integer(int64_t i) {
        Value v = Make(Tag::Integer);
        v.payload.i = i;
        return v;
    }
    static Value Number(double d) {
        Value v = Make(Tag::Number);
        v.payload.d = d;
        return v;
    }
    static Value Name(uint32_t id) {
        Value v = Make(Tag::Name);
        v.payload.i = 0;
        v.payload.nameId = id;
        return v;
    }
    static Value String(StringRecord* s) { return Pointer(Tag::String, s); }
    static Value Array(ArrayRecord* a) { return Pointer(Tag::Array, a); }
    static Value Object(ObjectRecord* o) { return Pointer(Tag::Object, o); }
    static Value Host(HostRecord* h) { return Pointer(Tag::HostObject, h); }
    static Value Function(FunctionRecord* f) { return Pointer(Tag::Function, f); }

    bool Is(Tag t) const { return tag == t; }
    bool IsNumeric() const { return tag == Tag::Integer || tag == Tag::Number || tag == Tag::NaN; }
    bool IsPrimitive() const { return static_cast<uint32_t>(tag) <= 5 || tag == Tag::NaN; }

    bool AsBoolean() const {
        VELMO_ASSERT(tag == Tag::Boolean);
        return (payload.i & 0xFFFFFFFF) != 0;
    }
    int64_t AsInteger() const {
        VELMO_ASSERT(tag == Tag::Integer);
        return payload.i;
    }
    double AsNumber() const {
        VELMO_ASSERT(tag == Tag::Number);
        return payload.d;
    }
    uint32_t AsNameId() const {
        VELMO_ASSERT(tag == Tag::Name);
        return payload.nameId;
    }
    StringRecord* AsString() const {
        VELMO_ASSERT(tag == Tag::String);
        return static_cast<StringRecord*>(payload.p);
    }
    ArrayRecord* AsArray() const {
        VELMO_ASSERT(tag == Tag::Array);
        return static_cast<ArrayRecord*>(payload.p);
    }
    ObjectRecord* AsObject() const {
        VELMO_ASSERT(tag == Tag::Object);
        return static_cast<ObjectRecord*>(payload.p);
    }
    HostRecord* AsHost() const {
        VELMO_ASSERT(tag == Tag::HostObject);
        return static_cast<HostRecord*>(payload.p);
    }
    FunctionRecord* AsFunction() const {
        VELMO_ASSERT(tag == Tag::Function);
        return static_cast<FunctionRecord*>(payload.p);
    }

private:
    static Value Make(Tag t) {
        Value v;
        v.tag = t;
        return v;
    }
    static Value Pointer(Tag t, void* p) {
        Value v = Make(t);
        v.payload.p = p;
        return v;
    }
};
static_assert(sizeof(Value) == 16 && std::is_trivially_copyable_v<Value> && std::is_standard_layout_v<Value>);

}  // namespace velmo::script
