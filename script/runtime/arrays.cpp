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
    MoveIndicesFrom(array, i + 1, -1);
    --array->length;
}

void ShiftIndices(ArrayRecord* array, int64_t delta) {
    MoveIndicesFrom(array, 0, delta);
    array->length += static_cast<uint64_t>(delta);
}

void MoveIndicesFrom(ArrayRecord* array, uint64_t from, int64_t delta) {
    bool moved = false;
    for (uint32_t b = 0; b < kArrayBuckets; ++b)
        for (ElementEntry* e = array->buckets[b]; e; e = e->next)
            if (e->index >= from) {
                e->index += static_cast<uint64_t>(delta);
                moved = true;
            }
    if (moved && delta != 0) Rehash(array);
}

void ReverseIndices(ArrayRecord* array) {
    for (uint32_t b = 0; b < kArrayBuckets; ++b)
        for (ElementEntry* e = array->buckets[b]; e; e = e->next)
            if (e->index < array->length) e->index = array->length - 1 - e->index;
    Rehash(array);
}

void SetLength(Interpreter& interp, ArrayRecord* array, uint64_t length) {
    const uint64_t old = array->length;
    array->length = length;
    if (length >= old) return;
    for (uint32_t b = 0; b < kArrayBuckets; ++b) {
        for (ElementEntry** link = &array->buckets[b]; *link;) {
            ElementEntry* e = *link;
            if (e->index < length || e->index >= old) {
                link = &e->next;
                continue;
            }
            *link = e->next;
            FreeEntry(interp, e);
        }
    }
}

std::vector<Value*> CollectElements(ArrayRecord* array) {
    std::vector<Value*> cells;
    for (uint32_t b = 0; b < kArrayBuckets; ++b)
        for (ElementEntry* e = array->buckets[b]; e; e = e->next) cells.push_back(e->cell);
    return cells;
}

std::vector<IndexedValue> ListElements(ArrayRecord* array) {
    std::vector<IndexedValue> elements;
    for (uint32_t b = 0; b < kArrayBuckets; ++b)
        for (ElementEntry* e = array->buckets[b]; e; e = e->next) elements.push_back({e->index, *e->cell});
    return elements;
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
