// The array sort: stability, termination whatever a comparator answers, the reading of comparator
// results, and the elements surviving collections run by the comparator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "script/library/array_sort.h"
#include "script/runtime/arrays.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/objects.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {
namespace {

std::vector<int64_t> Integers(const std::vector<Value>& values) {
    std::vector<int64_t> out;
    for (const Value& v : values) out.push_back(v.AsInteger());
    return out;
}

std::vector<Value> FromIntegers(const std::vector<int64_t>& integers) {
    std::vector<Value> out;
    for (const int64_t i : integers) out.push_back(Value::Integer(i));
    return out;
}

TEST(ArraySort, MergeSortKeepsEqualElementsInTheirOrder) {
    // Tens are the key, units the original position among equal keys.
    std::vector<Value> values = FromIntegers({31, 10, 32, 20, 11, 33, 21, 12, 34, 13, 22});
    MergeSort(values, [](const Value& a, const Value& b) {
        const int64_t ka = a.AsInteger() / 10, kb = b.AsInteger() / 10;
        return ka < kb ? -1 : ka > kb ? 1 : 0;
    });
    EXPECT_EQ(Integers(values), (std::vector<int64_t>{10, 11, 12, 13, 20, 21, 22, 31, 32, 33, 34}));
}

TEST(ArraySort, InconsistentComparatorsEndWithAPermutation) {
    std::vector<int64_t> input;
    for (int64_t i = 0; i < 200; ++i) input.push_back((i * 37) % 101);
    uint32_t seed = 12345;
    const ElementOrder orders[] = {
        [](const Value&, const Value&) { return -1; },
        [](const Value&, const Value&) { return 1; },
        [&seed](const Value&, const Value&) {  // a different answer each time for the same pair
            seed = seed * 1103515245 + 12345;
            return static_cast<int>((seed >> 16) % 3) - 1;
        },
    };
    for (const ElementOrder& order : orders) {
        std::vector<Value> values = FromIntegers(input);
        size_t calls = 0;
        MergeSort(values, [&](const Value& a, const Value& b) { return ++calls, order(a, b); });
        EXPECT_LE(calls, input.size() * 8);  // n log2 n bounds a merge sort's comparisons
        std::vector<int64_t> got = Integers(values), want = input;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }
}

TEST(ArraySort, ComparatorResultsCountBySignNeverByPayload) {
    Interpreter interp;
    const struct {
        Value result;
        int want;
    } rows[] = {
        {Value::Integer(-40), -1},
        {Value::Number(0.25), 1},
        {Value::Number(-0.0), 0},
        {Value::Number(std::nan("")), 0},
        {Value::Boolean(true), 1},
        {Value::Undefined(), 0},
        {StaticStringValue(interp, u"-3"), -1},
        {StaticStringValue(interp, u"x"), 0},
        // A pointer's payload reads as a large positive number; the object itself says nothing.
        {Value::Object(NewObject(interp)), 0},
        {Value::Array(NewArray(interp, 0)), 0},
    };
    for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(ComparatorSign(rows[i].result), rows[i].want) << "row " << i;
}

// A host comparator that collects at every call and empties the array being sorted: the elements
// (owned strings reachable from nothing else) must come through intact and in order.
void CollectingComparator(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    interp.Collect();
    SetLength(interp, interp.GlobalByName("sorted").AsArray(), 0);
    *result = Value::Integer(StringCompare(Text(args[1].AsString()), Text(args[2].AsString())));
}

TEST(ArraySort, ElementsSurviveCollectionsAndChangesMadeByTheComparator) {
    Interpreter interp;
    ArrayRecord* array = NewArray(interp, 4);
    const char16_t* words[] = {u"pear", u"apple", u"fig", u"date"};
    for (uint64_t i = 0; i < 4; ++i) PutElement(interp, array, StringValue(interp, words[i]), i);
    interp.GlobalByName("sorted") = Value::Array(array);
    ClassRecord* cls = NewClass(interp, "Comparator");
    cls->Call = &CollectingComparator;
    interp.GlobalByName("comparator") = NewHostValue(interp, cls, nullptr);

    SortArray(interp, Value::Array(array), &interp.GlobalByName("comparator"));
    interp.Collect();
    EXPECT_EQ(array->length, 4u);  // emptied meanwhile, yet every sorted element stays in reach
    std::vector<std::u16string> got;
    for (uint64_t i = 0; i < 4; ++i) {
        const Value* cell = GetElement(array, i);
        ASSERT_NE(cell, nullptr);
        got.emplace_back(Text(cell->AsString()));
    }
    EXPECT_EQ(got, (std::vector<std::u16string>{u"apple", u"date", u"fig", u"pear"}));
}

}  // namespace
}  // namespace velmo::script::library
