// Object records: own and inherited lookup, slot reuse, positional keys, the name index kept in
// step with the slots, enumeration order and survival across collections (also run with
// VELMO_GC_STRESS=1, where every MaybeCollect() below collects).
#include "script/runtime/objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/internal/interpreter_ops.h"
#include "script/runtime/name_hash.h"
#include "script/runtime/strings.h"

namespace velmo::script {
namespace {

Value Key(Interpreter& interp, const std::string& text) { return StringValue(interp, platform::AnsiToUtf16(text)); }

// The integer a property holds, or -1 when it is absent or not an integer.
int64_t IntOr(bool found, const Value& v) { return found && v.Is(Tag::Integer) ? v.AsInteger() : -1; }

int64_t Own(Interpreter& interp, ObjectRecord* o, const std::string& name) {
    Value out;
    const bool found = GetByKey(interp, o, Key(interp, name), out);
    return IntOr(found, out);
}

int64_t Inherited(Interpreter& interp, ObjectRecord* o, const std::string& name) {
    Value out;
    const bool found = GetOwnOrInherited(interp, o, interp.Intern(name), out);
    return IntOr(found, out);
}

std::vector<std::string> Enumerate(Interpreter& interp, ObjectRecord* o) {
    std::vector<std::string> names;
    Value out;
    for (uint32_t n = 0; EnumerateKey(interp, o, n, out); ++n)
        names.push_back(platform::Utf16ToAnsi(Text(out.AsString())));
    return names;
}

TEST(Objects, AssignmentCreatesAnOwnSlotAndLeavesThePrototypeAlone) {
    Interpreter interp;
    const uint32_t x = interp.Intern("x");
    ObjectRecord* proto = NewObject(interp);
    ObjectRecord* o = NewObject(interp);
    SetOwn(interp, proto, x, Value::Integer(1));
    SetOwn(interp, o, interp.idProto(), Value::Object(proto));
    EXPECT_EQ(Inherited(interp, o, "x"), 1);
    EXPECT_EQ(Own(interp, o, "x"), -1);  // by key: prototypes are not consulted

    SetOwn(interp, o, x, Value::Integer(2));
    EXPECT_EQ(Inherited(interp, o, "x"), 2);
    EXPECT_EQ(Inherited(interp, proto, "x"), 1);
    EXPECT_EQ(o->slotCount, 2u);
    EXPECT_EQ(proto->slotCount, 1u);

    // Overwriting keeps the slot and its position; "__proto__" read by text is a plain slot.
    SetOwn(interp, o, x, Value::Integer(3));
    EXPECT_EQ(o->slotCount, 2u);
    Value out;
    ASSERT_TRUE(GetByKey(interp, o, Key(interp, "__proto__"), out));
    EXPECT_TRUE(out.Is(Tag::Object) && out.AsObject() == proto);
}

TEST(Objects, OnlyObjectsInProtoSlotsLinkAndCyclesEndAsNotFound) {
    Interpreter interp;
    const uint32_t proto = interp.idProto();
    ObjectRecord* base = NewObject(interp);
    SetOwn(interp, base, interp.Intern("y"), Value::Integer(7));

    ObjectRecord* o = NewObject(interp);
    SetOwn(interp, o, proto, Value::Integer(5));
    EXPECT_EQ(Inherited(interp, o, "y"), -1);
    SetOwn(interp, o, proto, Value::Null());
    EXPECT_EQ(Inherited(interp, o, "y"), -1);
    SetOwn(interp, o, proto, Value::Object(base));
    EXPECT_EQ(Inherited(interp, o, "y"), 7);

    // Loops of every length, entered after tails of every length, including an object that is
    // its own prototype; the search must stop and report not found (and Undefined).
    for (int tail = 0; tail < 4; ++tail) {
        for (int loop = 1; loop < 9; ++loop) {
            std::vector<ObjectRecord*> chain;
            for (int i = 0; i < tail + loop; ++i) chain.push_back(NewObject(interp));
            for (int i = 0; i + 1 < tail + loop; ++i) SetOwn(interp, chain[i], proto, Value::Object(chain[i + 1]));
            SetOwn(interp, chain.back(), proto, Value::Object(chain[tail]));
            Value out = Value::Integer(1);
            EXPECT_FALSE(GetOwnOrInherited(interp, chain[0], interp.Intern("missing"), out)) << tail << " " << loop;
            EXPECT_TRUE(out.Is(Tag::Undefined));
            // Names on the loop are still found from outside it.
            SetOwn(interp, chain.back(), interp.Intern("z"), Value::Integer(loop));
            EXPECT_EQ(Inherited(interp, chain[0], "z"), loop);
        }
    }
}

TEST(Objects, IntegerKeysAddressSlotPositionsAndPaddingNeverLinksPrototypes) {
    Interpreter interp;
    ObjectRecord* o = NewObject(interp);
    SetOwn(interp, o, interp.Intern("first"), Value::Integer(10));
    SetOwn(interp, o, interp.Intern("second"), Value::Integer(20));
    Value out;
    ASSERT_TRUE(GetByKey(interp, o, Value::Integer(0), out));
    EXPECT_EQ(out.AsInteger(), 10);
    EXPECT_FALSE(GetByKey(interp, o, Value::Integer(2), out));
    EXPECT_FALSE(GetByKey(interp, o, Value::Number(0.0), out));

    ObjectRecord* trap = NewObject(interp);
    SetOwn(interp, trap, interp.Intern("leak"), Value::Integer(1));
    SetByKey(interp, o, Value::Integer(5), Value::Integer(1));
    ASSERT_EQ(o->slotCount, 6u);
    for (uint32_t k = 2; k < 5; ++k) {
        ASSERT_TRUE(GetByKey(interp, o, Value::Integer(k), out));
        EXPECT_TRUE(out.Is(Tag::Undefined)) << k;
    }
    // An Object stored by position must not act as a prototype, nor be found as "__proto__".
    SetByKey(interp, o, Value::Integer(3), Value::Object(trap));
    EXPECT_EQ(Inherited(interp, o, "leak"), -1);
    EXPECT_FALSE(GetOwnOrInherited(interp, o, interp.idProto(), out));
    EXPECT_FALSE(GetByKey(interp, o, Key(interp, "__proto__"), out));
    EXPECT_EQ(Enumerate(interp, o).size(), 2u);
    const std::vector<PropertyName> list = ListProperties(interp, o);
    ASSERT_EQ(list.size(), 2u);  // the padding is not listed
    EXPECT_EQ(list[1].name, "second");
    EXPECT_EQ(list[1].slot, 1u);

    // Negative and absurd positions change nothing.
    SetByKey(interp, o, Value::Integer(-1), Value::Integer(1));
    SetByKey(interp, o, Value::Integer(kMaxSlots), Value::Integer(1));
    SetByKey(interp, o, Value::Integer(INT64_MAX), Value::Integer(1));
    EXPECT_EQ(o->slotCount, 6u);
}

TEST(Objects, DeletedSlotsAreReusedHighestFirst) {
    Interpreter interp;
    ObjectRecord* o = NewObject(interp);
    for (const char* name : {"a", "b", "c", "d"}) SetOwn(interp, o, interp.Intern(name), Value::Integer(name[0]));
    DeleteOwn(interp, o, interp.Intern("b"));
    DeleteByKey(interp, o, Key(interp, "c"));
    EXPECT_EQ(Own(interp, o, "c"), -1);
    EXPECT_EQ(Inherited(interp, o, "b"), -1);

    SetOwn(interp, o, interp.Intern("e"), Value::Integer(1));
    SetByKey(interp, o, Key(interp, "f"), Value::Integer(2));
    SetOwn(interp, o, interp.Intern("g"), Value::Integer(3));
    EXPECT_EQ(o->slotCount, 5u);
    const std::vector<PropertyName> list = ListProperties(interp, o);
    ASSERT_EQ(list.size(), 5u);
    const char* expected[] = {"a", "f", "e", "d", "g"};
    for (uint32_t k = 0; k < 5; ++k) {
        EXPECT_EQ(list[k].name, expected[k]) << k;
        EXPECT_EQ(list[k].slot, k);
    }

    // A deleted position written by key comes back as a positional slot, so it is not reused.
    DeleteByKey(interp, o, Value::Integer(0));
    EXPECT_EQ(Own(interp, o, "a"), -1);
    SetByKey(interp, o, Value::Integer(0), Value::Integer(9));
    SetOwn(interp, o, interp.Intern("h"), Value::Integer(4));
    Value out;
    ASSERT_TRUE(GetByKey(interp, o, Value::Integer(0), out));
    EXPECT_EQ(out.AsInteger(), 9);
    EXPECT_EQ(o->slotCount, 6u);
}

TEST(Objects, EnumerationFollowsBucketOrderNewestFirstWithinABucket) {
    Interpreter interp;
    ObjectRecord* o = NewObject(interp);
    std::vector<std::string> created;
    for (int i = 0; i < 300; ++i) created.push_back("p" + std::to_string(i));  // enough to share buckets
    for (size_t i = 0; i < created.size(); ++i) {
        SetOwn(interp, o, interp.Intern(created[i]), Value::Integer(static_cast<int64_t>(i)));
        if (i == 150) {
            EXPECT_EQ(Enumerate(interp, o).size(), 151u);  // built midway, then kept in step
        }
    }
    DeleteOwn(interp, o, interp.Intern("p7"));
    created.erase(created.begin() + 7);

    std::vector<std::string> expected(created.rbegin(), created.rend());
    std::stable_sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        return (NameHash(a) & 127) < (NameHash(b) & 127);
    });
    EXPECT_EQ(Enumerate(interp, o), expected);
}

