#include "host/classes/native_marshal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/objects.h"
#include "script/runtime/strings.h"

namespace velmo::host {

using script::Tag;
using script::Value;

namespace {

bool IsNothing(const Value& v) { return v.Is(Tag::Null) || v.Is(Tag::Undefined); }
bool IsCharKind(const NativeType& type) { return type.kind == NativeKind::Char && !type.isPointer; }

std::optional<int64_t> IntegerOf(const Value& v) {
    if (v.Is(Tag::Integer) || v.Is(Tag::Number)) return script::ToInteger64Numeric(v);
    if (v.Is(Tag::Boolean)) return v.AsBoolean() ? 1 : 0;
    if (v.Is(Tag::NaN) || IsNothing(v)) return 0;
    return std::nullopt;
}

std::optional<double> DoubleOf(const Value& v) {
    if (v.Is(Tag::Integer)) return static_cast<double>(v.AsInteger());
    if (v.Is(Tag::Number)) return v.AsNumber();
    if (v.Is(Tag::Boolean)) return v.AsBoolean() ? 1.0 : 0.0;
    if (v.Is(Tag::NaN)) return std::nan("");
    if (IsNothing(v)) return 0.0;
    return std::nullopt;
}

// Little-endian on both targets: the low bytes of the 64-bit value are the narrow integer.
void StoreLow(uint8_t* at, uint64_t bits, size_t bytes) { std::memcpy(at, &bits, bytes); }

int64_t LoadInteger(const uint8_t* at, size_t bytes, bool isUnsigned) {
    uint64_t bits = 0;
    std::memcpy(&bits, at, bytes);
    if (isUnsigned || bytes == 8) return static_cast<int64_t>(bits);
    const unsigned shift = static_cast<unsigned>(64 - 8 * bytes);
    return static_cast<int64_t>(bits << shift) >> shift;
}

Value NumberValue(double d) { return std::isnan(d) ? Value::NaN() : Value::Number(d); }

template <class T>
T* PointerAt(const uint8_t* at) {
    uintptr_t address = 0;
    std::memcpy(&address, at, sizeof address);
    return reinterpret_cast<T*>(address);
}

}  // namespace

size_t NativeFrame::ElementBytes(Element element) {
    if (element.type.isPointer) return kPointerBytes;
    return element.type.kind == NativeKind::Struct ? element.layout->size : ScalarBytes(element.type.kind);
}

Value TextAt(script::Interpreter& interp, const char* address) {
    if (!address) return Value::Null();
    return script::StringValue(interp, platform::AnsiToUtf16(address));
}

// ---- Storing ----

uint8_t* NativeFrame::Allocate(size_t bytes) {
    if (bytes > kMaxFrameBytes - bytes_) return nullptr;
    bytes_ += bytes;
    // Value-initialised: a buffer starts as zeros, so members the script leaves out read as 0.
    blocks_.push_back(std::make_unique<uint8_t[]>(bytes ? bytes : 1));
    return blocks_.back().get();
}

bool NativeFrame::Fail(std::string problem) {
    if (problem_.empty()) problem_ = std::move(problem);
    return false;
}

bool NativeFrame::StoreArgument(const NativeSlotType& slot, const Value& value, uint64_t& cell) {
    auto* at = reinterpret_cast<uint8_t*>(&cell);
    cell = 0;
    if (slot.type.isPointer || slot.type.kind == NativeKind::Struct) {
        NativeType pointee = slot.type;
        pointee.isPointer = false;
        return StorePointer({pointee, slot.layout.get()}, value, at);
    }
    return StoreScalar(slot.type, value, at);
}

bool NativeFrame::StoreElement(Element element, const Value& value, uint8_t* at) {
    if (element.type.isPointer) {
        NativeType pointee = element.type;
        pointee.isPointer = false;
        return StorePointer({pointee, element.layout}, value, at);
    }
    if (element.type.kind == NativeKind::Struct) {
        if (IsNothing(value)) return true;
        if (!value.Is(Tag::Object)) return Fail("an object was expected");
        return StoreStruct(*element.layout, value, at);
    }
    return StoreScalar(element.type, value, at);
}

bool NativeFrame::StoreScalar(const NativeType& type, const Value& value, uint8_t* at) {
    const size_t bytes = ScalarBytes(type.kind);
    if (IsIntegerKind(type.kind)) {
        const std::optional<int64_t> n = IntegerOf(value);
        if (!n) return Fail("a number was expected");
        StoreLow(at, static_cast<uint64_t>(*n), bytes);
        return true;
    }
    switch (type.kind) {
        case NativeKind::Float:
        case NativeKind::Double: {
            const std::optional<double> d = DoubleOf(value);
            if (!d) return Fail("a number was expected");
            if (type.kind == NativeKind::Float) {
                const float f = static_cast<float>(*d);
                std::memcpy(at, &f, sizeof f);
            } else {
                std::memcpy(at, &*d, sizeof *d);
            }
            return true;
        }
        case NativeKind::Boolean: StoreLow(at, script::ToBoolean(value) ? 1 : 0, bytes); return true;
        case NativeKind::Pointer:
            if (IsNothing(value)) return true;
            if (!value.Is(Tag::Integer)) return Fail("an address (an integer) was expected");
            StoreLow(at, static_cast<uint64_t>(value.AsInteger()), bytes);
            return true;
        case NativeKind::String: {
            if (IsNothing(value)) return true;
            if (!value.Is(Tag::String)) return Fail("a string was expected");
            const std::string ansi = platform::Utf16ToAnsi(script::Text(value.AsString()));
            uint8_t* copy = Allocate(ansi.size() + 1);
            if (!copy) return Fail("the values are too large");
            std::memcpy(copy, ansi.data(), ansi.size());
            StoreLow(at, reinterpret_cast<uintptr_t>(copy), bytes);
            return true;
        }
        default: return Fail("a value of type " + NativeTypeText(type) + " cannot be passed");
    }
}

// A pointer to `pointee`: the address of a buffer made from an Object or an Array, an Integer
// address as it is, or null.
bool NativeFrame::StorePointer(Element pointee, const Value& value, uint8_t* at) {
    if (IsNothing(value)) return true;
    uintptr_t address = 0;
    if (value.Is(Tag::Integer)) {
        address = static_cast<uintptr_t>(value.AsInteger());
    } else if (value.Is(Tag::String) && IsCharKind(pointee.type)) {
        // A writable copy; a String cannot change, so nothing is read back.
        NativeType text = pointee.type;
        text.kind = NativeKind::String;
        return StoreScalar(text, value, at);
    } else if (value.Is(Tag::Array)) {
        const uint64_t length = value.AsArray()->length;
        const size_t elementBytes = std::max<size_t>(ElementBytes(pointee), 1);
        if (length > kMaxFrameBytes / elementBytes) return Fail("the array is too long");
        const size_t count = length ? static_cast<size_t>(length) : 1;
        uint8_t* buffer = Allocate(count * elementBytes);
        if (!buffer) return Fail("the array is too long");
        if (!StoreArray(pointee, value, count, buffer)) return false;
        reads_.push_back({value, pointee.type, pointee.layout, buffer, count});
        address = reinterpret_cast<uintptr_t>(buffer);
    } else if (value.Is(Tag::Object) && pointee.type.kind == NativeKind::Struct) {
        uint8_t* buffer = Allocate(pointee.layout->size);
        if (!buffer) return Fail("the values are too large");
        if (!StoreStruct(*pointee.layout, value, buffer)) return false;
        reads_.push_back({value, pointee.type, pointee.layout, buffer, 0});
        address = reinterpret_cast<uintptr_t>(buffer);
    } else if (value.Is(Tag::Object)) {
        return StoreBox(pointee, value, at);
    } else {
        return Fail("an object, an array or an address was expected");
    }
    StoreLow(at, address, kPointerBytes);
    return true;
}

// {value: v} for a pointer to a scalar. A char box holding a String is a text buffer of the
// text's length plus its zero, or of the box's "size" when that is larger.
bool NativeFrame::StoreBox(Element pointee, const Value& box, uint8_t* at) {
    const Value content = Property(box, "value");
    size_t bytes = ScalarBytes(pointee.type.kind);
    std::string text;
    if (IsCharKind(pointee.type) && content.Is(Tag::String)) {
        text = platform::Utf16ToAnsi(script::Text(content.AsString()));
        const Value size = Property(box, "size");
        bytes = text.size() + 1;
        if (size.Is(Tag::Integer) && size.AsInteger() > 0 && static_cast<uint64_t>(size.AsInteger()) > bytes) {
            if (static_cast<uint64_t>(size.AsInteger()) > kMaxFrameBytes) return Fail("the box's size is too large");
            bytes = static_cast<size_t>(size.AsInteger());
        }
    }
    uint8_t* buffer = Allocate(bytes);
    if (!buffer) return Fail("the values are too large");
    if (!text.empty()) std::memcpy(buffer, text.data(), text.size());
    else if (!content.Is(Tag::String) || !IsCharKind(pointee.type))
        if (!StoreScalar(pointee.type, content, buffer)) return false;
    reads_.push_back({box, pointee.type, pointee.layout, buffer, bytes});
    StoreLow(at, reinterpret_cast<uintptr_t>(buffer), kPointerBytes);
    return true;
}

bool NativeFrame::StoreArray(Element element, const Value& array, size_t count, uint8_t* at) {
    const size_t elementBytes = ElementBytes(element);
    for (size_t i = 0; i < count; ++i) {
        const Value* item = script::GetElement(array.AsArray(), i);
        if (!item) continue;
        const Value copy = *item;
        if (!StoreElement(element, copy, at + i * elementBytes)) {
            problem_ = "element " + std::to_string(i) + ": " + problem_;
            return false;
        }
    }
    return true;
}

bool NativeFrame::StoreStruct(const NativeStruct& layout, const Value& object, uint8_t* at) {
    for (const NativeField& field : layout.fields)
        if (!StoreField(field, Property(object, field.name), at + field.offset)) {
            problem_ = "member \"" + field.name + "\": " + problem_;
            return false;
        }
    return true;
}

bool NativeFrame::StoreField(const NativeField& field, const Value& value, uint8_t* at) {
    const Element element{field.type, field.layout.get()};
    if (field.count == 0) return StoreElement(element, value, at);
    if (IsNothing(value)) return true;
    if (value.Is(Tag::String) && IsCharKind(field.type)) {
        // At most count - 1 bytes, so that the text always ends in a zero.
        const std::string ansi = platform::Utf16ToAnsi(script::Text(value.AsString()));
        std::memcpy(at, ansi.data(), std::min<size_t>(ansi.size(), field.count - 1));
        return true;
    }
    if (!value.Is(Tag::Array)) return Fail("an array was expected");
    return StoreArray(element, value, field.count, at);
}

// ---- Reading back ----

Value NativeFrame::Property(const Value& object, const std::string& name) {
    Value out;
    if (object.Is(Tag::Object))
        (void)script::GetOwnOrInherited(interp_, object.AsObject(), script::Intern(interp_, name), out);
    return out;
}

void NativeFrame::WriteBack() {
    for (const PendingRead& read : reads_) {
        const Element element{read.type, read.layout};
        if (read.target.Is(Tag::Array)) {
            (void)LoadArray(element, read.buffer, read.count, read.target);
        } else if (read.type.kind == NativeKind::Struct) {
            (void)LoadStruct(*read.layout, read.buffer, read.target);
        } else {
            const Value old = Property(read.target, "value");
            // A text box reads back its text, within its buffer.
            const Value now = IsCharKind(read.type) && old.Is(Tag::String)
                                  ? script::StringValue(
                                        interp_, platform::AnsiToUtf16(std::string(
                                                     reinterpret_cast<const char*>(read.buffer),
                                                     strnlen(reinterpret_cast<const char*>(read.buffer), read.count))))
                                  : LoadScalar(read.type, read.buffer);
            script::SetOwn(interp_, read.target.AsObject(), script::Intern(interp_, "value"), now);
        }
    }
}

Value NativeFrame::LoadResult(const NativeSlotType& slot, const uint64_t& cell) {
    const auto* at = reinterpret_cast<const uint8_t*>(&cell);
    if (slot.type.kind == NativeKind::Void && !slot.type.isPointer) return Value::Undefined();
    if (slot.type.kind == NativeKind::Struct) {
        const uint8_t* address = PointerAt<const uint8_t>(at);
        return address ? LoadStruct(*slot.layout, address, Value::Undefined()) : Value::Null();
    }
    if (slot.type.isPointer) return Value::Integer(LoadInteger(at, kPointerBytes, false));
    // Narrow integers come widened to 64 bits; only the type's own low bytes count.
    return LoadScalar(slot.type, at);
}

Value NativeFrame::LoadElement(Element element, const uint8_t* at, const Value& old) {
    if (element.type.isPointer) {
        // A buffer made from an Object or an Array is read back into it on its own.
        if (old.Is(Tag::Object) || old.Is(Tag::Array)) return old;
        return Value::Integer(static_cast<int64_t>(reinterpret_cast<uintptr_t>(PointerAt<void>(at))));
    }
    if (element.type.kind == NativeKind::Struct) return LoadStruct(*element.layout, at, old);
    return LoadScalar(element.type, at);
}

Value NativeFrame::LoadScalar(const NativeType& type, const uint8_t* at) {
    const size_t bytes = ScalarBytes(type.kind);
    if (IsIntegerKind(type.kind)) return Value::Integer(LoadInteger(at, bytes, type.isUnsigned));
    switch (type.kind) {
        case NativeKind::Float: {
            float f;
            std::memcpy(&f, at, sizeof f);
            return NumberValue(f);
        }
        case NativeKind::Double: {
            double d;
            std::memcpy(&d, at, sizeof d);
            return NumberValue(d);
        }
        case NativeKind::Boolean: return Value::Boolean(LoadInteger(at, bytes, false) != 0);
        case NativeKind::Pointer: return Value::Integer(LoadInteger(at, bytes, false));
        case NativeKind::String: return TextAt(interp_, PointerAt<const char>(at));
        default: return Value::Undefined();
    }
}

Value NativeFrame::LoadArray(Element element, const uint8_t* at, size_t count, const Value& old) {
    script::ArrayRecord* array = old.Is(Tag::Array) ? old.AsArray() : script::NewArray(interp_, count);
    const size_t elementBytes = ElementBytes(element);
    for (size_t i = 0; i < count; ++i) {
        const Value* item = script::GetElement(array, i);
        const Value previous = item ? *item : Value::Undefined();
        script::PutElement(interp_, array, LoadElement(element, at + i * elementBytes, previous), i);
    }
    if (array->length < count) script::SetLength(interp_, array, count);  // a shorter Array given
    return Value::Array(array);
}

Value NativeFrame::LoadStruct(const NativeStruct& layout, const uint8_t* at, const Value& old) {
    script::ObjectRecord* object = old.Is(Tag::Object) ? old.AsObject() : script::NewObject(interp_);
    const Value target = Value::Object(object);
    for (const NativeField& field : layout.fields) {
        const Value previous = Property(target, field.name);
        script::SetOwn(interp_, object, script::Intern(interp_, field.name),
                       LoadField(field, at + field.offset, previous));
    }
    return target;
}

Value NativeFrame::LoadField(const NativeField& field, const uint8_t* at, const Value& old) {
    const Element element{field.type, field.layout.get()};
    if (field.count == 0) return LoadElement(element, at, old);
    if (IsCharKind(field.type) && !old.Is(Tag::Array)) {
        const auto* text = reinterpret_cast<const char*>(at);
        return script::StringValue(interp_, platform::AnsiToUtf16(std::string(text, strnlen(text, field.count))));
    }
    return LoadArray(element, at, field.count, old);
}

}  // namespace velmo::host
