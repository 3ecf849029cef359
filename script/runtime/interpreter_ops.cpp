#include "script/runtime/internal/interpreter_ops.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/errors.h"
#include "script/runtime/objects.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::ops {

namespace {

// A string grows in place only up to this many code units; a store beyond needs more memory
// than one heap block may hold and fails as exhausted memory.
constexpr int64_t kMaxStringUnits = int64_t{1} << 28;

bool IsActiveXObject(Interpreter& interp, const HostRecord* host) {
    const Value& published = interp.GlobalByName("ActiveXObject");
    return published.Is(Tag::HostObject) && published.AsHost()->cls == host->cls;
}

// An array index from an Integer key, or a Number key truncated toward zero to 32 bits.
bool ArrayIndex(const Value& key, int64_t& index) {
    if (key.Is(Tag::Integer)) index = key.AsInteger();
    else if (key.Is(Tag::Number) && std::isfinite(key.AsNumber()))
        index = static_cast<int32_t>(std::clamp(std::trunc(key.AsNumber()), -2147483648.0, 2147483647.0));
    else return false;
    return true;
}

Value HostIndexedRead(Interpreter& interp, const Value& container, const Value& key) {
    HostRecord* host = container.AsHost();
    if (IsActiveXObject(interp, host)) {
        Value args[2] = {Value::Integer(1), key};
        Value out;
        if (host->cls->CallMethod &&
            host->cls->CallMethod(interp, *host->cls, host->nativeData, interp.Intern("Item"), &out, args))
            return out;
        return Value::Undefined();
    }
    if (key.Is(Tag::Integer)) return Value::Undefined();
    if (!key.Is(Tag::String)) {
        Warn(interp, Msg::InvalidIndex);
        return Value::Undefined();
    }
    const std::string name = platform::Utf16ToAnsi(Text(key.AsString()));
    if (!host->cls->Property) {
        Warn(interp, Msg::UndefinedProperty, name);
        return Value::Undefined();
    }
    Value out;
    GetProperty(interp, container, interp.Intern(name), out);
    return out;
}

Value StringIndexedRead(Interpreter& interp, const StringRecord* s, const Value& key) {
    if (!key.Is(Tag::Integer)) {
        Warn(interp, Msg::InvalidIndex);
        return Value::Undefined();
    }
    const int64_t k = key.AsInteger();
    if (k < 0 || k >= s->length) {
        Warn(interp, Msg::StringIndexOutOfRange);
        return Value::Undefined();
    }
    return Value::Integer(Units(s)[k]);
}

// Strings are changed in place, so that every holder of the record sees the change.
void StringIndexedStore(Interpreter& interp, StringRecord* s, const Value& key, const Value& value) {
    if (!key.Is(Tag::Integer) || key.AsInteger() < 0) return Warn(interp, Msg::InvalidIndex);
    if (s->flags & kStaticString) return Warn(interp, Msg::StaticStringChange);
    if (!value.Is(Tag::Integer) && !value.Is(Tag::String)) return Warn(interp, Msg::NonCharacterStore);
    const int64_t k = key.AsInteger();
    if (k >= kMaxStringUnits) throw std::bad_alloc();
    ForgetName(s);  // its text is no longer that name's
    char16_t* units = k >= s->length ? LengthenString(interp, s, static_cast<size_t>(k) + 1) : MutableUnits(s);
    char16_t unit = 0;
    if (value.Is(Tag::Integer)) unit = static_cast<char16_t>(value.AsInteger() & 0xFF);
    else if (value.AsString()->length > 0) unit = Units(value.AsString())[0];
    units[k] = unit;
}

void HostIndexedStore(Interpreter& interp, const Value& container, const Value& key, const Value& value) {
    if (key.Is(Tag::Integer)) return;
    if (!key.Is(Tag::String)) return Warn(interp, Msg::InvalidIndex);
    SetProperty(interp, container, interp.Intern(platform::Utf16ToAnsi(Text(key.AsString()))), value);
}

}  // namespace

