// The sort of arrays. The elements are ordered as copied values, never as cells of the array: a
// comparator or a toString may change or shrink the array while the sort runs, and would free
// the cells under it. The copies stay reachable through a pinned holder array of their own.
#include "script/library/array_sort.h"

#include <algorithm>
#include <string>

#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/calls.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/pinned.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

int SignOf(int64_t i) { return i > 0 ? 1 : i < 0 ? -1 : 0; }
int SignOf(double d) { return d > 0 ? 1 : d < 0 ? -1 : 0; }  // NaN compares false both ways: 0

// Sorts values[lo..hi] (inclusive) through `scratch`, which is as long as `values`.
void SortRange(std::vector<Value>& values, std::vector<Value>& scratch, size_t lo, size_t hi,
               const ElementOrder& order) {
    if (hi <= lo) return;
    const size_t mid = lo + (hi - lo) / 2;
    SortRange(values, scratch, lo, mid, order);
    SortRange(values, scratch, mid + 1, hi, order);
    std::copy(values.begin() + static_cast<std::ptrdiff_t>(lo), values.begin() + static_cast<std::ptrdiff_t>(hi) + 1,
              scratch.begin() + static_cast<std::ptrdiff_t>(lo));
    size_t left = lo, right = mid + 1, out = lo;
    while (left <= mid && right <= hi)
        values[out++] = order(scratch[left], scratch[right]) < 1 ? scratch[left++] : scratch[right++];
    while (left <= mid) values[out++] = scratch[left++];
    while (right <= hi) values[out++] = scratch[right++];
}

// A comparator that fails ends the sort with the array untouched, and its error goes on to the
// script as a throw of the error text: a try around the sort catches it, and otherwise the run
// ends with the message as if the comparator had failed on its own. (The protected call would
// otherwise read as "equal" and hide the failure.) The thrown value itself is not kept by the
// protected call, so a catch sees its text.
[[noreturn]] void PassOnComparatorError(Interpreter& interp) {
    const std::u16string text = platform::AnsiToUtf16(ErrorText(interp));
    PassOn(interp, StringValue(interp, text));
}

ElementOrder ComparatorOrder(Interpreter& interp, const Pinned& comparator) {
    return [&interp, &comparator](const Value& a, const Value& b) {
        Value args[3] = {Value::Integer(2), a, b};
        if (!CallValue(interp, Value::Null(), comparator.Get(), args)) PassOnComparatorError(interp);
        return ComparatorSign(Result(interp));
    };
}

}  // namespace

void MergeSort(std::vector<Value>& values, const ElementOrder& order) {
    if (values.size() < 2) return;
    std::vector<Value> scratch(values.size());
    SortRange(values, scratch, 0, values.size() - 1, order);
}

int ComparatorSign(const Value& result) {
    if (result.Is(Tag::Integer)) return SignOf(result.AsInteger());
    if (result.Is(Tag::Number)) return SignOf(result.AsNumber());
    if (!result.IsPrimitive()) return 0;
    const Value number = ToNumberPrimitive(result);
    if (number.Is(Tag::Integer)) return SignOf(number.AsInteger());
    return number.Is(Tag::Number) ? SignOf(number.AsNumber()) : 0;
}

int DefaultOrder(Interpreter& interp, const Value& a, const Value& b) {
    if (a.Is(Tag::Undefined)) return 1;
    if (b.Is(Tag::Undefined)) return -1;
    // Strings, what is mostly sorted, are compared in place; other values are converted to text,
    // which may run script code (toString), so their texts are copied out before the next one.
    if (a.Is(Tag::String) && b.Is(Tag::String)) return StringCompare(Text(a.AsString()), Text(b.AsString()));
    const std::u16string left = ToText(interp, a);
    const std::u16string right = ToText(interp, b);
    return StringCompare(left, right);
}

void SortArray(Interpreter& interp, const Value& arrayValue, const Value* comparator) {
    const Pinned array(interp, arrayValue);
    std::vector<Value> values = CollectElements(arrayValue.AsArray());
    ArrayRecord* holder = NewArray(interp, values.size());
    Reindex(interp, holder, values);
    const Pinned holderPin(interp, Value::Array(holder));

    const bool callable = comparator && (comparator->Is(Tag::Function) || comparator->Is(Tag::HostObject));
    const Pinned callee(interp, callable ? *comparator : Value::Undefined());
    if (callable) MergeSort(values, ComparatorOrder(interp, callee));
    else MergeSort(values, [&interp](const Value& a, const Value& b) { return DefaultOrder(interp, a, b); });

    // A comparator may have shortened the array meanwhile; the length still covers every sorted
    // element, so none of them ends up beyond it, out of reach.
    ArrayRecord* target = array.Get().AsArray();
    Reindex(interp, target, values);
    if (target->length < values.size()) target->length = values.size();
}

}  // namespace velmo::script::library
