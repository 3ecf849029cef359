#include "script/runtime/arrays.h"

#include "script/runtime/interpreter.h"

namespace velmo::script {

namespace {

ElementEntry*& Bucket(ArrayRecord* array, uint64_t i) { return array->buckets[i % kArrayBuckets]; }

void FreeEntry(Interpreter& interp, ElementEntry* entry) {
    interp.GetHeap().Free(entry->cell);
    interp.GetHeap().Free(entry);
}

// Moves every entry to the bucket of its (possibly changed) index. Entries keep their relative
// order within a bucket's chain as read, pushed at the head as new entries are.
void Rehash(ArrayRecord* array) {
    std::vector<ElementEntry*> all;
    for (uint32_t b = 0; b < kArrayBuckets; ++b) {
        for (ElementEntry* e = array->buckets[b]; e; e = e->next) all.push_back(e);
        array->buckets[b] = nullptr;
    }
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        ElementEntry* e = *it;
        e->next = Bucket(array, e->index);
        Bucket(array, e->index) = e;
    }
}

}  // namespace

ArrayRecord* NewArray(Interpreter& interp, uint64_t length) {
    ArrayRecord* array = interp.GetHeap().New<ArrayRecord>();
    array->buckets = static_cast<ElementEntry**>(interp.GetHeap().AllocateZeroed(kArrayBuckets * sizeof(ElementEntry*)));
    array->length = length;
    return array;
}

Value* GetElement(ArrayRecord* array, uint64_t i) {
    for (ElementEntry* e = Bucket(array, i); e; e = e->next)
        if (e->index == i) return e->cell;
    return nullptr;
}

void PutElement(Interpreter& interp, ArrayRecord* array, const Value& value, uint64_t i) {
    if (Value* cell = GetElement(array, i)) {
        *cell = value;
        return;
    }
    // Both blocks before linking: when the second cannot be had, the first is unreachable and
    // goes at the next sweep, and the array is as it was.
    auto* cell = static_cast<Value*>(interp.GetHeap().Allocate(sizeof(Value)));
    ElementEntry* entry = interp.GetHeap().New<ElementEntry>();
    *cell = value;
    entry->index = i;
    entry->cell = cell;
    entry->next = Bucket(array, i);
    Bucket(array, i) = entry;
}

void RemoveElement(Interpreter& interp, ArrayRecord* array, uint64_t i) {
    for (ElementEntry** link = &Bucket(array, i); *link; link = &(*link)->next) {
        if ((*link)->index != i) continue;
        ElementEntry* dead = *link;
        *link = dead->next;
        FreeEntry(interp, dead);
        return;
    }
}

void DeleteAndClose(Interpreter& interp, ArrayRecord* array, uint64_t i) {
    if (i >= array->length) return;
    RemoveElement(interp, array, i);
    bool moved = false;
    for (uint32_t b = 0; b < kArrayBuckets; ++b)
        for (ElementEntry* e = array->buckets[b]; e; e = e->next)
            if (e->index > i) {
                --e->index;
                moved = true;
            }
    if (moved) Rehash(array);
    --array->length;
}

void ShiftIndices(ArrayRecord* array, int64_t delta) {
    for (uint32_t b = 0; b < kArrayBuckets; ++b)
        for (ElementEntry* e = array->buckets[b]; e; e = e->next) e->index += static_cast<uint64_t>(delta);
    Rehash(array);
    array->length += static_cast<uint64_t>(delta);
}

std::vector<Value*> CollectElements(ArrayRecord* array) {
    std::vector<Value*> cells;
    for (uint32_t b = 0; b < kArrayBuckets; ++b)
        for (ElementEntry* e = array->buckets[b]; e; e = e->next) cells.push_back(e->cell);
    return cells;
}

void Reindex(Interpreter& interp, ArrayRecord* array, const std::vector<Value>& values) {
    for (uint32_t b = 0; b < kArrayBuckets; ++b) {
        for (ElementEntry* e = array->buckets[b]; e;) {
            ElementEntry* next = e->next;
            FreeEntry(interp, e);
            e = next;
        }
        array->buckets[b] = nullptr;
    }
    for (uint64_t i = 0; i < values.size(); ++i) PutElement(interp, array, values[i], i);
}

}  // namespace velmo::script
