#pragma once
// The slow paths of the dispatch loop: indexed access by container, for-in steps, deletes and
// releases, and the with-scope lookups. The loop saves its position before calling any of these,
// since most can run host code or script code and so reach a collection.

#include <cstdint>

#include "script/runtime/frames.h"
#include "script/runtime/interpreter.h"

namespace velmo::script::ops {

// The jump truth rule. Name, the reserved tags and frame marks are neither true nor false: JT and
// JF both fall through on them. A Number holding a NaN double is false, as for ToBoolean.
bool IsJumpTrue(const Value& v);
bool IsJumpFalse(const Value& v);

// obj[key] and obj[key] = value.
Value IndexedRead(Interpreter& interp, const Value& container, const Value& key);
void IndexedStore(Interpreter& interp, const Value& container, const Value& key, const Value& value);
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
