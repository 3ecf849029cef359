// Array element storage against a model of the 127-bucket chains that define the observable order:
// after any mix of stores, removals, length changes, index moves and the Array methods, the
// listings give the elements in the model's chain order and reads agree. Also far indices, holes,
// wrapped indices and the elements' survival across collections (also run with VELMO_GC_STRESS=1).
#include "script/runtime/arrays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/make_engine.h"
#include "platform/text.h"
#include "script/runtime/calls.h"
#include "script/runtime/engine.h"
#include "script/runtime/internal/interpreter_ops.h"
#include "script/runtime/strings.h"

namespace velmo::script {
namespace {

// The chains: bucket = index mod 127, a new entry pushed at the head of its chain, and every index
// change re-filing all entries from the last listed to the first, each at the head of its chain.
class ChainModel {
public:
    struct Entry {
        uint64_t index;
        int64_t value;
        bool operator==(const Entry&) const = default;
    };
    uint64_t length = 0;

    const Entry* Find(uint64_t i) const {
        for (const Entry& e : Chain(i))
            if (e.index == i) return &e;
        return nullptr;
    }
    void Put(uint64_t i, int64_t value) {
        for (Entry& e : Chain(i))
            if (e.index == i) return void(e.value = value);
        Chain(i).insert(Chain(i).begin(), {i, value});
    }
    void Remove(uint64_t i) {
        auto& chain = Chain(i);
        const auto it = std::find_if(chain.begin(), chain.end(), [i](const Entry& e) { return e.index == i; });
        if (it != chain.end()) chain.erase(it);
    }
    void MoveFrom(uint64_t from, int64_t delta) {
        bool moved = false;
        for (auto& chain : buckets_)
            for (Entry& e : chain)
                if (e.index >= from) e.index += static_cast<uint64_t>(delta), moved = true;
        if (moved && delta != 0) Refile();
    }
    void Shift(int64_t delta) {
        MoveFrom(0, delta);
        length += static_cast<uint64_t>(delta);
    }
    void DeleteAndClose(uint64_t i) {
        if (i >= length) return;
        Remove(i);
        MoveFrom(i + 1, -1);
        --length;
    }
    void Reverse() {
        for (auto& chain : buckets_)
            for (Entry& e : chain)
                if (e.index < length) e.index = length - 1 - e.index;
        Refile();
    }
    void SetLength(uint64_t n) {
        const uint64_t old = length;
        length = n;
        for (auto& chain : buckets_)
            std::erase_if(chain, [&](const Entry& e) { return e.index >= n && e.index < old; });
    }
    void Reindex(const std::vector<int64_t>& values) {
        for (auto& chain : buckets_) chain.clear();
        for (uint64_t i = 0; i < values.size(); ++i) Put(i, values[i]);
    }
    std::vector<Entry> List() const {
        std::vector<Entry> all;
        for (const auto& chain : buckets_) all.insert(all.end(), chain.begin(), chain.end());
        return all;
    }

private:
    std::vector<Entry>& Chain(uint64_t i) { return buckets_[i % 127]; }
    const std::vector<Entry>& Chain(uint64_t i) const { return buckets_[i % 127]; }
    void Refile() {
        const std::vector<Entry> all = List();
        for (auto& chain : buckets_) chain.clear();
        for (auto it = all.rbegin(); it != all.rend(); ++it) Chain(it->index).insert(Chain(it->index).begin(), *it);
    }
    std::array<std::vector<Entry>, 127> buckets_;
};

std::vector<ChainModel::Entry> Listed(const ArrayRecord* array) {
    std::vector<ChainModel::Entry> out;
    for (const IndexedValue& e : ListElements(array)) out.push_back({e.index, e.value.AsInteger()});
    return out;
}

void ExpectSame(const ArrayRecord* array, const ChainModel& model, const std::string& what) {
    ASSERT_EQ(array->length, model.length) << what;
    ASSERT_EQ(Listed(array), model.List()) << what;
    for (const ChainModel::Entry& e : model.List()) {
        const Value* cell = GetElement(array, e.index);
        ASSERT_TRUE(cell && cell->AsInteger() == e.value) << what << " at " << e.index;
    }
    for (uint64_t i = 0; i < 300; ++i)
        ASSERT_EQ(GetElement(array, i) != nullptr, model.Find(i) != nullptr) << what << " at " << i;
}

// The Array methods, and the same on the model as they are defined on the chains.
class ArrayMethods {
public:
    ArrayMethods() : engine_(host::MakeEngine()) {}
    Interpreter& Interp() { return engine_->Interp(); }

