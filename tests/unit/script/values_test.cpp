// Values, names, strings and the conversions and comparisons of primitive values; the collector's
// roots as far as the tables go.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "script/runtime/internal/arithmetic.h"
#include "script/runtime/convert.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/name_hash.h"
#include "script/runtime/strings.h"

namespace velmo::script {
namespace {

// Same tag and same payload meaning; NaN doubles equal each other here.
bool Same(const Value& a, const Value& b) {
    if (a.tag != b.tag) return false;
    if (a.Is(Tag::Number))
        return a.AsNumber() == b.AsNumber() || (std::isnan(a.AsNumber()) && std::isnan(b.AsNumber()));
    if (a.Is(Tag::Integer)) return a.AsInteger() == b.AsInteger();
    return true;
}

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }

TEST(Names, HashIsTheSharedFunctionAndIdsAreDenseInInterningOrder) {
    // h = (h << 5) ^ (((h >> 9) ^ h) >> 7) ^ b, worked by hand for "ab": 'a' = 97, then 97 << 5 ^ 98.
    EXPECT_EQ(NameHash("a"), 97u);
    EXPECT_EQ(NameHash("ab"), (97u << 5) ^ ((((97u >> 9) ^ 97u) >> 7) ^ 98u));
    Interpreter interp;
    EXPECT_EQ(interp.Names().Text(interp.idProto()), "__proto__");
    EXPECT_EQ(interp.Names().Text(interp.idValueOf()), "valueOf");
    const uint32_t first = interp.Intern("alpha");
    EXPECT_EQ(first, 5u);
    EXPECT_EQ(interp.Intern("beta"), 6u);
    EXPECT_EQ(interp.Intern("alpha"), first);
    EXPECT_EQ(interp.Names().Text(999), "???");
    EXPECT_EQ(interp.Names().Find("gamma"), NameTable::kNoName);
}

// Library and host classes compare name ids with these constants and never ask: a name interned
// before them, or a reordering, would make every class miss toString and valueOf.
TEST(Names, TheConstantIdsAreTheNamesEveryInterpreterInternsFirst) {
    Interpreter interp;
    const struct {
        uint32_t id;
        const char* text;
    } rows[] = {{kProtoNameId, "__proto__"},
                {kPrototypeNameId, "prototype"},
                {kToSourceNameId, "toSource"},
                {kToStringNameId, "toString"},
                {kValueOfNameId, "valueOf"}};
    for (const auto& row : rows) {
        EXPECT_EQ(Intern(interp, row.text), row.id) << row.text;
        EXPECT_EQ(interp.Names().Text(row.id), row.text);
    }
}

TEST(Names, GrowingTheBucketsKeepsEveryNameAndItsId) {
    NameTable names;
    EXPECT_EQ(names.BucketCount(), kNameBuckets);
    std::vector<const NameEntry*> entries;
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(names.Intern("k" + std::to_string(i)), static_cast<uint32_t>(i));
        entries.push_back(names.Entry(static_cast<uint32_t>(i)));
    }
    EXPECT_GE(names.BucketCount(), 20000u / 2);
    for (int i = 0; i < 20000; ++i) {
        const std::string text = "k" + std::to_string(i);
        ASSERT_EQ(names.Find(text), static_cast<uint32_t>(i)) << text;
        ASSERT_EQ(names.Intern(text), static_cast<uint32_t>(i)) << text;
        ASSERT_EQ(names.Entry(static_cast<uint32_t>(i)), entries[i]) << "entries never move";
    }
    EXPECT_EQ(names.Count(), 20000u);
    EXPECT_EQ(names.Find("k20000"), NameTable::kNoName);
    EXPECT_EQ(names.Find(""), NameTable::kNoName);
}

