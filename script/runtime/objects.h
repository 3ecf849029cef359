#pragma once
// Plain object records and their own properties. Slots keep insertion order and double as integer
// keys. An object with many slots also has a lookup table (name id → slot) so that access by name
// does not scan; the optional name index (text → slot) is built on first access by text or
// enumeration and from then on holds exactly one entry per named, undeleted slot. Nothing here
// collects.

#include <cstdint>
#include <string_view>
#include <vector>

#include "script/runtime/records.h"
#include "script/runtime/value.h"

namespace velmo::script {

class Interpreter;

// A slot array never grows past this many slots (384 MiB of slots, still one heap block); a
// store that would need more does nothing, so slot counts and byte sizes cannot overflow.
inline constexpr uint32_t kMaxSlots = uint32_t{1} << 24;

ObjectRecord* NewObject(Interpreter& interp);

// Looks for `nameId` among the own slots of `object`, then along its prototypes: the Object a
// slot named "__proto__" holds (anything else there ends the chain). A chain that loops back on
// itself ends too, as not found. Not found leaves `out` Undefined.
bool GetOwnOrInherited(Interpreter& interp, ObjectRecord* object, uint32_t nameId, Value& out);

// Overwrites the own slot of `nameId`, or creates one: in the highest deleted slot if there is
// one, else at the end. Prototypes are never looked at.
void SetOwn(Interpreter& interp, ObjectRecord* object, uint32_t nameId, Value value);
void DeleteOwn(Interpreter& interp, ObjectRecord* object, uint32_t nameId);
bool HasOwn(ObjectRecord* object, uint32_t nameId);

// `key` Integer addresses a slot position, whatever its name; String goes by the name's 8-bit
// text. Other keys read Undefined and change nothing. Prototypes are not consulted.
// Storing at position k >= slot count first pads with unnamed (positional) Undefined slots; these
// have no text, so they never enter the index and never act as "__proto__".
bool GetByKey(Interpreter& interp, ObjectRecord* object, const Value& key, Value& out);
void SetByKey(Interpreter& interp, ObjectRecord* object, const Value& key, Value value);
void DeleteByKey(Interpreter& interp, ObjectRecord* object, const Value& key);

// The `n`-th name in the index's bucket order (not insertion order), as a new String. Asking for
// n + 1 after n costs O(1), whatever changed the object in between.
bool EnumerateKey(Interpreter& interp, ObjectRecord* object, uint32_t n, Value& out);

// Every named slot in slot order, with the 8-bit text of its name (which lives as long as the
// interpreter); deleted and positional slots are left out.
struct PropertyName {
    std::string_view name;
    uint32_t slot;
};
std::vector<PropertyName> ListProperties(Interpreter& interp, const ObjectRecord* object);

// The collector's visit of an object: marks its slots, table and index blocks and every value.
void ScanSlots(Interpreter& interp, ObjectRecord* object);

}  // namespace velmo::script