// A deleted name that comes back is the newest entry of its chain, on an object with a lookup
// table as on a small one; and a slot added by position after the index was built, then
// deleted, can take a name like any other.
TEST(Objects, AReAddedNameEnumeratesAsTheNewestAndPositionalSlotsTakeNamesLater) {
    Interpreter interp;
    ObjectRecord* o = NewObject(interp);
    interp.GlobalByName("kept") = Value::Object(o);
    std::vector<std::string> created;
    for (int i = 0; i < 400; ++i) created.push_back("k" + std::to_string(i) + "x");
    for (const std::string& name : created) SetByKey(interp, o, Key(interp, name), Value::Integer(1));
    for (const int i : {5, 200, 399, 0}) {
        DeleteByKey(interp, o, Key(interp, created[i]));
        SetByKey(interp, o, Key(interp, created[i]), Value::Integer(2));
        const std::string name = created[i];
        created.erase(created.begin() + i);
        created.push_back(name);
    }
    SetByKey(interp, o, Value::Integer(1000), Value::Integer(3));
    DeleteByKey(interp, o, Value::Integer(1000));
    SetOwn(interp, o, interp.Intern("late"), Value::Integer(4));
    created.push_back("late");
    interp.Collect();
    EXPECT_EQ(o->slotCount, 1001u);
    EXPECT_EQ(o->slots[1000].name, interp.Intern("late"));  // the highest deleted slot

    std::vector<std::string> expected(created.rbegin(), created.rend());
    std::stable_sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        return (NameHash(a) & 127) < (NameHash(b) & 127);
    });
    EXPECT_EQ(Enumerate(interp, o), expected);
    DeleteOwn(interp, o, interp.Intern("late"));
    expected.erase(std::find(expected.begin(), expected.end(), "late"));
    EXPECT_EQ(Enumerate(interp, o), expected);
}