// A lookup may decide from the first bytes and the length alone, or must read the whole text:
// names alike in all but their length, their trailing zero bytes or their ninth byte and later
// must each keep their own id, by 8-bit text and by ASCII UTF-16 text, across growth.
TEST(Names, NamesAlikeUpToTheirLengthOrTheirFirstBytesKeepTheirOwnIds) {
    using namespace std::string_literals;
    const std::vector<std::string> alike = {"a"s,
                                            "a\0"s,
                                            "a\0\0"s,
                                            ""s,
                                            "\0"s,
                                            "key1234x"s,
                                            "key1234y"s,
                                            "key1234xy"s,
                                            "key1234xz"s,
                                            "key1234"s,
                                            "abcdefghijklmno"s,
                                            "abcdefghijklmnop"s,
                                            "abcdefghijklmnoq"s,
                                            "\xE9t\xE9"s};
    NameTable names;
    std::vector<uint32_t> ids;
    for (const std::string& name : alike) ids.push_back(names.Intern(name));
    for (int i = 0; i < 3000; ++i) (void)names.Intern("filler" + std::to_string(i));  // grows the table
    for (size_t i = 0; i < alike.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ids[i], i);
        EXPECT_EQ(names.Find(alike[i]), ids[i]);
        EXPECT_EQ(names.Intern(alike[i]), ids[i]);
        EXPECT_EQ(names.Text(ids[i]), alike[i]);
        if (alike[i].find('\xE9') == std::string::npos) {
            EXPECT_EQ(names.FindAscii(std::u16string(alike[i].begin(), alike[i].end())), ids[i]);
        }
    }
    EXPECT_EQ(names.Find("a\0\0\0"s), NameTable::kNoName);
    EXPECT_EQ(names.FindAscii(u"key1234"), ids[9]);
    EXPECT_EQ(names.FindAscii(u"key1234z"), NameTable::kNoName);
    EXPECT_EQ(names.FindAscii(u"abcdefghijklmnor"), NameTable::kNoName);
}

TEST(Globals, UnsetGlobalsAreUndefinedAndNameTheirVariable) {
    Interpreter interp;
    for (int i = 0; i < 1500; ++i) interp.Intern("g" + std::to_string(i));  // past one growth step
    const uint32_t id = interp.Intern("g1400");
    const Value& unset = interp.Global(id);
    EXPECT_TRUE(unset.Is(Tag::Undefined));
    ASSERT_NE(unset.payload.p, nullptr);
    EXPECT_EQ(static_cast<const NameEntry*>(unset.payload.p)->text, "g1400");
    interp.Global(id) = Value::Integer(7);
    EXPECT_EQ(interp.GlobalByName("g1400").AsInteger(), 7);
}

TEST(Collector, KeepsWhatRootsReachAndReusesTheRest) {
    Interpreter interp;
    const uint32_t kept = interp.Intern("kept");
    interp.Global(kept) = StringValue(interp, u"global text");
    PinRecord* pin = interp.Pin(StringValue(interp, u"pinned text"));
    for (int i = 0; i < 1000; ++i) (void)NewString(interp, u"garbage that nothing reaches");
    const size_t before = interp.GetHeap().BytesInUse();
    interp.Collect();
    EXPECT_LT(interp.GetHeap().BytesInUse(), before / 10);
    EXPECT_EQ(Text(interp.Global(kept).AsString()), u"global text");
    EXPECT_EQ(Text(pin->value.AsString()), u"pinned text");
    const size_t chunks = interp.GetHeap().ChunkBytes();
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 1000; ++i) (void)NewString(interp, u"garbage that nothing reaches");
        interp.Collect();
    }
    EXPECT_EQ(interp.GetHeap().ChunkBytes(), chunks);  // freed blocks were reused, no new chunks
    interp.Collect();
    const size_t withPin = interp.GetHeap().BytesInUse();
    interp.Unpin(pin);
    interp.Collect();
    EXPECT_LT(interp.GetHeap().BytesInUse(), withPin);  // the unpinned string went
    EXPECT_EQ(Text(interp.Global(kept).AsString()), u"global text");
}

// Equality of string values: by text, whatever records hold it.
TEST(Strings, StrictEqualityComparesTextNotRecords) {
    Interpreter interp;
    const Value a = StringValue(interp, u"abcdefghi\x0100");
    EXPECT_TRUE(StrictEquals(a, a));
    EXPECT_TRUE(StrictEquals(a, StringValue(interp, u"abcdefghi\x0100")));
    EXPECT_FALSE(StrictEquals(a, StringValue(interp, u"abcdefghi\x0101")));  // last unit, high byte same
    EXPECT_FALSE(StrictEquals(a, StringValue(interp, u"abcdefghi\x0200")));
    EXPECT_FALSE(StrictEquals(a, StringValue(interp, u"abcdefghi")));
    EXPECT_FALSE(StrictEquals(StringValue(interp, u"ab"), StringValue(interp, u"abc")));
    EXPECT_TRUE(StrictEquals(StringValue(interp, u""), StaticStringValue(interp, u"")));
    EXPECT_TRUE(LooseEquals(StaticStringValue(interp, u"xyz"), StringValue(interp, u"xyz")));
}

