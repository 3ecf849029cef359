#pragma once
// The records that values point at, all on the collected heap (internal/heap.h): plain, standard-layout,
// trivially destructible structs, made only by the heap. Whatever a record refers to is either
// another heap record (reached by the marker) or text that outlives it (static strings).

#include <cstddef>
#include <cstdint>

#include "script/runtime/finalizer.h"
#include "script/runtime/value.h"

namespace velmo::script {

class Interpreter;
struct ClassRecord;

// Debug builds check that a value stored into a property or an element points at a live block: a
// dangling value stored now would only show up much later, far from the fault.
inline void AssertStorable([[maybe_unused]] const Value& value) {
#ifndef NDEBUG
    switch (value.tag) {
        case Tag::String:
        case Tag::Array:
        case Tag::Object:
        case Tag::HostObject:
        case Tag::Function: VELMO_ASSERT(value.payload.p && BlockLooksLive(value.payload.p)); break;
        default: break;
    }
#endif
}

inline constexpr uint32_t kStaticString = 0x1;
// A regular-expression constant loaded as a string while no factory makes it (internal/loader.h).
inline constexpr uint32_t kRegExpPlaceholder = 0x2;
// A string used as a key remembers the id of the name with its text in the flag bits from
// kNameCacheShift up, as 1 + id (0: not known yet), so that a key built once and used many times
// is hashed once. Ids that do not fit are simply not remembered. A change in place forgets it.
// (Regular-expression placeholders use those bits for their own flags and never remember.)
inline constexpr int kNameCacheShift = 8;
inline constexpr uint32_t kNameCacheLimit = (0xFFFFFFFFu >> kNameCacheShift) - 1;  // highest id kept

// An owned string keeps its units in the record's own block, from `separateChars` on (one block
// to allocate, mark and sweep), until a store past the end outgrows that block; then they move
// to a block of their own and the flag goes. Read them through Text() (strings.h).
inline constexpr uint32_t kInlineChars = 0x4;

struct StringRecord {
    uint32_t flags;       // kStaticString: the units are not ours to change or free; kInlineChars
    uint32_t length;      // in UTF-16 code units
    ObjectRecord* props;  // the string's own property object, null until first needed
    // Without kInlineChars: static text, or a heap block of its own; not zero-terminated.
    const char16_t* separateChars;
};
inline constexpr size_t kInlineCharsOffset = 16;
static_assert(offsetof(StringRecord, separateChars) == kInlineCharsOffset && sizeof(StringRecord) == 24);

// A slot of an object. Position k of the slot array is also the integer key k.
inline constexpr uint32_t kDeletedSlot = 0xFFFFFFFF;
struct Slot {
    uint32_t name;        // name id, or kDeletedSlot
    uint32_t attributes;  // 0 when created; nothing reads it
    Value value;
};

inline constexpr uint32_t kNameIndexBuckets = 128;
// The place of a named slot in its chain: the neighbours' slot positions + 1 (0: none).
struct NameIndexLink {
    uint32_t next;
    uint32_t previous;
};

// The name index of an object: every named slot hashed by the text of its name into
// kNameIndexBuckets chains (enumeration walks them in order, each from its head), with the count
// of every chain. Chains are threaded through `links`, which has one place per slot position, so
// a slot is unlinked without a walk; heads and links hold slot position + 1, 0 ending a chain.
// The cursor remembers where the last enumeration step ended, so that stepping on to the next key
// costs O(1) instead of a walk from the first bucket: `cursorCount` entries come before the point
// just after slot `cursorEntry` - 1 in chain `cursorBucket` (0: the point is before that chain's
// head). Every link and unlink keeps the point and its count in step, so the cursor never names
// an unlinked slot. Zeroed, it is an empty index with the point before everything.
struct NameIndex {
    NameIndexLink* links;  // `linkCapacity` places, past every named slot; a heap block of its own
    uint32_t linkCapacity;
    uint32_t heads[kNameIndexBuckets];
    uint32_t counts[kNameIndexBuckets];
    uint32_t cursorEntry;
    uint32_t cursorBucket;
    uint32_t cursorCount;
};

// The lookup table of an object with many slots: name id -> slot position for every named slot,
// open-addressed with linear probing (an empty place holds kDeletedSlot as its name), and the
// positions of deleted slots as a max-heap, so that creating a property finds the highest
// deleted slot without a scan. The heap may still hold positions that were revived by a store
// by position since; they are skipped when met.
struct SlotIndexEntry {
    uint32_t name;
    uint32_t slot;
};
struct SlotIndex {
    SlotIndexEntry* entries;  // `capacity` places, a power of two, at most half full
    uint32_t* freeSlots;      // `freeCapacity` places, the first `freeCount` a max-heap
    uint32_t capacity;
    uint32_t count;
    uint32_t freeCount;
    uint32_t freeCapacity;
};

struct ObjectRecord {
    NameIndex* index;    // null until the first access by text or enumeration
    Slot* slots;         // grown one slot at a time (the heap keeps the block while it fits)
    SlotIndex* ids;      // null while the object has few slots: a scan is faster then
    uint32_t slotCount;  // deleted slots included
    uint32_t protoSlot;  // position + 1 of the slot named "__proto__", 0 when there is none
};
static_assert(sizeof(ObjectRecord) == 32, "objects are the most numerous records: keep them in 32-byte blocks");

// An element of an array. `stamp` says when the element was created (higher is newer; 0 marks a
// hole). The bucket order that the element listings expose (index mod kArrayBuckets ascending,
// newest first within a bucket) is rebuilt from the stamps when it is asked for.
inline constexpr uint32_t kArrayBuckets = 127;
struct Element {
    Value value;
    uint64_t stamp;
};

// An element of an array's sparse table, filed under `key` = index + the array's sparseBias.
struct SparseElement {
    uint64_t key;
    uint64_t stamp;  // 0 marks an empty place of the table
    Value value;
};

// Elements live in two stores (see docs/data-structures.md): `cells`, dense, for the indices
// 0 to denseSize - 1, and `sparse`, a hash table, for the indices beyond. `cells` points
// `denseHead` cells into its heap block, so that moving every index down (shift) or up
// (unshift) moves the pointer rather than the cells.
// An indexed read needs `length`, `cells` and `denseSize` only: they come first, so that one
// cache line mostly holds them all (a column walk over the rows of a matrix
// touches one record per step).
struct ArrayRecord {
    uint64_t length;        // one more than the highest index stored, unless set otherwise
    Element* cells;         // null, or cell i holds index i for i < denseSize
    uint32_t denseSize;     // indices the dense cells cover
    uint32_t denseHead;     // cells of the block in front of `cells`, unused
    ObjectRecord* props;    // own property object, null until needed
    SparseElement* sparse;  // null, or a table of a power of two places, at most half full
    uint64_t sparseBias;    // added to an index to make its key; shifting all indices changes it
    uint64_t nextStamp;     // the stamp of the next element created
    uint32_t sparseCount;   // elements in the sparse table
    uint32_t count;         // elements in both stores
};
static_assert(sizeof(ArrayRecord) == 64 && sizeof(Element) == 24 && sizeof(SparseElement) == 32);

// A compiled function as the interpreter runs it.
struct LinePosition {
    uint32_t codeOffset;
    uint32_t line;
};
struct CodeRecord {
    uint32_t nameId;
    uint32_t codeWords;        // length of `code` in 4-byte slots
    const uint32_t* code;      // a heap block of its own
    StringRecord* sourceFile;  // may be null
    uint32_t lineCount;
    const LinePosition* lines;  // a heap block of its own, or null
};

struct FunctionRecord {
    CodeRecord* code;
    ObjectRecord* props;  // own property object, null until first needed
};

// Native data: an opaque pointer owned by the class; null for the value standing for the class.
struct HostRecord {
    Finalizer finalizer;  // calls the class's FinalizeData
    ClassRecord* cls;
    void* nativeData;
    ObjectRecord* props;  // own properties; null for the class value
};

// The operations through which every built-in and host class plugs in. An empty slot means the
// operation is not supported; each caller says what then happens. `args` is an argument vector:
// args[0] is an Integer count n, args[1..n] the arguments.
using CallOp = void (*)(Interpreter&, ClassRecord&, void* nativeData, Value* result, Value* args);
using CallMethodOp = bool (*)(Interpreter&, ClassRecord&, void* self, uint32_t nameId, Value* result, Value* args);
using PropertyOp = bool (*)(Interpreter&, ClassRecord&, void* self, uint32_t nameId, bool isSet, Value* io);
using ConstructOp = void (*)(Interpreter&, ClassRecord&, Value* args, Value* result);
using FinalizeDataOp = void (*)(ClassRecord&, void* nativeData);
using MarkDataOp = void (*)(Interpreter&, ClassRecord&, void* nativeData);
using FreeClassDataOp = void (*)(void* classData);

struct ClassRecord {
    Finalizer finalizer;  // frees the class data through FreeClassData
    CallOp Call;
    CallMethodOp CallMethod;
    PropertyOp Property;
    ConstructOp Construct;
    FinalizeDataOp FinalizeData;
    MarkDataOp MarkData;
    void* classData;
    FreeClassDataOp FreeClassData;
    ObjectRecord* prototype;
    const char* name;  // for "[object Name]" texts and diagnostics; static text
};

}  // namespace velmo::script
