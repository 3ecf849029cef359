// Value documents: the escaping order both ways, the "null" word for empty strings, how number
// texts choose their tag, sparse arrays, element names in any case, and values that contain
// themselves.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/make_engine.h"
#include "host/movie/value_codec.h"
#include "host/xml/xml_parser.h"
#include "script/runtime/arrays.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/strings.h"

namespace velmo::host {
namespace {

using script::Tag;
using script::Value;

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }

class Codec : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine_); }
    script::Interpreter& interp() { return engine_->Interp(); }

    Value Global(const char* source, const char* name) {
        EXPECT_EQ(engine_->RunSourceText(source), 1) << engine_->ErrorText();
        return interp().GlobalByName(name);
    }
    std::string Encode(const Value& v) {
        CodecBuffer buffer;
        EXPECT_TRUE(EncodeValue(interp(), buffer, v));
        return Narrow(buffer.Text());
    }
    // The value of the first element of `text`; Reserved8 when it does not decode.
    Value Decode(std::u16string_view text) {
        const XmlDocument document = ParseXmlDocument(text);
        Value out;
        out.tag = Tag::Reserved8;
        Value decoded;
        if (DecodeValue(interp(), document.Root().Child(0), decoded)) out = decoded;
        return out;
    }
    std::u16string StringOf(const Value& v) {
        EXPECT_TRUE(v.Is(Tag::String));
        return v.Is(Tag::String) ? std::u16string(script::Text(v.AsString())) : u"<not a string>";
    }

    std::unique_ptr<script::Engine> engine_ = MakeEngine();
};

TEST_F(Codec, EscapingRunsAmpersandFirstWritingAndReading) {
    EXPECT_EQ(EscapeText(u"<&'"), u"&lt;&amp;&apos;");
    EXPECT_EQ(EscapeText(u"a\"b>"), u"a&quot;b&gt;");
    EXPECT_EQ(UnescapeText(u"&amp;lt;"), u"<");               // "&amp;" first, then "&lt;" finds the result
    EXPECT_EQ(UnescapeText(u"&#60;&nbsp;"), u"&#60;&nbsp;");  // nothing else is an entity here

    EXPECT_EQ(Encode(script::StringValue(interp(), u"<&'")), "<string>&lt;&amp;&apos;</string>");
    // The document reader decodes "&amp;" to "&", and the codec's own replacements then make "<".
    EXPECT_EQ(StringOf(Decode(u"<string>&amp;lt;</string>")), u"<");
    EXPECT_EQ(StringOf(Decode(u"<string>a &quot;b&quot; &apos;c&apos;</string>")), u"a \"b\" 'c'");
}

TEST_F(Codec, EmptyStringsCrossAsTheWordNull) {
    EXPECT_EQ(Encode(script::StringValue(interp(), u"")), "<string>null</string>");
    EXPECT_EQ(StringOf(Decode(u"<string>null</string>")), u"");
    EXPECT_EQ(StringOf(Decode(u"<string/>")), u"");
    EXPECT_EQ(StringOf(Decode(u"<string></string>")), u"");
    EXPECT_EQ(StringOf(Decode(u"<string>NULL</string>")), u"NULL");  // the word is compared with case
}

TEST_F(Codec, NumberTextsChooseTheirTag) {
    const Value twelve = Decode(u"<number>12</number>");
    ASSERT_TRUE(twelve.Is(Tag::Integer));
    EXPECT_EQ(twelve.AsInteger(), 12);
    const Value half = Decode(u"<number>1.5</number>");
    ASSERT_TRUE(half.Is(Tag::Number));
    EXPECT_EQ(half.AsNumber(), 1.5);
    const Value thousand = Decode(u"<number>1e3</number>");
    ASSERT_TRUE(thousand.Is(Tag::Number));
    EXPECT_EQ(thousand.AsNumber(), 1000.0);
    const Value none = Decode(u"<number/>");
    ASSERT_TRUE(none.Is(Tag::Integer));
    EXPECT_EQ(none.AsInteger(), 0);
    EXPECT_TRUE(Decode(u"<number>abc</number>").Is(Tag::NaN));
    EXPECT_TRUE(Decode(u"<number>99999999999999999999</number>").Is(Tag::Number));  // past 64 bits

    EXPECT_EQ(Encode(Value::Integer(-7)), "<number>-7</number>");
    EXPECT_EQ(Encode(Value::Integer((int64_t{1} << 32) + 1)), "<number>4294967297</number>");  // not cut to 1
    // Integers of any width are written whole (long ones once lost their closing tag) and read back.
    for (const int64_t n : {int64_t{444444444444444444}, INT64_MAX, INT64_MIN + 1, int64_t{-100000000000000}}) {
        const std::string text = Encode(Value::Integer(n));
        EXPECT_EQ(text, "<number>" + std::to_string(n) + "</number>");
        const Value back = Decode(std::u16string(text.begin(), text.end()));
        ASSERT_TRUE(back.Is(Tag::Integer)) << text;
        EXPECT_EQ(back.AsInteger(), n);
    }
    // The reader's magnitude stops short of 2^63, so the smallest integer comes back as the equal double.
    EXPECT_EQ(Encode(Value::Integer(INT64_MIN)), "<number>-9223372036854775808</number>");
    const Value smallest = Decode(u"<number>-9223372036854775808</number>");
    ASSERT_TRUE(smallest.Is(Tag::Number));
    EXPECT_EQ(smallest.AsNumber(), -9223372036854775808.0);
    EXPECT_EQ(Encode(Value::Number(1.5)), "<number>1.5</number>");
    EXPECT_EQ(Encode(Value::Number(1e20)), "<number>1e+20</number>");
    EXPECT_EQ(Encode(Value::Number(1.0 / 3)), "<number>0.333333</number>");
    EXPECT_EQ(Encode(Value::NaN()), "<number>NaN</number>");
}