TEST(Strings, CompareByUnsignedCodeUnitsWithPrefixesSmaller) {
    EXPECT_EQ(StringCompare(u"ab", u"abc"), -1);
    EXPECT_EQ(StringCompare(u"b", u"abc"), 1);
    EXPECT_EQ(StringCompare(u"", u""), 0);
    EXPECT_EQ(StringCompare(u"\xFFFF", u"a"), 1);  // unsigned: no sign trouble above 0x7FFF
    EXPECT_EQ(StringCompare(u"a", u"A"), 1);       // no case folding
    // Long shared starts, differences in every position of a word and in the tail after it.
    const std::u16string base = u"abcdefghijklmnopq";
    for (size_t i = 0; i < base.size(); ++i) {
        std::u16string higher = base, lower = base;
        higher[i] = u'\xFF00';
        lower[i] = u'A';
        EXPECT_EQ(StringCompare(base, higher), -1) << i;
        EXPECT_EQ(StringCompare(higher, base), 1) << i;
        EXPECT_EQ(StringCompare(base, lower), 1) << i;
        EXPECT_EQ(StringCompare(base.substr(0, i), base), -1) << i;
        EXPECT_EQ(StringCompare(base.substr(0, i), base.substr(0, i)), 0) << i;
    }
    Interpreter interp;
    static constexpr std::u16string_view kLiteral = u"static";
    StringRecord* s = NewStaticString(interp, kLiteral);
    EXPECT_EQ(Text(s).data(), kLiteral.data());  // shares the text, copies nothing
    EXPECT_TRUE(s->flags & kStaticString);
}

TEST(ToNumber, StringsTryIntegerFirstThenReReadAsFloat) {
    const struct {
        std::u16string_view text;
        Value want;
    } rows[] = {
        {u"", Value::Integer(0)},
        {u"12", Value::Integer(12)},
        {u"-7", Value::Integer(-7)},
        {u"  - 12", Value::Integer(-12)},
        {u"12abc", Value::Integer(12)},
        {u"0x1F", Value::Integer(31)},
        {u"017", Value::Integer(15)},
        {u"1e1", Value::Number(10.0)},
        {u"2.5", Value::Number(2.5)},
        {u"0.5", Value::Number(0.5)},
        {u".5", Value::Number(0.5)},
        {u"12e", Value::Number(12.0)},
        {u"abc", Value::NaN()},
        {u"e5", Value::NaN()},
        {u"-", Value::NaN()},
        {u"1e999", Value::Number(HUGE_VAL)},
        {u"99999999999999999999", Value::Number(1e20)},
        {u"9223372036854775807", Value::Integer(9223372036854775807)},
    };
    for (const auto& row : rows) EXPECT_TRUE(Same(StringToNumber(row.text), row.want)) << Narrow(row.text);
    EXPECT_TRUE(Same(ToNumberPrimitive(Value::Null()), Value::Integer(0)));
    EXPECT_TRUE(Same(ToNumberPrimitive(Value::Undefined()), Value::NaN()));
    EXPECT_TRUE(Same(ToNumberPrimitive(Value::Boolean(true)), Value::Integer(1)));
}

TEST(ReadInteger, RadixRulesAndOverflow) {
    EXPECT_EQ(ReadInteger(u"017", 10).integer, 17);
    EXPECT_EQ(ReadInteger(u"0x1f", 16).integer, 31);
    EXPECT_EQ(ReadInteger(u"zz", 36).integer, 35 * 36 + 35);
    EXPECT_EQ(ReadInteger(u"12", 37).kind, IntegerRead::Kind::None);
    EXPECT_EQ(ReadInteger(u"\u3000+\u00A042", 0).integer, 42);  // wide white space around the sign
    const IntegerRead big = ReadInteger(u"-99999999999999999999x", 0);
    EXPECT_EQ(big.kind, IntegerRead::Kind::Overflowed);
    EXPECT_DOUBLE_EQ(big.overflowed, -1e20);
    EXPECT_EQ(big.stop, 21u);
}