bool JumpTrueOther(const Value& v) {
    switch (v.tag) {
        case Tag::Boolean: return v.AsBoolean();
        case Tag::Integer: return v.AsInteger() != 0;
        case Tag::Number: return v.AsNumber() != 0 && !std::isnan(v.AsNumber());
        case Tag::String: return v.AsString()->length > 0;
        case Tag::Object:
        case Tag::HostObject:
        case Tag::Array:
        case Tag::Function: return true;
        default: return false;
    }
}

bool JumpFalseOther(const Value& v) {
    switch (v.tag) {
        case Tag::Boolean:
        case Tag::Integer:
        case Tag::Number:
        case Tag::String: return !JumpTrueOther(v);
        case Tag::Undefined:
        case Tag::Null:
        case Tag::NaN: return true;
        default: return false;
    }
}

Value IndexedRead(Interpreter& interp, const Value& container, const Value& key) {
    switch (container.tag) {
        case Tag::HostObject: return HostIndexedRead(interp, container, key);
        case Tag::Object: {
            Value out;
            if (key.Is(Tag::Name)) GetOwnOrInherited(interp, container.AsObject(), key.AsNameId(), out);
            else GetByKey(interp, container.AsObject(), key, out);
            return out;
        }
        case Tag::Array: {
            int64_t i = 0;
            if (!ArrayIndex(key, i)) {
                Warn(interp, Msg::InvalidIndex);
                return Value::Undefined();
            }
            ArrayRecord* array = container.AsArray();
            if (i < 0 || static_cast<uint64_t>(i) >= array->length) return Value::Undefined();
            const Value* cell = GetElement(array, static_cast<uint64_t>(i));
            return cell ? *cell : Value::Undefined();
        }
        case Tag::String: return StringIndexedRead(interp, container.AsString(), key);
        default: return Value::Undefined();
    }
}

void IndexedStore(Interpreter& interp, const Value& container, const Value& key, const Value& value) {
    switch (container.tag) {
        case Tag::HostObject: return HostIndexedStore(interp, container, key, value);
        case Tag::Object:
            if (key.Is(Tag::Name)) return SetOwn(interp, container.AsObject(), key.AsNameId(), value);
            return SetByKey(interp, container.AsObject(), key, value);
        case Tag::Array: {
            int64_t i = 0;
            if (!ArrayIndex(key, i)) return;
            // A negative index would become an index near 2^64 and a length no array operation can
            // walk; it is refused like any other unusable key.
            if (i < 0) return Warn(interp, Msg::InvalidIndex);
            ArrayRecord* array = container.AsArray();
            const auto index = static_cast<uint64_t>(i);
            if (index >= array->length) array->length = index + 1;
            return PutElement(interp, array, value, index);
        }
        case Tag::String: return StringIndexedStore(interp, container.AsString(), key, value);
        default: return;
    }
}

void ForInNext(Interpreter& interp, Value& collection, Value& index) {
    const int64_t i = index.Is(Tag::Integer) ? index.AsInteger() : -1;
    Value item;
    bool exists = false;
    if (collection.Is(Tag::String)) {
        const StringRecord* s = collection.AsString();
        exists = i >= 0 && i < s->length;
        if (exists) item = Value::Integer(Units(s)[i]);
    } else if (collection.Is(Tag::Array)) {
        ArrayRecord* array = collection.AsArray();
        exists = i >= 0 && static_cast<uint64_t>(i) < array->length;
        if (exists) {
            const Value* cell = GetElement(array, static_cast<uint64_t>(i));
            item = cell ? *cell : Value::Undefined();
        }
    } else if (collection.Is(Tag::Object) && i >= 0 && i <= UINT32_MAX) {
        exists = EnumerateKey(interp, collection.AsObject(), static_cast<uint32_t>(i), item);
    }
    collection = item;
    index = Value::Boolean(exists);
}