TEST_F(Codec, ElementNamesAreReadInAnyCase) {
    for (const std::u16string_view text : {u"<NUMBER>3</NUMBER>", u"<Number>3</Number>", u"<number>3</number>"}) {
        const Value v = Decode(text);
        ASSERT_TRUE(v.Is(Tag::Integer)) << Narrow(text);
        EXPECT_EQ(v.AsInteger(), 3);
    }
    EXPECT_TRUE(Decode(u"<TRUE/>").Is(Tag::Boolean));
    EXPECT_TRUE(Decode(u"<Null/>").Is(Tag::Null));
    const Value array = Decode(u"<ARRAY><PROPERTY ID=\"1\"><Undefined/></PROPERTY></ARRAY>");
    ASSERT_TRUE(array.Is(Tag::Array));
    EXPECT_EQ(array.AsArray()->length, 2u);
    EXPECT_TRUE(Decode(u"<numbers>3</numbers>").Is(Tag::Reserved8));  // no value element
}

TEST_F(Codec, ArraysKeepTheirGaps) {
    const Value array = Global("a = new Array(); a[0] = 'x'; a[5] = true;", "a");
    const std::string text = Encode(array);
    EXPECT_EQ(text,
              "<array><property id=\"0\"><string>x</string></property>"
              "<property id=\"5\"><true/></property></array>");
    const Value back = Decode(std::u16string(text.begin(), text.end()));
    ASSERT_TRUE(back.Is(Tag::Array));
    EXPECT_EQ(back.AsArray()->length, 6u);
    EXPECT_EQ(script::GetElement(back.AsArray(), 1), nullptr);
    ASSERT_NE(script::GetElement(back.AsArray(), 5), nullptr);
    EXPECT_TRUE(script::GetElement(back.AsArray(), 5)->Is(Tag::Boolean));
    const Value far = Global("f = new Array(); f[123456789012345678] = 1;", "f");
    EXPECT_EQ(Encode(far), "<array><property id=\"123456789012345678\"><number>1</number></property></array>");
    // Properties without an id, or whose value is no value element, are skipped.
    const Value skipping = Decode(
        u"<array><property><true/></property><property id=\"2\"><bad/></property>"
        u"<property id=\"1\"><false/></property></array>");
    ASSERT_TRUE(skipping.Is(Tag::Array));
    EXPECT_EQ(skipping.AsArray()->length, 2u);
}

TEST_F(Codec, ObjectsWriteNamesInSlotOrderAndEscapeThem) {
    const Value object = Global("o = new Object(); o.b = 1; o.a = 'q\"';", "o");
    const std::string text = Encode(object);
    EXPECT_NE(text.find("<property id=\"b\"><number>1</number></property>"
                        "<property id=\"a\"><string>q&quot;</string></property></object>"),
              std::string::npos)
        << text;
    const Value back = Decode(u"<object><property id=\"x&quot;y\"><number>2</number></property></object>");
    ASSERT_TRUE(back.Is(Tag::Object));
    EXPECT_EQ(Encode(back), "<object><property id=\"x&quot;y\"><number>2</number></property></object>");
}

TEST_F(Codec, AContainerMetAgainOnItsOwnPathIsWrittenAsNull) {
    const Value object = Global("s = new Object(); s.me = s; s.n = 1;", "s");
    EXPECT_EQ(Encode(object),
              "<object><property id=\"me\"><null/></property>"
              "<property id=\"n\"><number>1</number></property></object>");
    const Value array = Global("r = new Array(); r[0] = r;", "r");
    EXPECT_EQ(Encode(array), "<array><property id=\"0\"><null/></property></array>");
    // The same object twice side by side is no loop: both are written out.
    const Value twice = Global("t = new Array(); u = new Object(); u.k = 2; t[0] = u; t[1] = u;", "t");
    const std::string text = Encode(twice);
    EXPECT_EQ(text.find("<null/>"), std::string::npos) << text;
}

TEST_F(Codec, NestingPastTheLimitNeitherOverflowsNorFails) {
    std::u16string deep;
    for (int i = 0; i < 5000; ++i) deep += u"<array><property id=\"0\">";
    const Value v = Decode(deep);  // the innermost levels are dropped
    ASSERT_TRUE(v.Is(Tag::Array));
    Value chain =
        Global("c = new Array(); x = c; for (i = 0; i < 3000; i++) { y = new Array(); x[0] = y; x = y; }", "c");
    const std::string text = Encode(chain);
    EXPECT_NE(text.find("<null/>"), std::string::npos);
}

TEST_F(Codec, RequestsYieldNameAndArgumentsOrASingleValue) {
    const DecodedRequest r =
        DecodeRequest(interp(),
                      u"<invoke name=\"f\" returntype=\"xml\"><arguments><number>1</number><bogus/><true/>"
                      u"</arguments></invoke>");
    ASSERT_TRUE(r.ansiName);
    EXPECT_EQ(*r.ansiName, "f");
    ASSERT_EQ(r.args.size(), 3u);  // the count cell and the two arguments that decode
    EXPECT_EQ(r.args[0].AsInteger(), 2);
    EXPECT_TRUE(r.args[2].Is(Tag::Boolean));

    const DecodedRequest single = DecodeRequest(interp(), u"<number>4</number>");
    EXPECT_FALSE(single.ansiName);
    ASSERT_TRUE(single.single);
    EXPECT_EQ(single.single->AsInteger(), 4);
    EXPECT_FALSE(DecodeRequest(interp(), u"<a>1</b>").single);  // does not parse
}

}  // namespace
}  // namespace velmo::host
