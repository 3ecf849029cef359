// Objects large enough for a lookup table behave exactly as small ones: the same slot positions
// (reuse of the highest deleted slot, integer keys as positions), the same lookups by name, text
// and "__proto__", and the same enumeration order, checked against a model of slots and name-index
// chains. Enumeration steps stay right when the object changes between them, as in a for-in loop
// whose body adds and deletes properties.
#include "script/runtime/objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/name_hash.h"
#include "script/runtime/strings.h"

namespace velmo::script {
namespace {

// Slots and, once built, the 128 chains of the name index (new entries at the head).
class ObjectModel {
public:
    enum class Kind { Named, Deleted, Positional };
    struct ModelSlot {
        Kind kind;
        std::string name;
        int64_t value;  // -1 stands for the prototype object, 0 for Undefined
    };
    std::vector<ModelSlot> slots;

    std::optional<size_t> Named(const std::string& name) const {
        for (size_t i = 0; i < slots.size(); ++i)
            if (slots[i].kind == Kind::Named && slots[i].name == name) return i;
        return std::nullopt;
    }
    void Set(const std::string& name, int64_t value) {
        if (const auto at = Named(name)) return void(slots[*at].value = value);
        size_t at = slots.size();
        for (size_t i = slots.size(); i-- > 0;)
            if (slots[i].kind == Kind::Deleted) {
                at = i;
                break;
            }
        if (at == slots.size()) slots.push_back({});
        slots[at] = {Kind::Named, name, value};
        if (built_) Chain(name).insert(Chain(name).begin(), at);
    }
    void SetAt(size_t k, int64_t value) {
        while (slots.size() <= k) slots.push_back({Kind::Positional, "", 0});
        if (slots[k].kind == Kind::Deleted) slots[k].kind = Kind::Positional;
        slots[k].value = value;
    }
    void DeleteAt(size_t k) {
        if (k >= slots.size() || slots[k].kind == Kind::Deleted) return;
        if (built_ && slots[k].kind == Kind::Named) std::erase(Chain(slots[k].name), k);
        slots[k] = {Kind::Deleted, "", 0};
    }
    void Delete(const std::string& name) {
        if (const auto at = Named(name)) DeleteAt(*at);
    }
    void Build() {
        if (built_) return;
        built_ = true;
        for (size_t i = 0; i < slots.size(); ++i)
            if (slots[i].kind == Kind::Named) Chain(slots[i].name).insert(Chain(slots[i].name).begin(), i);
    }
    std::vector<std::string> Enumeration() {
        Build();
        std::vector<std::string> names;
        for (const auto& chain : chains_)
            for (const size_t at : chain) names.push_back(slots[at].name);
        return names;
    }

private:
    std::vector<size_t>& Chain(const std::string& name) { return chains_[NameHash(name) & 127]; }
    bool built_ = false;
    std::array<std::vector<size_t>, 128> chains_;
};

class ObjectPair {
public:
    ObjectPair() : object_(NewObject(interp_)), proto_(NewObject(interp_)) {
        interp_.GlobalByName("kept") = Value::Object(object_);
        interp_.GlobalByName("proto") = Value::Object(proto_);
        SetOwn(interp_, proto_, interp_.Intern("inherited"), Value::Integer(77));
    }
    Interpreter& Interp() { return interp_; }
    ObjectRecord* Object() { return object_; }
    ObjectModel& Model() { return model_; }

    Value ValueOf(int64_t v) {
        return v == -1 ? Value::Object(proto_) : v == 0 ? Value::Undefined() : Value::Integer(v);
    }
    Value Key(const std::string& name) { return StringValue(interp_, platform::AnsiToUtf16(name)); }

    // One random change, made the same way on both.
    void Change(std::mt19937& random, const std::vector<std::string>& universe, int64_t value) {
        const std::string& name = universe[random() % universe.size()];
        const int64_t stored = name == "__proto__" && random() % 2 ? -1 : value;
        switch (random() % 7) {
            case 0:
                SetOwn(interp_, object_, interp_.Intern(name), ValueOf(stored));
                model_.Set(name, stored);
                break;
            case 1:
                SetByKey(interp_, object_, Key(name), ValueOf(stored));
                model_.Build();
                model_.Set(name, stored);
                break;
            case 2:
                DeleteOwn(interp_, object_, interp_.Intern(name));
                model_.Delete(name);
                break;
            case 3:
                DeleteByKey(interp_, object_, Key(name));
                model_.Build();
                model_.Delete(name);
                break;
            case 4: {
                const size_t k = random() % (model_.slots.size() + 3);
                SetByKey(interp_, object_, Value::Integer(static_cast<int64_t>(k)), ValueOf(value));
                model_.SetAt(k, value);
                break;
            }
            case 5: {
                const size_t k = random() % (model_.slots.size() + 1);
                DeleteByKey(interp_, object_, Value::Integer(static_cast<int64_t>(k)));
                model_.DeleteAt(k);
                break;
            }
            case 6: {
                Value out;
                GetByKey(interp_, object_, Key(name), out);  // builds the name index
                model_.Build();
                break;
            }
        }
    }