void DeleteElement(Interpreter& interp, const Value& container, const Value& key) {
    if (container.Is(Tag::Object)) {
        if (key.Is(Tag::Name)) DeleteOwn(interp, container.AsObject(), key.AsNameId());
        else DeleteByKey(interp, container.AsObject(), key);
    } else if (container.Is(Tag::Array) && key.Is(Tag::Integer) && key.AsInteger() >= 0) {
        DeleteAndClose(interp, container.AsArray(), static_cast<uint64_t>(key.AsInteger()));
    }
}

void Release(Interpreter&, Value& variable) {
    if (variable.Is(Tag::HostObject)) {
        HostRecord* host = variable.AsHost();
        void* data = host->nativeData;
        // Cleared first: a finalizer that reaches the record again finds it already released.
        host->nativeData = nullptr;
        if (data && host->cls && host->cls->FinalizeData) host->cls->FinalizeData(*host->cls, data);
    }
    variable = Value::Undefined();
}

bool WithRead(Interpreter& interp, WithScopes* scopes, uint32_t nameId, Value& out) {
    for (uint32_t i = 0; scopes && i < scopes->count; ++i)
        if (GetProperty(interp, WithCells(scopes)[i], nameId, out)) return true;
    out = Value::Undefined();
    return false;
}

namespace {

// Stores `value` as `nameId` into the with-scope object `object` if it already has the name.
bool StoreIfPresent(Interpreter& interp, const Value& object, uint32_t nameId, const Value& value) {
    Value found;
    if (object.Is(Tag::Object)) {
        if (!GetOwnOrInherited(interp, object.AsObject(), nameId, found)) return false;
        SetOwn(interp, object.AsObject(), nameId, value);
        return true;
    }
    if (object.Is(Tag::HostObject)) {
        HostRecord* host = object.AsHost();
        Value io = value;
        if (host->cls->Property && host->cls->Property(interp, *host->cls, host->nativeData, nameId, true, &io))
            return true;
        for (ObjectRecord* home : {host->props, host->cls->prototype}) {
            if (home && HasOwn(home, nameId)) {
                SetOwn(interp, home, nameId, value);
                return true;
            }
        }
        return false;
    }
    if (!GetProperty(interp, object, nameId, found)) return false;
    SetProperty(interp, object, nameId, value);
    return true;
}

}  // namespace

bool WithStore(Interpreter& interp, WithScopes* scopes, uint32_t nameId, const Value& value) {
    for (uint32_t i = 0; scopes && i < scopes->count; ++i) {
        const bool stored = StoreIfPresent(interp, WithCells(scopes)[i], nameId, value);
        interp.SafePoint();
        if (stored) return true;
    }
    return false;
}

void WithDelete(Interpreter& interp, WithScopes* scopes, uint32_t nameId) {
    Value found;
    for (uint32_t i = 0; scopes && i < scopes->count; ++i) {
        const Value& object = WithCells(scopes)[i];
        if (object.Is(Tag::Object) && GetOwnOrInherited(interp, object.AsObject(), nameId, found)) {
            DeleteOwn(interp, object.AsObject(), nameId);
            return;
        }
    }
}

void WithEnter(Interpreter& interp, Frame& frame, const Value& object) {
    WithScopes* scopes = frame.withScopes;
    const uint32_t count = scopes ? scopes->count : 0;
    if (!scopes || count == scopes->capacity) {
        const uint32_t capacity = count + 1;
        auto* grown = static_cast<WithScopes*>(
            interp.GetHeap().Reallocate(scopes, sizeof(WithScopes) + capacity * sizeof(Value)));
        grown->capacity = capacity;
        grown->count = count;
        frame.withScopes = scopes = grown;
    }
    WithCells(scopes)[scopes->count++] = object;
}

}  // namespace velmo::script::ops
