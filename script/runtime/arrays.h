#pragma once
// The element operations of sparse arrays: a 127-bucket hash of (u64 index → cell) entries, the
// length kept apart from the elements. The interpreter's indexed instructions and the Array class
// go through these. Nothing here collects.

#include <cstdint>
#include <vector>

#include "script/runtime/records.h"

namespace velmo::script {

class Interpreter;

// An array of `length` with no elements.
ArrayRecord* NewArray(Interpreter& interp, uint64_t length);
// The cell of index `i`, or null when there is no element.
Value* GetElement(ArrayRecord* array, uint64_t i);
// Stores a copy of `value` at `i` (one entry per index). The length is not changed.
void PutElement(Interpreter& interp, ArrayRecord* array, const Value& value, uint64_t i);
void RemoveElement(Interpreter& interp, ArrayRecord* array, uint64_t i);
// For i < length: removes element i, moves every element above it down by one and shortens the
// length by one, closing the gap like a one-element splice. Nothing happens otherwise.
void DeleteAndClose(Interpreter& interp, ArrayRecord* array, uint64_t i);
// Adds `delta` to every element's index and to the length.
void ShiftIndices(ArrayRecord* array, int64_t delta);
// Adds `delta` to the index of every element at or above `from`; the length is not changed.
void MoveIndicesFrom(ArrayRecord* array, uint64_t from, int64_t delta);
// Element i becomes element length - 1 - i. Elements at or beyond the length stay where they are,
// so no two elements can meet at one index.
void ReverseIndices(ArrayRecord* array);
// Sets the length; when it shrinks, the elements from the new length up to the old one are freed.
void SetLength(Interpreter& interp, ArrayRecord* array, uint64_t length);
// Every element cell, bucket by bucket, each chain from its head. The pointers die at the next
// allocation that may free (RemoveElement, Reindex) or collection.
std::vector<Value*> CollectElements(ArrayRecord* array);
// A copy of every element with its index, in bucket order; safe to keep across any call.
struct IndexedValue {
    uint64_t index;
    Value value;
};
std::vector<IndexedValue> ListElements(ArrayRecord* array);
// Empties the table and stores copies of `values` under indices 0 to n - 1.
void Reindex(Interpreter& interp, ArrayRecord* array, const std::vector<Value>& values);

}  // namespace velmo::script