// Checks the index against a model of name → value and against the slots themselves.
void ExpectInStep(Interpreter& interp, ObjectRecord* o, const std::map<std::string, int64_t>& model,
                  const std::vector<std::string>& universe) {
    for (const std::string& name : universe) {
        const auto it = model.find(name);
        const int64_t want = it == model.end() ? -1 : it->second;
        ASSERT_EQ(Own(interp, o, name), want) << name;
        ASSERT_EQ(Inherited(interp, o, name), want) << name;
    }
    const std::vector<PropertyName> list = ListProperties(interp, o);
    size_t named = 0;
    for (uint32_t k = 0; k < o->slotCount; ++k) {
        const uint32_t id = o->slots[k].name;
        if (id == kDeletedSlot || id == kPositionalSlotName) continue;
        ASSERT_LT(named, list.size());
        ASSERT_EQ(list[named].slot, k);
        ASSERT_EQ(list[named].name, interp.Names().Text(id)) << k;
        ++named;
    }
    EXPECT_EQ(named, model.size());
    EXPECT_EQ(list.size(), model.size());
    EXPECT_EQ(Enumerate(interp, o).size(), model.size());
}

TEST(Objects, IndexStaysInStepAndEverythingSurvivesCollections) {
    Interpreter interp;
    ObjectRecord* o = NewObject(interp);
    interp.GlobalByName("kept") = Value::Object(o);
    std::vector<std::string> universe;
    for (int i = 0; i < 40; ++i) universe.push_back("n" + std::to_string(i));
    std::map<std::string, int64_t> model;
    std::mt19937 random(12345);
    Value out;
    ASSERT_FALSE(GetByKey(interp, o, Key(interp, "n0"), out));  // the index exists from here on
    for (int step = 0; step < 2000; ++step) {
        const std::string& name = universe[random() % universe.size()];
        const int64_t value = step;
        switch (random() % 5) {
            case 0:
                SetOwn(interp, o, interp.Intern(name), Value::Integer(value));
                model[name] = value;
                break;
            case 1:
                SetByKey(interp, o, Key(interp, name), Value::Integer(value));
                model[name] = value;
                break;
            case 2:
                DeleteOwn(interp, o, interp.Intern(name));
                model.erase(name);
                break;
            case 3:
                DeleteByKey(interp, o, Key(interp, name));
                model.erase(name);
                break;
            case 4: {
                const uint32_t k = random() % (o->slotCount + 1);
                if (k < o->slotCount && o->slots[k].name < kPositionalSlotName)
                    model.erase(std::string(interp.Names().Text(o->slots[k].name)));
                DeleteByKey(interp, o, Value::Integer(k));
                break;
            }
        }
        interp.MaybeCollect();
        if (step % 100 == 0) ExpectInStep(interp, o, model, universe);
    }
    ExpectInStep(interp, o, model, universe);

    // Strings and nested objects held in slots and reached through the index survive too.
    ObjectRecord* inner = NewObject(interp);
    SetByKey(interp, inner, Key(interp, "s"), Key(interp, "held text"));
    SetOwn(interp, o, interp.Intern("inner"), Value::Object(inner));
    interp.Collect();
    ASSERT_TRUE(GetByKey(interp, o, Key(interp, "inner"), out));
    ASSERT_TRUE(GetByKey(interp, out.AsObject(), Key(interp, "s"), out));
    EXPECT_EQ(platform::Utf16ToAnsi(Text(out.AsString())), "held text");
    model["inner"] = -1;  // not in the universe: only counted
    ExpectInStep(interp, o, model, universe);
    EXPECT_TRUE(interp.GetHeap().CheckConsistency());
}

