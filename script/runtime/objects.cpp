// Own properties of plain objects: the slot array (positions are observable), a lookup table from
// name id to slot once an object has many slots (a scan below that), and the name index for
// access by text and for enumeration. Every change to the slots that creates or deletes a named
// slot updates the table, the index and the cached "__proto__" position in the same step, and
// blocks are allocated before anything is changed, so a failed allocation (std::bad_alloc)
// leaves the object as it was.
#include "script/runtime/objects.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/name_hash.h"
#include "script/runtime/names.h"
#include "script/runtime/strings.h"

namespace velmo::script {
namespace {

constexpr uint32_t kNoSlot = 0xFFFFFFFF;
// An object gets its lookup table when its slot array reaches this many slots. Below it a scan
// of the slots costs about as much as one probe of a table, and small objects are the many.
constexpr uint32_t kIndexedSlots = 12;
constexpr uint32_t kMinIdPlaces = 32;
constexpr uint32_t kMinFreePlaces = 8;

// Deleted and positional slots carry ids that no interned name has.
bool IsPropertyName(uint32_t nameId) { return nameId != kDeletedSlot && nameId != kPositionalSlotName; }

// ---- Lookup table: name id -> slot ----

// Fibonacci hashing of the dense name ids; `places` is a power of two of at least kMinIdPlaces.
size_t IdHome(uint32_t name, uint32_t places) {
    return static_cast<size_t>(static_cast<uint32_t>(name * 0x9E3779B1u) >> (32 - std::countr_zero(places)));
}

SlotIndexEntry* NewIdPlaces(Heap& heap, uint32_t places) {
    auto* entries = static_cast<SlotIndexEntry*>(heap.Allocate(size_t{places} * sizeof(SlotIndexEntry)));
    std::memset(static_cast<void*>(entries), 0xFF, size_t{places} * sizeof(SlotIndexEntry));  // all empty
    return entries;
}

void PlaceId(SlotIndexEntry* entries, uint32_t places, uint32_t name, uint32_t slot) {
    for (size_t p = IdHome(name, places);; p = (p + 1) & (places - 1)) {
        if (entries[p].name == kDeletedSlot) {
            entries[p] = SlotIndexEntry{name, slot};
            return;
        }
    }
}

uint32_t LookUpId(const SlotIndex* ids, uint32_t name) {
    for (size_t p = IdHome(name, ids->capacity);; p = (p + 1) & (ids->capacity - 1)) {
        const SlotIndexEntry& e = ids->entries[p];
        if (e.name == name) return e.slot;
        if (e.name == kDeletedSlot) return kNoSlot;  // at most half full: every probe ends
    }
}

// Room for one more name, so that adding it cannot fail after the slots were changed.
void ReserveId(Heap& heap, SlotIndex* ids) {
    if ((ids->count + 1) * 2 <= ids->capacity) return;
    const uint32_t places = ids->capacity * 2;
    SlotIndexEntry* entries = NewIdPlaces(heap, places);
    for (uint32_t p = 0; p < ids->capacity; ++p)
        if (ids->entries[p].name != kDeletedSlot) PlaceId(entries, places, ids->entries[p].name, ids->entries[p].slot);
    heap.Free(ids->entries);
    ids->entries = entries;
    ids->capacity = places;
}

// Backward-shift deletion, so that no tombstones lengthen later probes.
void EraseId(SlotIndex* ids, uint32_t name) {
    const size_t mask = ids->capacity - 1;
    size_t i = IdHome(name, ids->capacity);
    while (ids->entries[i].name != name) {
        if (ids->entries[i].name == kDeletedSlot) return;
        i = (i + 1) & mask;
    }
    for (size_t j = (i + 1) & mask; ids->entries[j].name != kDeletedSlot; j = (j + 1) & mask) {
        const size_t home = IdHome(ids->entries[j].name, ids->capacity);
        if (((j - home) & mask) >= ((j - i) & mask)) {
            ids->entries[i] = ids->entries[j];
            i = j;
        }
    }
    ids->entries[i] = SlotIndexEntry{kDeletedSlot, kDeletedSlot};
    --ids->count;
}

// Room for one more deleted position. A heap that outgrew the slot array is mostly positions
// revived since; it is rebuilt from the slots instead of grown.
void ReserveFree(Heap& heap, const ObjectRecord* object, SlotIndex* ids) {
    if (ids->freeCount < ids->freeCapacity) return;
    if (ids->freeCount >= object->slotCount) {
        ids->freeCount = 0;
        for (uint32_t i = 0; i < object->slotCount; ++i)
            if (object->slots[i].name == kDeletedSlot) ids->freeSlots[ids->freeCount++] = i;
        std::make_heap(ids->freeSlots, ids->freeSlots + ids->freeCount);
        if (ids->freeCount < ids->freeCapacity) return;
    }
    const uint32_t capacity = std::max(kMinFreePlaces, ids->freeCapacity * 2);
    ids->freeSlots = static_cast<uint32_t*>(heap.Reallocate(ids->freeSlots, size_t{capacity} * sizeof(uint32_t)));
    ids->freeCapacity = capacity;
}

void PushFree(SlotIndex* ids, uint32_t position) {
    ids->freeSlots[ids->freeCount++] = position;
    std::push_heap(ids->freeSlots, ids->freeSlots + ids->freeCount);
}

// The table for the slots as they are; the slots themselves are not changed.
void BuildIds(Heap& heap, ObjectRecord* object) {
    uint32_t named = 0, deleted = 0;
    for (uint32_t i = 0; i < object->slotCount; ++i) {
        named += IsPropertyName(object->slots[i].name);
        deleted += object->slots[i].name == kDeletedSlot;
    }
    const uint32_t places = std::max(kMinIdPlaces, std::bit_ceil(2 * (named + 1)));
    const uint32_t freePlaces = std::max(kMinFreePlaces, std::bit_ceil(deleted));
    SlotIndex* ids = heap.New<SlotIndex>();
    ids->entries = NewIdPlaces(heap, places);
    ids->freeSlots = static_cast<uint32_t*>(heap.Allocate(size_t{freePlaces} * sizeof(uint32_t)));
    ids->capacity = places;
    ids->freeCapacity = freePlaces;
    for (uint32_t i = 0; i < object->slotCount; ++i) {
        const uint32_t name = object->slots[i].name;
        if (IsPropertyName(name)) PlaceId(ids->entries, places, name, i);
        else if (name == kDeletedSlot) ids->freeSlots[ids->freeCount++] = i;
    }
    ids->count = named;
    std::make_heap(ids->freeSlots, ids->freeSlots + ids->freeCount);
    object->ids = ids;
}

uint32_t FindSlot(const ObjectRecord* object, uint32_t nameId) {
    if (object->ids) return LookUpId(object->ids, nameId);
    for (uint32_t i = 0; i < object->slotCount; ++i)
        if (object->slots[i].name == nameId) return i;
    return kNoSlot;
}

// The highest deleted slot, or kNoSlot. With a table, positions revived since their deletion are
// dropped from the top of the heap on the way; the one returned stays until TakeFree.
uint32_t HighestDeletedSlot(const ObjectRecord* object) {
    if (SlotIndex* ids = object->ids) {
        while (ids->freeCount > 0) {
            const uint32_t top = ids->freeSlots[0];
            if (top < object->slotCount && object->slots[top].name == kDeletedSlot) return top;
            std::pop_heap(ids->freeSlots, ids->freeSlots + ids->freeCount--);
        }
        return kNoSlot;
    }
    for (uint32_t i = object->slotCount; i-- > 0;)
        if (object->slots[i].name == kDeletedSlot) return i;
    return kNoSlot;
}

void TakeFree(SlotIndex* ids) { std::pop_heap(ids->freeSlots, ids->freeSlots + ids->freeCount--); }

// Grows the slot array to `newCount` slots, the new ones positional and Undefined. False (and
// nothing changed) past kMaxSlots. The table is built first, from the slots as they are.
bool GrowSlots(Interpreter& interp, ObjectRecord* object, uint32_t newCount) {
    if (newCount > kMaxSlots) return false;
    if (!object->ids && newCount >= kIndexedSlots) BuildIds(interp.GetHeap(), object);
    // A first slot comes with room for a second: objects mostly get two or more properties one at
    // a time (a literal's, a constructor's), and growing from one slot to two moved the block
    // every time.
    const uint32_t room = object->slots ? newCount : std::max<uint32_t>(newCount, 2);
    auto* slots = static_cast<Slot*>(interp.GetHeap().Reallocate(object->slots, size_t{room} * sizeof(Slot)));
    for (uint32_t i = object->slotCount; i < newCount; ++i) slots[i] = Slot{kPositionalSlotName, 0, Value::Undefined()};
    object->slots = slots;
    object->slotCount = newCount;
    return true;
}

// ---- Name index ----

uint32_t BucketOf(Interpreter& interp, uint32_t nameId) {
    return interp.Names().Hash(nameId) & (kNameIndexBuckets - 1);
}

// Room in the links for slot positions below `slotCount`, grown by doubling so that an object
// growing one slot at a time reallocates rarely. Called before anything else changes.
void ReserveLinks(Heap& heap, NameIndex* index, uint32_t slotCount) {
    if (slotCount <= index->linkCapacity) return;
    const uint32_t capacity = std::max<uint32_t>(8, std::bit_ceil(slotCount));
    index->links = static_cast<NameIndexLink*>(heap.Reallocate(index->links, size_t{capacity} * sizeof(NameIndexLink)));
    index->linkCapacity = capacity;
}

// Pushes slot `position` at the head of the chain of `bucket`. The enumeration point counts it
// when it lands before the point: in an earlier chain, or at the head of the point's chain when
// the point is past an entry there.
void LinkEntry(NameIndex* index, uint32_t bucket, uint32_t position) {
    const uint32_t oldHead = index->heads[bucket];
    index->links[position] = NameIndexLink{oldHead, 0};
    if (oldHead) index->links[oldHead - 1].previous = position + 1;
    index->heads[bucket] = position + 1;
    ++index->counts[bucket];
    if (bucket < index->cursorBucket || (bucket == index->cursorBucket && index->cursorEntry)) ++index->cursorCount;
}

void EnsureIndex(Interpreter& interp, ObjectRecord* object) {
    if (object->index) return;
    Heap& heap = interp.GetHeap();
    // Built aside and attached last, so a failed allocation leaves no half-built index behind.
    NameIndex* index = heap.New<NameIndex>();
    ReserveLinks(heap, index, object->slotCount);
    for (uint32_t i = 0; i < object->slotCount; ++i) {
        const uint32_t name = object->slots[i].name;
        if (IsPropertyName(name)) LinkEntry(index, BucketOf(interp, name), i);
    }
    object->index = index;
}

// Whether slot `position` + 1 = `entry` comes before the enumeration point, which stands just
// after `index->cursorEntry` in the same chain: a walk, but only for deletions in the one chain
// where the point stands.
bool AtOrBeforePoint(const NameIndex* index, uint32_t entry) {
    for (uint32_t at = index->cursorEntry; at; at = index->links[at - 1].previous)
        if (at == entry) return true;
    return false;
}

// Unlinks slot `position`, filed in `bucket`. An entry before the enumeration point takes one
// from its count; the point's own entry hands the point to its predecessor.
void UnlinkEntry(NameIndex* index, uint32_t bucket, uint32_t position) {
    const NameIndexLink link = index->links[position];
    const bool pointHere = bucket == index->cursorBucket && index->cursorEntry;
    if (bucket < index->cursorBucket || (pointHere && AtOrBeforePoint(index, position + 1))) --index->cursorCount;
    if (pointHere && index->cursorEntry == position + 1) index->cursorEntry = link.previous;
    if (link.previous) index->links[link.previous - 1].next = link.next;
    else index->heads[bucket] = link.next;
    if (link.next) index->links[link.next - 1].previous = link.previous;
    --index->counts[bucket];
}

// The name id of the string `key`: the one it remembers, else found by its text (and then
// remembered), else kNoName. Keys are mostly ASCII, and those are looked up from their UTF-16
// units; a key built once and used many times is looked up only the first time.
uint32_t NameOfKey(Interpreter& interp, const StringRecord* key) {
    uint32_t id = RememberedName(key);
    if (id != NameTable::kNoName) return id;
    const std::u16string_view text = Text(key);
    id = IsAsciiText(text) ? interp.Names().FindAscii(text) : interp.Names().Find(platform::Utf16ToAnsi(text));
    if (id != NameTable::kNoName) RememberName(key, id);
    return id;
}

// The slot named by the string `key`. A text no name has cannot be a property: every named slot
// carries an interned id, and the name index holds the text of that id.
uint32_t SlotOfKey(Interpreter& interp, const ObjectRecord* object, const Value& key) {
    interp.ChargeWork(key.AsString()->length);
    const uint32_t id = NameOfKey(interp, key.AsString());
    return id == NameTable::kNoName ? kNoSlot : FindSlot(object, id);
}

// The name id of `key`, interned when new, and remembered by the key.
uint32_t InternKey(Interpreter& interp, const StringRecord* key) {
    uint32_t id = RememberedName(key);
    if (id != NameTable::kNoName) return id;
    const std::u16string_view text = Text(key);
    if (IsAsciiText(text)) {
        std::string narrow(text.size(), '\0');
        std::transform(text.begin(), text.end(), narrow.begin(), [](char16_t c) { return static_cast<char>(c); });
        id = interp.Intern(narrow);
    } else {
        id = interp.Intern(platform::Utf16ToAnsi(text));
    }
    RememberName(key, id);
    return id;
}

// ---- Slot changes ----

// A new named slot: the highest deleted one, else one more at the end; refused past kMaxSlots.
void CreateSlot(Interpreter& interp, ObjectRecord* object, uint32_t nameId, Value value) {
    Heap& heap = interp.GetHeap();
    if (object->ids) ReserveId(heap, object->ids);
    const uint32_t deleted = HighestDeletedSlot(object);
    const uint32_t position = deleted != kNoSlot ? deleted : object->slotCount;
    if (position >= kMaxSlots) return;
    // A deleted slot may lie beyond the links too: slots added by position have no links.
    if (object->index) ReserveLinks(heap, object->index, position + 1);
    if (deleted != kNoSlot) {
        if (object->ids) TakeFree(object->ids);
    } else if (!GrowSlots(interp, object, position + 1)) {
        return;
    }
    object->slots[position] = Slot{nameId, 0, value};
    if (object->ids) {
        PlaceId(object->ids->entries, object->ids->capacity, nameId, position);
        ++object->ids->count;
    }
    if (object->index) LinkEntry(object->index, BucketOf(interp, nameId), position);
    if (nameId == interp.idProto()) object->protoSlot = position + 1;
}

void DeleteSlot(Interpreter& interp, ObjectRecord* object, uint32_t position) {
    Slot& slot = object->slots[position];
    if (slot.name == kDeletedSlot) return;
    if (object->ids) ReserveFree(interp.GetHeap(), object, object->ids);
    if (IsPropertyName(slot.name)) {
        if (object->index) UnlinkEntry(object->index, BucketOf(interp, slot.name), position);
        if (object->ids) EraseId(object->ids, slot.name);
    }
    if (object->ids) PushFree(object->ids, position);
    if (object->protoSlot == position + 1) object->protoSlot = 0;
    slot.name = kDeletedSlot;
    slot.value = Value::Undefined();
}

// The own value of `nameId`; when there is none, `proto` is the Object the "__proto__" slot holds.
bool FindOwn([[maybe_unused]] Interpreter& interp, const ObjectRecord* object, uint32_t nameId, Value& out,
             ObjectRecord*& proto) {
    proto = nullptr;
    const uint32_t position = FindSlot(object, nameId);
    if (position != kNoSlot) {
        out = object->slots[position].value;
        return true;
    }
    VELMO_ASSERT(!object->protoSlot || object->slots[object->protoSlot - 1].name == interp.idProto());
    if (object->protoSlot) {
        const Value& link = object->slots[object->protoSlot - 1].value;
        if (link.Is(Tag::Object)) proto = link.AsObject();
    }
    return false;
}

// Moves the enumeration point to just before the `n`-th entry, through the chain counts; false
// when there are not that many entries.
bool SeekEntry(NameIndex* index, uint32_t n) {
    uint32_t bucket = 0;
    uint32_t before = n;
    while (bucket < kNameIndexBuckets && before >= index->counts[bucket]) before -= index->counts[bucket++];
    if (bucket == kNameIndexBuckets) return false;
    uint32_t entry = 0;
    for (uint32_t k = 0; k < before; ++k) entry = entry ? index->links[entry - 1].next : index->heads[bucket];
    index->cursorBucket = bucket;
    index->cursorEntry = entry;
    index->cursorCount = n;
    return true;
}

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
    AssertStorable(value);
    const uint32_t position = FindSlot(object, nameId);
    if (position != kNoSlot) object->slots[position].value = value;
    else CreateSlot(interp, object, nameId, value);
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
    const uint32_t position = SlotOfKey(interp, object, key);
    if (position == kNoSlot) return false;
    out = object->slots[position].value;
    return true;
}

// A store by position into a deleted slot revives it as a positional slot: left deleted, it
// would hold a value that the next created property silently overwrites.
void SetByKey(Interpreter& interp, ObjectRecord* object, const Value& key, Value value) {
    AssertStorable(value);
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
    const uint32_t position = SlotOfKey(interp, object, key);
    if (position != kNoSlot) {
        object->slots[position].value = value;
        return;
    }
    CreateSlot(interp, object, InternKey(interp, key.AsString()), value);
}

void DeleteByKey(Interpreter& interp, ObjectRecord* object, const Value& key) {
    if (key.Is(Tag::Integer)) {
        const int64_t k = key.AsInteger();
        if (k >= 0 && k < object->slotCount) DeleteSlot(interp, object, static_cast<uint32_t>(k));
        return;
    }
    if (!key.Is(Tag::String)) return;
    EnsureIndex(interp, object);
    const uint32_t position = SlotOfKey(interp, object, key);
    if (position != kNoSlot) DeleteSlot(interp, object, position);
}

// The walk starts at the enumeration point when it stands before the `n`-th entry, as it does
// after the previous step of a for-in loop, and from the chain counts otherwise.
bool EnumerateKey(Interpreter& interp, ObjectRecord* object, uint32_t n, Value& out) {
    out = Value::Undefined();
    EnsureIndex(interp, object);
    NameIndex* index = object->index;
    if (n != index->cursorCount && !SeekEntry(index, n)) return false;
    uint32_t bucket = index->cursorBucket;
    uint32_t entry = index->cursorEntry ? index->links[index->cursorEntry - 1].next : index->heads[bucket];
    while (!entry && ++bucket < kNameIndexBuckets) entry = index->heads[bucket];
    if (!entry) return false;
    index->cursorBucket = bucket;
    index->cursorEntry = entry;
    index->cursorCount = n + 1;
    const uint32_t nameId = object->slots[entry - 1].name;
    out = StringValue(interp, platform::AnsiToUtf16(interp.Names().Text(nameId)));
    // The loop body mostly reads the property by this key next.
    RememberName(out.AsString(), nameId);
    return true;
}

std::vector<PropertyName> ListProperties(Interpreter& interp, const ObjectRecord* object) {
    std::vector<PropertyName> named;
    for (uint32_t i = 0; i < object->slotCount; ++i)
        if (IsPropertyName(object->slots[i].name)) named.push_back({interp.Names().Text(object->slots[i].name), i});
    return named;
}

void ScanSlots(Interpreter& interp, ObjectRecord* object) {
    Heap& heap = interp.GetHeap();
    if (NameIndex* index = object->index) {
        heap.Mark(index);
        if (index->links) heap.Mark(index->links);
    }
    if (SlotIndex* ids = object->ids) {
        heap.Mark(ids);
        heap.Mark(ids->entries);
        heap.Mark(ids->freeSlots);
    }
    if (object->slots) heap.Mark(object->slots);
    for (uint32_t i = 0; i < object->slotCount; ++i) interp.MarkValue(object->slots[i].value);
}

}  // namespace velmo::script
