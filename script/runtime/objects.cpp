// Own properties of plain objects: slot scans by name id, positional access, and the name index
// for access by text. Every change to the slots that creates or deletes a named slot updates the
// index in the same step, and blocks are allocated before anything is changed, so a failed
// allocation (std::bad_alloc) leaves the object as it was.
#include "script/runtime/objects.h"

#include <cstring>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "script/runtime/interpreter.h"
#include "script/runtime/name_hash.h"
#include "script/runtime/names.h"
#include "script/runtime/strings.h"

namespace velmo::script {
namespace {

constexpr uint32_t kNoSlot = 0xFFFFFFFF;

// Deleted and positional slots carry ids that no interned name has.
bool IsPropertyName(uint32_t nameId) { return nameId != kDeletedSlot && nameId != kPositionalSlotName; }

void AssertLive([[maybe_unused]] const Value& value) {
#ifndef NDEBUG
    switch (value.tag) {
    case Tag::String:
    case Tag::Array:
    case Tag::Object:
    case Tag::HostObject:
    case Tag::Function: VELMO_ASSERT(value.payload.p && Heap::LooksLive(value.payload.p)); break;
    default: break;
    }
#endif
}

uint32_t FindSlot(const ObjectRecord* object, uint32_t nameId) {
    for (uint32_t i = 0; i < object->slotCount; ++i)
        if (object->slots[i].name == nameId) return i;
    return kNoSlot;
}

uint32_t HighestDeletedSlot(const ObjectRecord* object) {
    for (uint32_t i = object->slotCount; i-- > 0;)
        if (object->slots[i].name == kDeletedSlot) return i;
    return kNoSlot;
}

// Grows the slot array to `newCount` slots, the new ones positional and Undefined. False (and
// nothing changed) past kMaxSlots.
bool GrowSlots(Interpreter& interp, ObjectRecord* object, uint32_t newCount) {
    if (newCount > kMaxSlots) return false;
    auto* slots = static_cast<Slot*>(interp.GetHeap().Reallocate(object->slots, size_t{newCount} * sizeof(Slot)));
    for (uint32_t i = object->slotCount; i < newCount; ++i) slots[i] = Slot{kPositionalSlotName, 0, Value::Undefined()};
    object->slots = slots;
    object->slotCount = newCount;
    return true;
}

// ---- Name index ----

uint32_t BucketOf(std::string_view text) { return NameHash(text) & (kNameIndexBuckets - 1); }

// An unlinked entry for `text`; its slot is filled in when it is linked.
NameIndexEntry* NewEntry(Heap& heap, std::string_view text) {
    char* name = static_cast<char*>(heap.Allocate(text.size() + 1));
    std::memcpy(name, text.data(), text.size());
    name[text.size()] = '\0';
    NameIndexEntry* entry = heap.New<NameIndexEntry>();
    entry->name = name;
    entry->nameLength = static_cast<uint32_t>(text.size());
    return entry;
}

void LinkEntry(NameIndexEntry** heads, uint32_t* counts, NameIndexEntry* entry, uint32_t slot) {
    const uint32_t bucket = BucketOf({entry->name, entry->nameLength});
    entry->slot = slot;
    entry->next = heads[bucket];
    heads[bucket] = entry;
    ++counts[bucket];
}

void EnsureIndex(Interpreter& interp, ObjectRecord* object) {
    if (object->index) return;
    Heap& heap = interp.GetHeap();
    // Built aside and attached last, so a failed allocation leaves no half-built index behind.
    auto** heads = static_cast<NameIndexEntry**>(heap.AllocateZeroed(kNameIndexBuckets * sizeof(NameIndexEntry*)));
    auto* counts = static_cast<uint32_t*>(heap.AllocateZeroed(kNameIndexBuckets * sizeof(uint32_t)));
    for (uint32_t i = 0; i < object->slotCount; ++i) {
        const uint32_t name = object->slots[i].name;
        if (IsPropertyName(name)) LinkEntry(heads, counts, NewEntry(heap, interp.Names().Text(name)), i);
    }
    object->index = heads;
    object->bucketCounts = counts;
}

NameIndexEntry* FindEntry(const ObjectRecord* object, std::string_view text) {
    for (NameIndexEntry* e = object->index[BucketOf(text)]; e; e = e->next)
        if (std::string_view(e->name, e->nameLength) == text) return e;
    return nullptr;
}

// Unlinks the entry of slot `position` (named `text`). The blocks are left to the collector:
// ListProperties callers may still hold views of them.
void UnlinkEntry(ObjectRecord* object, std::string_view text, uint32_t position) {
    const uint32_t bucket = BucketOf(text);
    for (NameIndexEntry** link = &object->index[bucket]; *link; link = &(*link)->next) {
        if ((*link)->slot != position) continue;
        *link = (*link)->next;
        --object->bucketCounts[bucket];
        return;
    }
}

// ---- Slot changes ----

// A new named slot: the highest deleted one, else one more at the end; refused past kMaxSlots.
void CreateSlot(Interpreter& interp, ObjectRecord* object, uint32_t nameId, Value value) {
    NameIndexEntry* entry = object->index ? NewEntry(interp.GetHeap(), interp.Names().Text(nameId)) : nullptr;
    uint32_t position = HighestDeletedSlot(object);
    if (position == kNoSlot) {
        position = object->slotCount;
        if (!GrowSlots(interp, object, position + 1)) return;  // the unlinked entry is garbage
    }
    object->slots[position] = Slot{nameId, 0, value};
    if (entry) LinkEntry(object->index, object->bucketCounts, entry, position);
}

void DeleteSlot(Interpreter& interp, ObjectRecord* object, uint32_t position) {
    Slot& slot = object->slots[position];
    if (slot.name == kDeletedSlot) return;
    if (object->index && IsPropertyName(slot.name)) UnlinkEntry(object, interp.Names().Text(slot.name), position);
    slot.name = kDeletedSlot;
    slot.value = Value::Undefined();
}

// The own value of `nameId`, remembering on the way the Object a "__proto__" slot holds.
bool FindOwn(Interpreter& interp, const ObjectRecord* object, uint32_t nameId, Value& out, ObjectRecord*& proto) {
    proto = nullptr;
    for (uint32_t i = 0; i < object->slotCount; ++i) {
        const Slot& slot = object->slots[i];
        if (slot.name == nameId) {
            out = slot.value;
            return true;
        }
        if (slot.name == interp.idProto() && slot.value.Is(Tag::Object)) proto = slot.value.AsObject();
    }
    return false;
}

std::string KeyText(const Value& key) { return platform::Utf16ToAnsi(Text(key.AsString())); }

}  // namespace

ObjectRecord* NewObject(Interpreter& interp) { return interp.GetHeap().New<ObjectRecord>(); }

// The chain is a function of its objects (each has at most one "__proto__" slot), so a loop is
// found with Brent's method in constant space: the walk keeps one earlier object, moved up to the
// current one at every power of two of steps, and stops when it comes round to it again. Every
// object of the loop has been scanned by then.
bool GetOwnOrInherited(Interpreter& interp, ObjectRecord* object, uint32_t nameId, Value& out) {
    out = Value::Undefined();
    if (!IsPropertyName(nameId)) return false;
    const ObjectRecord* saved = nullptr;
    uint64_t power = 1, steps = 0;
    for (ObjectRecord* current = object; current;) {
        ObjectRecord* proto;
        if (FindOwn(interp, current, nameId, out, proto)) return true;
        if (steps == power) {
            saved = current;
            power <<= 1;
            steps = 0;
        }
        current = proto;
        ++steps;
        if (current == saved) break;
    }
    out = Value::Undefined();
    return false;
}

void SetOwn(Interpreter& interp, ObjectRecord* object, uint32_t nameId, Value value) {
    if (!IsPropertyName(nameId)) return;
    AssertLive(value);
    const uint32_t position = FindSlot(object, nameId);
    if (position != kNoSlot)
        object->slots[position].value = value;
    else
        CreateSlot(interp, object, nameId, value);
}

bool HasOwn(ObjectRecord* object, uint32_t nameId) {
    return IsPropertyName(nameId) && FindSlot(object, nameId) != kNoSlot;
}

void DeleteOwn(Interpreter& interp, ObjectRecord* object, uint32_t nameId) {
    if (!IsPropertyName(nameId)) return;
    const uint32_t position = FindSlot(object, nameId);
    if (position != kNoSlot) DeleteSlot(interp, object, position);
}

bool GetByKey(Interpreter& interp, ObjectRecord* object, const Value& key, Value& out) {
    out = Value::Undefined();
    if (key.Is(Tag::Integer)) {
        const int64_t k = key.AsInteger();
        if (k < 0 || k >= object->slotCount) return false;
        out = object->slots[k].value;
        return true;
    }
    if (!key.Is(Tag::String)) return false;
    EnsureIndex(interp, object);
    const NameIndexEntry* entry = FindEntry(object, KeyText(key));
    if (!entry) return false;
    out = object->slots[entry->slot].value;
    return true;
}

// A store by position into a deleted slot revives it as a positional slot: left deleted, it
// would hold a value that the next created property silently overwrites.
void SetByKey(Interpreter& interp, ObjectRecord* object, const Value& key, Value value) {
    AssertLive(value);
    if (key.Is(Tag::Integer)) {
        const int64_t k = key.AsInteger();
        if (k < 0 || k >= kMaxSlots) return;
        const auto position = static_cast<uint32_t>(k);
        if (position >= object->slotCount && !GrowSlots(interp, object, position + 1)) return;
        Slot& slot = object->slots[position];
        if (slot.name == kDeletedSlot) slot.name = kPositionalSlotName;
        slot.value = value;
        return;
    }
    if (!key.Is(Tag::String)) return;
    EnsureIndex(interp, object);
    const std::string text = KeyText(key);
    if (const NameIndexEntry* entry = FindEntry(object, text)) {
        object->slots[entry->slot].value = value;
        return;
    }
    CreateSlot(interp, object, interp.Intern(text), value);
}

void DeleteByKey(Interpreter& interp, ObjectRecord* object, const Value& key) {
    if (key.Is(Tag::Integer)) {
        const int64_t k = key.AsInteger();
        if (k >= 0 && k < object->slotCount) DeleteSlot(interp, object, static_cast<uint32_t>(k));
        return;
    }
    if (!key.Is(Tag::String)) return;
    EnsureIndex(interp, object);
    if (const NameIndexEntry* entry = FindEntry(object, KeyText(key))) DeleteSlot(interp, object, entry->slot);
}

bool EnumerateKey(Interpreter& interp, ObjectRecord* object, uint32_t n, Value& out) {
    out = Value::Undefined();
    EnsureIndex(interp, object);
    for (uint32_t b = 0; b < kNameIndexBuckets; ++b) {
        if (n >= object->bucketCounts[b]) {
            n -= object->bucketCounts[b];
            continue;
        }
        const NameIndexEntry* entry = object->index[b];
        while (n-- > 0) entry = entry->next;
        out = StringValue(interp, platform::AnsiToUtf16({entry->name, entry->nameLength}));
        return true;
    }
    return false;
}

std::vector<const NameIndexEntry*> ListProperties(Interpreter& interp, ObjectRecord* object) {
    EnsureIndex(interp, object);
    std::vector<const NameIndexEntry*> bySlot(object->slotCount, nullptr);
    for (uint32_t b = 0; b < kNameIndexBuckets; ++b)
        for (const NameIndexEntry* e = object->index[b]; e; e = e->next) bySlot[e->slot] = e;
    return bySlot;
}

}  // namespace velmo::script
