// Owned strings keep their units in the record's block until a store lengthens them beyond it.
// Every holder of the record must see each change, through both layouts, and across collections
// (also run with VELMO_GC_STRESS=1); results of `+` are new strings that no change reaches.
#include "script/runtime/strings.h"

#include <gtest/gtest.h>

#include <string>

#include "script/runtime/internal/arithmetic.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/internal/interpreter_ops.h"
#include "script/runtime/objects.h"
#include "script/runtime/properties.h"

namespace velmo::script {
namespace {

void Store(Interpreter& interp, const Value& s, int64_t at, char16_t unit) {
    ops::IndexedStore(interp, s, Value::Integer(at), Value::Integer(unit));
}

TEST(Strings, LengtheningInPlaceIsSeenByEveryHolderWhereverTheUnitsLive) {
    Interpreter interp;
    const Value s = StringValue(interp, u"ab");
    StringRecord* record = s.AsString();
    ObjectRecord* holder = NewObject(interp);
    interp.GlobalByName("holder") = Value::Object(holder);
    SetOwn(interp, holder, interp.Intern("s"), s);
    const Value copy = Add(interp, s, StaticStringValue(interp, u""));  // a new string, not the record
    interp.GlobalByName("copy") = copy;

    std::u16string want = u"ab";
    // Within the record's block first, then far beyond it, then beyond the units' own block.
    for (const int64_t at : {2, 3, 40, 41, 300}) {
        Store(interp, s, at, u'x');
        want.resize(static_cast<size_t>(at) + 1, u' ');
        want[static_cast<size_t>(at)] = u'x';
        interp.Collect();
        Value held;
        ASSERT_TRUE(GetOwnOrInherited(interp, holder, interp.Intern("s"), held));
        ASSERT_EQ(held.AsString(), record);
        ASSERT_EQ(Text(record), want) << at;
    }
    Store(interp, s, 0, u'Z');  // a change inside the moved units
    EXPECT_EQ(Text(record).substr(0, 3), u"Zbx");
    EXPECT_EQ(Text(copy.AsString()), u"ab");
    want[0] = u'Z';
    EXPECT_EQ(Text(Add(interp, s, StaticStringValue(interp, u"!")).AsString()), want + u"!");
    EXPECT_TRUE(interp.GetHeap().CheckConsistency());
}

TEST(Strings, AnEmptyStringGrowsAndStaticStringsNeverChange) {
    Interpreter interp;
    const Value empty = StringValue(interp, u"");
    interp.GlobalByName("empty") = empty;
    Store(interp, empty, 1, u'q');
    interp.Collect();
    EXPECT_EQ(Text(empty.AsString()), u" q");

    const std::u16string_view literal = u"fixed";
    const Value constant = StaticStringValue(interp, literal);
    Store(interp, constant, 0, u'F');
    Store(interp, constant, 9, u'F');
    EXPECT_EQ(Text(constant.AsString()), u"fixed");
    EXPECT_EQ(Text(constant.AsString()).data(), literal.data());
}

// A string reaches its own property object; one whose units sit in its record needs no visit of
// its own otherwise, but the property object must still be kept.
TEST(Strings, OwnPropertiesOfAStringSurviveCollectionsInEitherLayout) {
    Interpreter interp;
    const Value shortText = StringValue(interp, u"s");
    const Value grown = StringValue(interp, u"g");
    Store(interp, grown, 64, u'!');
    for (const Value& s : {shortText, grown}) {
        interp.GlobalByName(s.AsString() == shortText.AsString() ? "a" : "b") = s;
        ObjectRecord* own = OwnProperties(interp, s, true);
        ASSERT_NE(own, nullptr);
        SetOwn(interp, own, interp.Intern("tag"), StringValue(interp, u"kept text"));
    }
    for (int i = 0; i < 200; ++i) (void)NewString(interp, u"garbage between the collections");
    interp.Collect();
    interp.Collect();
    for (const Value& s : {shortText, grown}) {
        ObjectRecord* own = OwnProperties(interp, s, false);
        ASSERT_NE(own, nullptr);
        Value out;
        ASSERT_TRUE(GetOwnOrInherited(interp, own, interp.Intern("tag"), out));
        EXPECT_EQ(Text(out.AsString()), u"kept text");
    }
    EXPECT_EQ(Text(grown.AsString()).size(), 65u);
    EXPECT_TRUE(interp.GetHeap().CheckConsistency());
}

}  // namespace
}  // namespace velmo::script
