#pragma once
// The element operations of arrays: elements keyed by a u64 index, the length kept apart from
// them. Storage is dense cells for the low indices and a hash table beyond (records.h,
// docs/data-structures.md); the observable order of the listings is the bucket order of a
// 127-bucket hash whose chains start with the newest element, rebuilt from creation stamps.
// The interpreter's indexed instructions and the Array class go through these. Nothing here
// collects; a failed allocation (std::bad_alloc) leaves the array as it was.

#include <cstdint>
#include <vector>

#include "script/runtime/records.h"

namespace velmo::script {

class Interpreter;

namespace detail {
const Value* SparseElementAt(const ArrayRecord* array, uint64_t i);
}

// An array of `length` with no elements; no element storage is made until the first store.
ArrayRecord* NewArray(Interpreter& interp, uint64_t length);

// The element at `i`, or null when there is none. The pointer is a view: the next store, removal
// or index change may move the storage, so copy the value before anything changes the array.
inline const Value* GetElement(const ArrayRecord* array, uint64_t i) {
    if (i < array->denseSize) {
        const Element& cell = array->cells[i];
        return cell.stamp ? &cell.value : nullptr;
    }
    return array->sparseCount ? detail::SparseElementAt(array, i) : nullptr;
}

// Stores a copy of `value` at `i`: an existing element keeps its place in the order, a new one
// becomes the newest. The length is not changed.
void PutElement(Interpreter& interp, ArrayRecord* array, const Value& value, uint64_t i);
struct IndexedValue {
    uint64_t index;
    Value value;
};
// PutElement of each item in turn, with the storage sized once for all of them.
void PutElements(Interpreter& interp, ArrayRecord* array, const std::vector<IndexedValue>& items);
void RemoveElement(Interpreter& interp, ArrayRecord* array, uint64_t i);
// For i < length: removes element i, moves every element above it down by one and shortens the
// length by one, closing the gap like a one-element splice. Nothing happens otherwise.
void DeleteAndClose(Interpreter& interp, ArrayRecord* array, uint64_t i);
// Adds `delta` to every element's index and to the length.
void ShiftIndices(Interpreter& interp, ArrayRecord* array, int64_t delta);
// Adds `delta` to the index of every element at or above `from`; the length is not changed.
// Indices wrap around modulo 2^64. No moved element may land on the index of another element.
void MoveIndicesFrom(Interpreter& interp, ArrayRecord* array, uint64_t from, int64_t delta);
// Element i becomes element length - 1 - i. Elements at or beyond the length stay where they are,
// so no two elements can meet at one index.
void ReverseIndices(Interpreter& interp, ArrayRecord* array);
// Sets the length; when it shrinks, the elements from the new length up to the old one are freed.
void SetLength(Interpreter& interp, ArrayRecord* array, uint64_t length);

// Every element with its index, in bucket order: index mod 127 ascending, newest first within a
// bucket, as a 127-bucket hash with new entries pushed at the head of their chain would list
// them (the index changes of the operations above re-file entries as that hash would). Copies,
// safe to keep across any call.
std::vector<IndexedValue> ListElements(const ArrayRecord* array);
// The same for the elements with lo <= index < hi only.
std::vector<IndexedValue> ListElementsIn(const ArrayRecord* array, uint64_t lo, uint64_t hi);
// The values of ListElements.
std::vector<Value> CollectElements(const ArrayRecord* array);
// The indices below `limit` that hold an element, ascending.
std::vector<uint64_t> ElementIndicesBelow(const ArrayRecord* array, uint64_t limit);
// Empties the array and stores copies of `values` under indices 0 to n - 1, in that order.
void Reindex(Interpreter& interp, ArrayRecord* array, const std::vector<Value>& values);

// The collector's visit of an array: marks its storage blocks and every element's value.
void ScanElements(Interpreter& interp, ArrayRecord* array);

}  // namespace velmo::script
