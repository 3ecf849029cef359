#pragma once
// The slow paths of the dispatch loop: indexed access by container, for-in steps, deletes and
// releases, and the with-scope lookups. The loop saves its position before calling any of these,
// since most can run host code or script code and so reach a collection.

#include <cstdint>

#include "script/runtime/internal/frames.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/records.h"

namespace velmo::script::ops {

// The jump truth rule. Name, the reserved tags and frame marks are neither true nor false: JT and
// JF both fall through on them. A Number holding a NaN double is false, as for ToBoolean.
bool JumpTrueOther(const Value& v);
bool JumpFalseOther(const Value& v);
// Conditions are mostly the Booleans of comparisons: those are decided here, in the loop.
inline bool IsJumpTrue(const Value& v) { return v.tag == Tag::Boolean ? v.AsBoolean() : JumpTrueOther(v); }
inline bool IsJumpFalse(const Value& v) { return v.tag == Tag::Boolean ? !v.AsBoolean() : JumpFalseOther(v); }

// obj[key] and obj[key] = value.
Value IndexedRead(Interpreter& interp, const Value& container, const Value& key);
void IndexedStore(Interpreter& interp, const Value& container, const Value& key, const Value& value);

// The common case of IndexedRead and IndexedStore, inline for the dispatch loop: an Array, an
// Integer key within the length and the dense cells. They read or overwrite the element, raise
// nothing and allocate nothing; any other case answers false and changes nothing, leaving it to
// the full operation. `out` may be the container's own cell.
inline bool TryArrayRead(const Value& container, const Value& key, Value& out) {
    if (container.tag != Tag::Array || key.tag != Tag::Integer) return false;
    const ArrayRecord* array = static_cast<const ArrayRecord*>(container.payload.p);
    const auto i = static_cast<uint64_t>(key.payload.i);  // a negative key is far beyond any cells
    if (i >= array->denseSize || i >= array->length) return false;
    const Element& cell = array->cells[i];
    out = cell.stamp ? cell.value : Value::Undefined();
    return true;
}
// Only an element that exists is overwritten: a new one changes the order and maybe the storage.
inline bool TryArrayStore(const Value& container, const Value& key, const Value& value) {
    if (container.tag != Tag::Array || key.tag != Tag::Integer) return false;
    ArrayRecord* array = static_cast<ArrayRecord*>(container.payload.p);
    const auto i = static_cast<uint64_t>(key.payload.i);
    if (i >= array->denseSize || i >= array->length || !array->cells[i].stamp) return false;
    AssertStorable(value);
    array->cells[i].value = value;
    return true;
}
// One for-in step: `collection` becomes the item at `index` (or Undefined), `index` whether it
// exists.
void ForInNext(Interpreter& interp, Value& collection, Value& index);
// delete obj[key].
void DeleteElement(Interpreter& interp, const Value& container, const Value& key);
// The release instructions: a host object's native data is finalized at once and the record
// keeps a null native data; the variable becomes Undefined.
void Release(Interpreter& interp, Value& variable);

// The value of `nameId` in the first with-scope object that has it; false when none does.
bool WithRead(Interpreter& interp, WithScopes* scopes, uint32_t nameId, Value& out);
// Stores into the first with-scope object that already has the name, with a safe point after
// each object tried; false when none has it (the caller stores the global).
bool WithStore(Interpreter& interp, WithScopes* scopes, uint32_t nameId, const Value& value);
// The first with-scope Object having the name (own or inherited) loses its own property.
void WithDelete(Interpreter& interp, WithScopes* scopes, uint32_t nameId);
// Appends `object` to the frame's with-scopes, creating or growing the block.
void WithEnter(Interpreter& interp, Frame& frame, const Value& object);

}  // namespace velmo::script::ops