    Value Call(ArrayRecord* array, const char* method, std::vector<Value> arguments) {
        arguments.insert(arguments.begin(), Value::Integer(static_cast<int64_t>(arguments.size())));
        EXPECT_TRUE(InvokeMethod(Interp(), Value::Array(array), Interp().Intern(method), arguments.data()))
            << engine_->ErrorText();
        return Interp().Result();
    }

    static void Push(ChainModel& m, int64_t value) { m.Put(m.length++, value); }
    static void Pop(ChainModel& m) {
        if (m.length == 0) return;
        m.Remove(m.length - 1);
        --m.length;
    }
    static void ShiftOne(ChainModel& m) {
        if (m.length == 0) return;
        m.Remove(0);
        m.Shift(-1);
    }
    static void Unshift(ChainModel& m, const std::vector<int64_t>& items) {
        const uint64_t k = items.size();
        m.Shift(static_cast<int64_t>(k));
        for (uint64_t n = 1; n <= k; ++n) m.Put(k - n, items[n - 1]);
    }
    static ChainModel Splice(ChainModel& m, uint64_t from, uint64_t removed, const std::vector<int64_t>& items) {
        ChainModel result;
        result.length = removed;
        for (const ChainModel::Entry& e : m.List()) {
            if (e.index < from || e.index - from >= removed) continue;
            result.Put(e.index - from, e.value);
            m.Remove(e.index);
        }
        m.MoveFrom(from + removed, static_cast<int64_t>(items.size()) - static_cast<int64_t>(removed));
        for (uint64_t i = 0; i < items.size(); ++i) m.Put(from + i, items[i]);
        m.length = m.length - removed + items.size();
        return result;
    }
    static ChainModel Slice(const ChainModel& m, uint64_t begin, uint64_t end) {
        ChainModel result;
        result.length = end - begin;
        for (const ChainModel::Entry& e : m.List())
            if (e.index >= begin && e.index < end) result.Put(e.index - begin, e.value);
        return result;
    }
    static ChainModel Concat(const ChainModel& m, const ChainModel& other, int64_t single) {
        ChainModel result;
        for (const ChainModel* part : {&m, &other}) {
            for (const ChainModel::Entry& e : part->List())
                if (e.index < part->length) result.Put(e.index + result.length, e.value);
            result.length += part->length;
        }
        result.Put(result.length++, single);
        return result;
    }
    // The default order compares texts; every value here is an Integer.
    static void Sort(ChainModel& m) {
        std::vector<int64_t> values;
        for (const ChainModel::Entry& e : m.List()) values.push_back(e.value);
        std::stable_sort(values.begin(), values.end(),
                         [](int64_t a, int64_t b) { return std::to_string(a) < std::to_string(b); });
        m.Reindex(values);
        m.length = std::max<uint64_t>(m.length, values.size());
    }

private:
    std::unique_ptr<Engine> engine_;
};

uint64_t PickIndex(std::mt19937_64& random, uint64_t length) {
    switch (random() % 8) {
        case 0: return uint64_t{1'000'000'000} + random() % 50;  // far: the sparse table
        case 1: return length + random() % 4;
        default: return random() % (length + 40);
    }
}

// One random operation on both; `value` is unique to the step, so that every element is known by
// its value.
void Step(ArrayMethods& methods, std::mt19937_64& random, ArrayRecord* array, ChainModel& model, int64_t value) {
    Interpreter& interp = methods.Interp();
    const uint64_t length = model.length;
    const auto smallLength = [&] { return length < 400 ? length : uint64_t{0}; };
    switch (random() % 13) {
        case 0:
        case 1: {  // a[i] = value
            const uint64_t i = PickIndex(random, length);
            if (i >= array->length) array->length = i + 1;
            PutElement(interp, array, Value::Integer(value), i);
            model.length = std::max(model.length, i + 1);
            model.Put(i, value);
            break;
        }
        case 2:
            methods.Call(array, "push", {Value::Integer(value), Value::Integer(value + 1)});
            ArrayMethods::Push(model, value);
            ArrayMethods::Push(model, value + 1);
            break;
        case 3:
            methods.Call(array, "pop", {});
            ArrayMethods::Pop(model);
            break;
        case 4:
            methods.Call(array, "shift", {});
            ArrayMethods::ShiftOne(model);
            break;
        case 5:
            methods.Call(array, "unshift",
                         {Value::Integer(value), Value::Integer(value + 1), Value::Integer(value + 2)});
            ArrayMethods::Unshift(model, {value, value + 1, value + 2});
            break;
        case 6: {  // delete a[i]
            const uint64_t i = random() % (length + 2);
            DeleteAndClose(interp, array, i);
            model.DeleteAndClose(i);
            break;
        }
        case 7: {  // a.length = n, shorter or longer
            const uint64_t n = random() % 2 ? length / 2 + random() % 8 : length + random() % 8;
            SetLength(interp, array, n);
            model.SetLength(n);
            break;
        }
        case 8:
            methods.Call(array, "reverse", {});
            model.Reverse();
            break;
        case 9: {  // splice(s, c, items...) within the length
            const uint64_t s = random() % (smallLength() + 1), c = random() % (smallLength() - s + 1);
            std::vector<int64_t> items(random() % 4);
            std::vector<Value> arguments{Value::Integer(static_cast<int64_t>(s)),
                                         Value::Integer(static_cast<int64_t>(c))};
            for (size_t k = 0; k < items.size(); ++k) {
                items[k] = value + static_cast<int64_t>(k);
                arguments.push_back(Value::Integer(items[k]));
            }
            const Value removed = methods.Call(array, "splice", arguments);
            const ChainModel removedModel = ArrayMethods::Splice(model, s, c, items);
            if (smallLength() == length) ExpectSame(removed.AsArray(), removedModel, "spliced out");
            break;
        }
        case 10:
            if (model.List().size() < 300) {
                methods.Call(array, "sort", {});
                ArrayMethods::Sort(model);
            }
            break;
        case 11: {
            const uint64_t begin = random() % (smallLength() + 1), end = begin + random() % (smallLength() - begin + 1);
            const Value slice =
                methods.Call(array, "slice",
                             {Value::Integer(static_cast<int64_t>(begin)), Value::Integer(static_cast<int64_t>(end))});
            if (smallLength() == length) ExpectSame(slice.AsArray(), ArrayMethods::Slice(model, begin, end), "slice");
            break;
        }
        case 12:
            if (length < 400) {
                ArrayRecord* other = NewArray(interp, 5);
                ChainModel otherModel;
                otherModel.length = 5;
                for (uint64_t i : {4, 1, 3}) {
                    PutElement(interp, other, Value::Integer(value + static_cast<int64_t>(i)), i);
                    otherModel.Put(i, value + static_cast<int64_t>(i));
                }
                const Value joined = methods.Call(array, "concat", {Value::Array(other), Value::Integer(-value)});
                ExpectSame(joined.AsArray(), ArrayMethods::Concat(model, otherModel, -value), "concat");
            }
            break;
    }
}

TEST(Arrays, ListingsKeepTheChainOrderThroughEveryOperation) {
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        ArrayMethods methods;
        Interpreter& interp = methods.Interp();
        std::mt19937_64 random(seed);
        ArrayRecord* array = NewArray(interp, 0);
        interp.GlobalByName("kept") = Value::Array(array);
        ChainModel model;
        for (int step = 0; step < 600; ++step) {
            Step(methods, random, array, model, step * 10);
            ExpectSame(array, model, "seed " + std::to_string(seed) + " step " + std::to_string(step));
            if (HasFatalFailure()) return;
            if (step % 50 == 0) interp.Collect();
        }
        EXPECT_TRUE(interp.GetHeap().CheckConsistency());
    }
}

// Each move of part of the elements inside the cells doubles the stamp counter; long runs of them
// renumber the stamps on the way, and the order must come through that unchanged.
TEST(Arrays, LongRunsOfPartialMovesKeepTheOrder) {
    ArrayMethods methods;
    Interpreter& interp = methods.Interp();
    std::mt19937_64 random(7);
    ArrayRecord* array = NewArray(interp, 0);
    ChainModel model;
    for (int64_t i = 0; i < 500; ++i) {
        PutElement(interp, array, Value::Integer(i), array->length++);
        model.Put(model.length++, i);
    }
    for (int64_t round = 0; round < 400; ++round) {
        const uint64_t at = 1 + random() % (model.length - 2);
        if (round % 2) {
            DeleteAndClose(interp, array, at);
            model.DeleteAndClose(at);
        } else {  // room for two, as splice(at, 0, x, y) makes it
            MoveIndicesFrom(interp, array, at, 2);
            model.MoveFrom(at, 2);
            for (const uint64_t i : {at, at + 1}) {
                PutElement(interp, array, Value::Integer(1000 + round), i);
                model.Put(i, 1000 + round);
            }
            array->length += 2;
            model.length += 2;
        }
        if (round % 20 == 0) ExpectSame(array, model, "round " + std::to_string(round));
    }
    ExpectSame(array, model, "end");
}

TEST(Arrays, FarIndicesTakeTablePlacesAndIndicesWrapLikeTheChains) {
    ArrayMethods methods;
    Interpreter& interp = methods.Interp();
    const size_t chunksBefore = interp.GetHeap().ChunkBytes();
    ArrayRecord* array = NewArray(interp, 0);
    ChainModel model;
    for (const uint64_t i : {uint64_t{1'000'000'000}, uint64_t{INT64_MAX}, uint64_t{1} << 40, uint64_t{5}}) {
        PutElement(interp, array, Value::Integer(static_cast<int64_t>(i % 1000)), i);
        model.Put(i, static_cast<int64_t>(i % 1000));
    }
    array->length = model.length = uint64_t{INT64_MAX} + 1;
    EXPECT_LT(interp.GetHeap().ChunkBytes() - chunksBefore, size_t{1} << 20);  // no cells up to the far indices
    EXPECT_EQ(GetElement(array, 4), nullptr);
    EXPECT_EQ(GetElement(array, 999'999'999), nullptr);
    ExpectSame(array, model, "far");

    // Filling from 0 upward brings the low part into cells; the far elements stay where they are.
    for (uint64_t i = 0; i < 2000; ++i) {
        PutElement(interp, array, Value::Integer(static_cast<int64_t>(i)), i);
        model.Put(i, static_cast<int64_t>(i));
    }
    ExpectSame(array, model, "filled");
    ReverseIndices(interp, array);
    model.Reverse();
    ExpectSame(array, model, "reversed");

    // Indices near 2^64 wrap around when moved up, and index 0 wraps to 2^64 - 1 when moved down;
    // their buckets then no longer follow the others, so the order is re-filed.
    ArrayRecord* edge = NewArray(interp, 0);
    ChainModel edgeModel;
    for (const uint64_t i : {UINT64_MAX - 1, uint64_t{0}, uint64_t{1}, uint64_t{130}, uint64_t{300}}) {
        PutElement(interp, edge, Value::Integer(static_cast<int64_t>(i & 0xFFFF)), i);
        edgeModel.Put(i, static_cast<int64_t>(i & 0xFFFF));
    }
    ShiftIndices(interp, edge, 5);
    edgeModel.Shift(5);
    ExpectSame(edge, edgeModel, "wrapped up");
    ShiftIndices(interp, edge, -6);
    edgeModel.Shift(-6);
    ExpectSame(edge, edgeModel, "wrapped down");
}

TEST(Arrays, ElementsSurviveCollectionsWhereverTheyAreStored) {
    ArrayMethods methods;
    Interpreter& interp = methods.Interp();
    ArrayRecord* array = NewArray(interp, 0);
    interp.GlobalByName("kept") = Value::Array(array);
    const auto text = [&](uint64_t i) { return platform::AnsiToUtf16("element " + std::to_string(i)); };
    std::vector<uint64_t> indices;
    for (uint64_t i = 0; i < 300; i += 3) indices.push_back(i);
    for (uint64_t i = 0; i < 40; ++i) indices.push_back(uint64_t{1} << 33 | i);
    for (const uint64_t i : indices) PutElement(interp, array, StringValue(interp, text(i)), i);
    array->length = (uint64_t{1} << 33) + 40;

    // Shifts move the cells' start inside their block and the table's bias; the collector must
    // still find every element, and nothing else may be kept.
    for (int round = 0; round < 3; ++round) {
        ShiftIndices(interp, array, 7);
        ShiftIndices(interp, array, -7);
        methods.Call(array, "shift", {});
        methods.Call(array, "unshift", {StringValue(interp, text(0))});
        interp.Collect();
        ASSERT_TRUE(interp.GetHeap().CheckConsistency());
        for (const uint64_t i : indices) {
            const Value* cell = GetElement(array, i);
            ASSERT_TRUE(cell && cell->Is(Tag::String)) << i;
            EXPECT_EQ(Text(cell->AsString()), text(i));
        }
    }
    const size_t live = interp.GetHeap().BytesInUse();
    SetLength(interp, array, 0);
    interp.Collect();
    EXPECT_LT(interp.GetHeap().BytesInUse(), live);
    EXPECT_EQ(array->count, 0u);
    EXPECT_TRUE(ListElements(array).empty());
}

// The dispatch loop's inline paths must answer exactly as the full indexed access wherever they
// answer at all, and leave every change of order or storage to it.
TEST(Arrays, InlineIndexedAccessAgreesWithTheFullOperation) {
    ArrayMethods methods;
    Interpreter& interp = methods.Interp();
    ArrayRecord* array = NewArray(interp, 0);
    for (uint64_t i = 0; i < 40; i += 3) PutElement(interp, array, Value::Integer(static_cast<int64_t>(i)), i);
    PutElement(interp, array, Value::Integer(-1), 5000);
    array->length = 30;  // elements beyond the length are out of reach
    const Value arrayValue = Value::Array(array);
    const Value keys[] = {Value::Integer(-1),        Value::Integer(0),  Value::Integer(1),
                          Value::Integer(29),        Value::Integer(33), Value::Integer(5000),
                          Value::Integer(INT64_MIN), Value::Number(3.7), StringValue(interp, u"3")};
    for (const Value& key : keys) {
        Value fast = Value::Null();
        if (ops::TryArrayRead(arrayValue, key, fast)) {
            const Value full = ops::IndexedRead(interp, arrayValue, key);
            EXPECT_EQ(fast.tag, full.tag);
            EXPECT_EQ(fast.payload.i, full.payload.i);
        }
        const std::vector<IndexedValue> before = ListElements(array);
        const bool stored = ops::TryArrayStore(arrayValue, key, Value::Integer(77));
        const std::vector<IndexedValue> after = ListElements(array);
        ASSERT_EQ(before.size(), after.size());
        for (size_t k = 0; k < before.size(); ++k) EXPECT_EQ(before[k].index, after[k].index);
        if (stored) {
            EXPECT_EQ(GetElement(array, static_cast<uint64_t>(key.AsInteger()))->AsInteger(), 77);
        }
    }
    Value out;
    EXPECT_TRUE(ops::TryArrayRead(arrayValue, Value::Integer(0), out) && out.AsInteger() == 77);
    EXPECT_TRUE(ops::TryArrayRead(arrayValue, Value::Integer(3), out) && out.AsInteger() == 3);
    EXPECT_TRUE(ops::TryArrayRead(arrayValue, Value::Integer(4), out) && out.Is(Tag::Undefined));
    EXPECT_FALSE(ops::TryArrayStore(arrayValue, Value::Integer(4), Value::Integer(1)));  // a new element
    EXPECT_FALSE(ops::TryArrayRead(Value::Object(nullptr), Value::Integer(0), out));
}

}  // namespace
}  // namespace velmo::script