// Keys reach a slot the same way whether they came as names or as string values, and whether the
// object looks names up through its index or through its id table: ASCII keys take a direct path
// from their UTF-16 units, other keys are converted first, and neither may find a near miss.
TEST(Objects, StringKeysFindTheSameSlotsAsNamesOnSmallAndLargeObjects) {
    Interpreter interp;
    const std::vector<std::string> names = {"plain", "caf\xC3\xA9", std::string("a\0b", 3), "x"};
    const std::vector<std::string> misses = {"plai", "cafe", "a", "X", ""};
    for (const uint32_t filler : {0u, 40u}) {  // 40 slots: well past where the id table starts
        ObjectRecord* o = NewObject(interp);
        for (uint32_t i = 0; i < filler; ++i)
            SetOwn(interp, o, interp.Intern("f" + std::to_string(i)), Value::Integer(0));
        for (size_t i = 0; i < names.size(); ++i) {
            if (i % 2) SetOwn(interp, o, interp.Intern(names[i]), Value::Integer(static_cast<int64_t>(i)));
            else SetByKey(interp, o, Key(interp, names[i]), Value::Integer(static_cast<int64_t>(i)));
        }
        for (size_t i = 0; i < names.size(); ++i) {
            SCOPED_TRACE(names[i]);
            EXPECT_EQ(Own(interp, o, names[i]), static_cast<int64_t>(i));
            EXPECT_EQ(Inherited(interp, o, names[i]), static_cast<int64_t>(i));
        }
        for (const std::string& miss : misses) EXPECT_EQ(Own(interp, o, miss), -1) << miss;
        DeleteByKey(interp, o, Key(interp, names[1]));
        DeleteByKey(interp, o, Key(interp, names[2]));
        EXPECT_EQ(Own(interp, o, names[1]), -1);
        EXPECT_EQ(Inherited(interp, o, names[2]), -1);
        EXPECT_EQ(Own(interp, o, names[3]), 3);
    }
}