    void ExpectSame(const std::vector<std::string>& universe, const std::string& what) {
        ASSERT_EQ(object_->slotCount, model_.slots.size()) << what;
        for (size_t k = 0; k < model_.slots.size(); ++k) {
            const ObjectModel::ModelSlot& slot = model_.slots[k];
            const uint32_t name = object_->slots[k].name;
            switch (slot.kind) {
                case ObjectModel::Kind::Named:
                    ASSERT_EQ(interp_.Names().Text(name), slot.name) << what << " slot " << k;
                    break;
                case ObjectModel::Kind::Deleted: ASSERT_EQ(name, kDeletedSlot) << what << " slot " << k; break;
                case ObjectModel::Kind::Positional:
                    ASSERT_EQ(name, kPositionalSlotName) << what << " slot " << k;
                    break;
            }
            Value out;
            ASSERT_TRUE(GetByKey(interp_, object_, Value::Integer(static_cast<int64_t>(k)), out));
            ASSERT_TRUE(Same(out, ValueOf(slot.value))) << what << " slot " << k;
        }
        for (const std::string& name : universe) {
            const auto at = model_.Named(name);
            Value out;
            ASSERT_EQ(GetOwnOrInherited(interp_, object_, interp_.Intern(name), out), at.has_value())
                << what << " " << name;
            if (at) {
                ASSERT_TRUE(Same(out, ValueOf(model_.slots[*at].value))) << what << " " << name;
            }
        }
        const auto proto = model_.Named("__proto__");
        Value out;
        const bool linked = proto && model_.slots[*proto].value == -1;
        ASSERT_EQ(GetOwnOrInherited(interp_, object_, interp_.Intern("inherited"), out), linked) << what;
    }

    std::optional<std::string> Enumerated(uint32_t n) {
        Value out;
        if (!EnumerateKey(interp_, object_, n, out)) return std::nullopt;
        return platform::Utf16ToAnsi(Text(out.AsString()));
    }

private:
    static bool Same(const Value& a, const Value& b) {
        return a.tag == b.tag && (a.Is(Tag::Undefined) || a.payload.i == b.payload.i);
    }

    Interpreter interp_;
    ObjectRecord* object_;
    ObjectRecord* proto_;
    ObjectModel model_;
};

std::vector<std::string> Universe(int count) {
    std::vector<std::string> names{"__proto__"};
    for (int i = 0; i < count; ++i) names.push_back("n" + std::to_string(i));
    return names;
}

TEST(ObjectIndex, LargeObjectsKeepTheSlotsLookupsAndOrderOfSmallOnes) {
    for (const int size : {4, 10, 40, 300}) {
        ObjectPair pair;
        const std::vector<std::string> universe = Universe(size);
        std::mt19937 random(static_cast<uint32_t>(size));
        for (int step = 0; step < 3000; ++step) {
            pair.Change(random, universe, step + 1);
            if (step % 7 == 0 || size < 50) {
                pair.ExpectSame(universe, "size " + std::to_string(size) + " step " + std::to_string(step));
                if (::testing::Test::HasFatalFailure()) return;
            }
            if (step % 200 == 0) {
                pair.Interp().Collect();
                const std::vector<std::string> want = pair.Model().Enumeration();
                for (uint32_t n = 0; n <= want.size(); ++n)
                    ASSERT_EQ(pair.Enumerated(n), n < want.size() ? std::optional(want[n]) : std::nullopt) << n;
            }
        }
        if (size >= 40) {
            EXPECT_NE(pair.Object()->ids, nullptr);  // the table was in use
        }
        EXPECT_TRUE(pair.Interp().GetHeap().CheckConsistency());
    }
}

// A for-in loop asks for key 0, 1, 2, ... of whatever the object is at each step. Whatever the body
// changes, every step must give the key at that position of the order as it then is.
TEST(ObjectIndex, EnumerationStepsFollowChangesMadeBetweenThem) {
    for (const int size : {8, 200}) {
        ObjectPair pair;
        const std::vector<std::string> universe = Universe(size);
        std::mt19937 random(99u + static_cast<uint32_t>(size));
        for (int i = 0; i < size; ++i)
            SetOwn(pair.Interp(), pair.Object(), pair.Interp().Intern(universe[i + 1]), Value::Integer(i + 1));
        for (int i = 0; i < size; ++i) pair.Model().Set(universe[i + 1], i + 1);
        for (int loop = 0; loop < 30; ++loop) {
            for (uint32_t n = 0;; ++n) {
                const std::vector<std::string> want = pair.Model().Enumeration();
                const std::optional<std::string> got = pair.Enumerated(n);
                ASSERT_EQ(got, n < want.size() ? std::optional(want[n]) : std::nullopt)
                    << "loop " << loop << " step " << n;
                if (!got) break;
                // The body: deletes the current key now and then, adds others, or does nothing.
                const int changes = static_cast<int>(random() % 3);
                for (int c = 0; c < changes; ++c) pair.Change(random, universe, loop * 1000 + n + 1);
                if (random() % 4 == 0) {
                    DeleteOwn(pair.Interp(), pair.Object(), pair.Interp().Intern(*got));
                    pair.Model().Delete(*got);
                }
            }
            pair.Interp().Collect();
        }
        pair.ExpectSame(universe, "after the loops");
    }
}

}  // namespace
}  // namespace velmo::script
