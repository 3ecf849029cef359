#pragma once
// The records that values point at, all on the collected heap (heap.h): plain, standard-layout,
// trivially destructible structs, made only by the heap. Whatever a record refers to is either
// another heap record (reached by the marker) or text that outlives it (static strings).

#include <cstdint>

#include "script/runtime/heap.h"
#include "script/runtime/value.h"

namespace velmo::script {

class Interpreter;
struct ClassRecord;

inline constexpr uint32_t kStaticString = 0x1;

struct StringRecord {
    uint32_t flags;         // kStaticString: `chars` is not ours to change or free
    uint32_t length;        // in UTF-16 code units
    const char16_t* chars;  // owned ones are a heap block of their own; not zero-terminated
    ObjectRecord* props;    // the string's own property object, null until first needed
};

// A slot of an object. Position k of the slot array is also the integer key k.
inline constexpr uint32_t kDeletedSlot = 0xFFFFFFFF;
struct Slot {
    uint32_t name;        // name id, or kDeletedSlot
    uint32_t attributes;  // 0 when created; nothing reads it
    Value value;
};

inline constexpr uint32_t kNameIndexBuckets = 128;
struct NameIndexEntry {
    NameIndexEntry* next;
    char* name;            // 8-bit copy, zero-terminated, a heap block of its own
    uint32_t nameLength;
    uint32_t slot;
};

struct ObjectRecord {
    NameIndexEntry** index;  // null, or kNameIndexBuckets heads, built on first access by text
    uint32_t* bucketCounts;  // null, or kNameIndexBuckets counts kept in step with `index`
    uint32_t slotCount;      // deleted slots included
    Slot* slots;             // grown one slot at a time
};

inline constexpr uint32_t kArrayBuckets = 127;
struct ElementEntry {
    uint64_t index;
    Value* cell;  // a heap block of its own
    ElementEntry* next;
};

struct ArrayRecord {
    uint64_t length;         // one more than the highest index stored, unless set otherwise
    ElementEntry** buckets;  // kArrayBuckets heads
    ObjectRecord* props;     // own property object, null until needed
};

// A compiled function as the interpreter runs it.
struct LinePosition {
    uint32_t codeOffset;
    uint32_t line;
};
struct CodeRecord {
    uint32_t nameId;
    uint32_t codeWords;          // length of `code` in 4-byte slots
    const uint32_t* code;        // a heap block of its own
    StringRecord* sourceFile;    // may be null
    uint32_t lineCount;
    const LinePosition* lines;   // a heap block of its own, or null
};

struct FunctionRecord {
    CodeRecord* code;
    ObjectRecord* props;  // own property object, null until first needed
};

// Native data: an opaque pointer owned by the class; null for the value standing for the class.
struct HostRecord {
    Heap::Finalizer finalizer;  // calls the class's FinalizeData
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
    Heap::Finalizer finalizer;  // frees the class data through FreeClassData
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