TEST(ToInteger, TruncatesAndGivesZeroForInfinitiesAndNaN) {
    EXPECT_EQ(ToInteger64Numeric(Value::Number(-2.9)), -2);
    EXPECT_EQ(ToInteger64Numeric(Value::Number(HUGE_VAL)), 0);
    EXPECT_EQ(ToInteger64Numeric(Value::NaN()), 0);
    EXPECT_EQ(ToInteger64Numeric(Value::Number(1e300)), INT64_MAX);  // saturates instead of undefined behaviour
    EXPECT_EQ(ToInt32Numeric(Value::Integer(0x1'0000'0005)), 5);
    EXPECT_EQ(ToInt32Numeric(Value::Integer(0xFFFF'FFFF)), -1);
}

TEST(ToString, PrimitiveTexts) {
    Interpreter interp;
    const struct {
        Value v;
        std::u16string_view want;
    } rows[] = {
        {Value::Null(), u"undefined"},
        {Value::Undefined(), u"undefined"},
        {Value::Boolean(false), u"false"},
        {Value::Integer(-42), u"-42"},
        {Value::Number(3.5), u"3.5"},
        {Value::Number(1.0 / 3), u"0.333333"},
        {Value::Number(1e21), u"1e+21"},
        {Value::Number(-HUGE_VAL), u"-Infinity"},
        {Value::NaN(), u"NaN"},
        {Value::Name(interp.idToString()), u"toString"},
        {Value::Name(12345), u"???"},
    };
    for (const auto& row : rows) EXPECT_EQ(PrimitiveText(interp, row.v), std::u16string(row.want)) << Narrow(row.want);
    EXPECT_EQ(PrimitiveText(interp, Value::Integer(INT64_MAX)), u"9223372036854775807");
    EXPECT_EQ(PrimitiveText(interp, Value::Object(nullptr)), std::nullopt);
}

TEST(TypeOf, FollowsTheTagTable) {
    EXPECT_EQ(TypeOf(Value::Null()), u"object");
    EXPECT_EQ(TypeOf(Value::NaN()), u"number");
    EXPECT_EQ(TypeOf(Value::Function(nullptr)), u"function");
    EXPECT_EQ(TypeOf(Value::Name(0)), u"");
}

TEST(Equality, LooseAndStrictOnPrimitivesAndReferences) {
    Interpreter interp;
    const Value twelve = StringValue(interp, u"12");
    EXPECT_TRUE(LooseEquals(twelve, Value::Integer(12)));
    EXPECT_TRUE(LooseEquals(StringValue(interp, u"1e1"), Value::Integer(10)));
    EXPECT_FALSE(LooseEquals(StringValue(interp, u"abc"), Value::NaN()));
    EXPECT_FALSE(LooseEquals(Value::NaN(), Value::NaN()));
    EXPECT_TRUE(LooseEquals(Value::Null(), Value::Undefined()));
    EXPECT_FALSE(LooseEquals(Value::Null(), Value::Integer(0)));
    EXPECT_TRUE(LooseEquals(Value::Boolean(true), StringValue(interp, u"1")));
    EXPECT_TRUE(LooseEquals(Value::Integer(3), Value::Number(3.0)));
    EXPECT_TRUE(LooseEquals(twelve, StringValue(interp, u"12")));  // content, not identity
    EXPECT_FALSE(StrictEquals(twelve, Value::Integer(12)));
    ArrayRecord a{}, b{};
    EXPECT_FALSE(LooseEquals(Value::Array(&a), Value::Array(&b)));  // two arrays are two values
    EXPECT_TRUE(LooseEquals(Value::Array(&a), Value::Array(&a)));
    const Value big = Value::Integer(INT64_MAX);
    EXPECT_FALSE(LooseEquals(big, Value::Integer(INT64_MAX - 1)));  // exact, not through doubles
}

TEST(Relational, StringsByCodeUnitsOthersNumericallyNaNNever) {
    Interpreter interp;
    EXPECT_EQ(ComparePrimitives(StringValue(interp, u"10"), StringValue(interp, u"9")), -1);
    EXPECT_EQ(ComparePrimitives(StringValue(interp, u"10"), Value::Integer(9)), 1);
    EXPECT_EQ(ComparePrimitives(Value::Integer(INT64_MAX), Value::Integer(INT64_MAX - 1)), 1);
    EXPECT_EQ(ComparePrimitives(Value::Number(2.5), Value::Integer(2)), 1);
    EXPECT_EQ(ComparePrimitives(StringValue(interp, u"x"), Value::Integer(1)), std::nullopt);
    EXPECT_EQ(ComparePrimitives(Value::Undefined(), Value::Integer(1)), std::nullopt);
}

TEST(Arithmetic, IntegersStayExactAndWrapStringsConcatenateNaNSpreads) {
    Interpreter interp;
    EXPECT_TRUE(Same(Add(interp, Value::Integer(1), Value::Integer(2)), Value::Integer(3)));
    EXPECT_TRUE(Same(Add(interp, Value::Integer(1), Value::Number(2.5)), Value::Number(3.5)));
    EXPECT_TRUE(Same(Add(interp, Value::Integer(INT64_MAX), Value::Integer(1)), Value::Integer(INT64_MIN)));
    EXPECT_TRUE(Same(Multiply(interp, Value::Integer(INT64_MAX), Value::Integer(2)), Value::Integer(-2)));
    EXPECT_EQ(Text(Add(interp, StringValue(interp, u"a"), Value::Integer(1)).AsString()), u"a1");
    EXPECT_EQ(Text(Add(interp, Value::Integer(1), StringValue(interp, u"a")).AsString()), u"1a");
    EXPECT_EQ(Text(Add(interp, Value::Null(), StringValue(interp, u"!")).AsString()), u"undefined!");
    EXPECT_TRUE(Same(Add(interp, Value::Boolean(true), Value::Integer(1)), Value::Integer(2)));
    EXPECT_TRUE(Same(Subtract(interp, StringValue(interp, u"10"), Value::Integer(4)), Value::Integer(6)));
    EXPECT_TRUE(Same(Subtract(interp, Value::Undefined(), Value::Integer(4)), Value::NaN()));
}

// Concatenation writes integers itself only while their text is known to be decimal: with no
// Integer class, or one that declared so; any other class's toString is still asked.
bool WordsToString(Interpreter& interp, ClassRecord&, void* self, uint32_t nameId, Value* result, Value*) {
    if (!self || nameId != interp.idToString()) return false;
    *result = StaticStringValue(interp, u"<int>");
    return true;
}

TEST(Arithmetic, IntegersConcatenateAsTheirTextWhateverClassWritesIt) {
    Interpreter interp;
    for (const int64_t v : {int64_t{0}, int64_t{7}, int64_t{-7}, int64_t{1000000}, INT64_MAX, INT64_MIN}) {
        SCOPED_TRACE(v);
        const std::u16string digits = ToText(interp, Value::Integer(v));
        EXPECT_EQ(Text(Add(interp, StringValue(interp, u"k"), Value::Integer(v)).AsString()), u"k" + digits);
        EXPECT_EQ(Text(Add(interp, Value::Integer(v), StringValue(interp, u"k")).AsString()), digits + u"k");
    }
    EXPECT_EQ(ToText(interp, Value::Integer(INT64_MIN)), u"-9223372036854775808");

    ClassRecord* words = interp.GetHeap().New<ClassRecord>();
    words->CallMethod = &WordsToString;
    SetTypeClass(interp, Tag::Integer, words);
    EXPECT_EQ(Text(Add(interp, StringValue(interp, u"k"), Value::Integer(5)).AsString()), u"k<int>");
    EXPECT_EQ(Text(Add(interp, Value::Integer(5), StringValue(interp, u"k")).AsString()), u"<int>k");
    DeclareDecimalIntegers(interp);  // a false declaration shows: the class is no longer asked
    EXPECT_EQ(Text(Add(interp, StringValue(interp, u"k"), Value::Integer(5)).AsString()), u"k5");
    SetTypeClass(interp, Tag::Integer, words);
    EXPECT_EQ(Text(Add(interp, StringValue(interp, u"k"), Value::Integer(5)).AsString()), u"k<int>");
    SetTypeClass(interp, Tag::Integer, nullptr);
    EXPECT_EQ(Text(Add(interp, StringValue(interp, u"k"), Value::Integer(5)).AsString()), u"k5");
}

}  // namespace
}  // namespace velmo::script
