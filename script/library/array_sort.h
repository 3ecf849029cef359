#pragma once
// Ordering the elements of an array: a stable top-down merge sort, with the default order (texts,
// undefined last) or a script comparator.

#include <functional>
#include <vector>

#include "script/runtime/value.h"

namespace velmo::script {
class Interpreter;
}

namespace velmo::script::library {

// -1, 0 or 1 for the order of `a` and `b`; below 1 keeps `a` first.
using ElementOrder = std::function<int(const Value& a, const Value& b)>;

// Sorts `values` in place; equal elements keep their order. The number of steps depends on the
// count alone, so an inconsistent `order` still ends, with a permutation of the input.
void MergeSort(std::vector<Value>& values, const ElementOrder& order);

// The order a comparator's `result` stands for: the sign of an Integer or a Number (a NaN double
// counts as 0); other primitives by the sign of their ToNumber (true 1, false 0, "-3" -1,
// undefined 0); anything else 0. Never the raw payload, which for a pointer means nothing.
int ComparatorSign(const Value& result);

// The default order: Undefined after everything else, then the ToString texts by code units.
int DefaultOrder(Interpreter& interp, const Value& a, const Value& b);

// "sort"(comparator) on the array `arrayValue`; `comparator` is null when none was given.
void SortArray(Interpreter& interp, const Value& arrayValue, const Value* comparator);

}  // namespace velmo::script::library