// A key string remembers the name it was found under; one changed in place afterwards must be
// looked up by its new text, on objects with and without an id table, for reads, stores, deletes
// and for keys that came out of an enumeration.
TEST(Objects, AKeyChangedInPlaceNoLongerFindsItsOldProperty) {
    Interpreter interp;
    for (const uint32_t filler : {0u, 40u}) {
        SCOPED_TRACE(filler);
        ObjectRecord* o = NewObject(interp);
        for (uint32_t i = 0; i < filler; ++i)
            SetOwn(interp, o, interp.Intern("f" + std::to_string(i)), Value::Integer(0));
        SetOwn(interp, o, interp.Intern("cat"), Value::Integer(1));
        SetOwn(interp, o, interp.Intern("bat"), Value::Integer(2));
        const Value key = Key(interp, "cat");
        Value out;
        ASSERT_TRUE(GetByKey(interp, o, key, out));
        EXPECT_EQ(out.AsInteger(), 1);

        ops::IndexedStore(interp, key, Value::Integer(0), Value::Integer('b'));
        ASSERT_TRUE(GetByKey(interp, o, key, out));
        EXPECT_EQ(out.AsInteger(), 2);
        ops::IndexedStore(interp, key, Value::Integer(0), Value::Integer('r'));  // "rat": no such name
        EXPECT_FALSE(GetByKey(interp, o, key, out));
        SetByKey(interp, o, key, Value::Integer(3));
        EXPECT_EQ(Own(interp, o, "rat"), 3);
        EXPECT_EQ(Own(interp, o, "cat"), 1);
        EXPECT_EQ(Own(interp, o, "bat"), 2);

        // Growing the string in place changes its text too.
        ops::IndexedStore(interp, key, Value::Integer(4), Value::Integer('s'));  // "rat s"
        EXPECT_FALSE(GetByKey(interp, o, key, out));
        DeleteByKey(interp, o, key);
        EXPECT_EQ(Own(interp, o, "rat"), 3);

        // A key handed out by enumeration, then changed into another existing name.
        Value enumerated;
        bool sawCat = false;
        for (uint32_t n = 0; EnumerateKey(interp, o, n, enumerated); ++n)
            if (Text(enumerated.AsString()) == u"cat") {
                sawCat = true;
                break;
            }
        ASSERT_TRUE(sawCat);
        ASSERT_TRUE(GetByKey(interp, o, enumerated, out));
        EXPECT_EQ(out.AsInteger(), 1);
        ops::IndexedStore(interp, enumerated, Value::Integer(0), Value::Integer('r'));
        ASSERT_TRUE(GetByKey(interp, o, enumerated, out));
        EXPECT_EQ(out.AsInteger(), 3);
        DeleteByKey(interp, o, enumerated);
        EXPECT_EQ(Own(interp, o, "rat"), -1);
        EXPECT_EQ(Own(interp, o, "cat"), 1);
    }
}

// One key string used on many objects, where the name is new, known, or made by another key;
// and a key found once keeps finding the same property after collections (VELMO_GC_STRESS too).
TEST(Objects, ARememberedKeyNamesTheSamePropertyOnEveryObject) {
    Interpreter interp;
    const Value key = Key(interp, "shared");
    ObjectRecord* small = NewObject(interp);
    ObjectRecord* large = NewObject(interp);
    for (uint32_t i = 0; i < 40; ++i) SetOwn(interp, large, interp.Intern("g" + std::to_string(i)), Value::Integer(0));
    interp.GlobalByName("small") = Value::Object(small);
    interp.GlobalByName("large") = Value::Object(large);
    interp.GlobalByName("key") = key;
    Value out;
    EXPECT_FALSE(GetByKey(interp, small, key, out));  // never interned yet: nothing to remember
    SetByKey(interp, small, key, Value::Integer(7));
    EXPECT_FALSE(GetByKey(interp, large, key, out));
    SetByKey(interp, large, Key(interp, "shared"), Value::Integer(8));
    ASSERT_TRUE(GetByKey(interp, large, key, out));
    EXPECT_EQ(out.AsInteger(), 8);
    interp.Collect();
    ASSERT_TRUE(GetByKey(interp, small, key, out));
    EXPECT_EQ(out.AsInteger(), 7);
    EXPECT_EQ(Inherited(interp, large, "shared"), 8);
    DeleteByKey(interp, small, key);
    EXPECT_EQ(Own(interp, small, "shared"), -1);
    EXPECT_EQ(Own(interp, large, "shared"), 8);
}

}  // namespace
}  // namespace velmo::script
