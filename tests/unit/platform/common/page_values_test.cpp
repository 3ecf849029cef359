// The page's value text and the player page's routes: what the UI process reads from the page is
// outside data, so the reader refuses every malformed text whole, and what it writes reads back as
// the same value, also with the values JSON cannot say.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/common/page_values.h"
#include "platform/common/player_routes.h"

namespace velmo::platform {
namespace {

using Kind = PlainValue::Kind;

PlainValue ArrayOf(std::vector<PlainValue> items) {
    PlainValue v = PlainValue::Of(Kind::Array);
    v.items = std::move(items);
    return v;
}

TEST(PageValues, ReadsJsonAndTheFourWordsJsonLacks) {
    const std::optional<PlainValue> v =
        ParsePageValue(R"( [1, -2.5e3, "a\"\\\n\u00e9", true, null, undefined, NaN, -Infinity, {"k": [false]}] )");
    ASSERT_TRUE(v);
    ASSERT_EQ(v->items.size(), 9u);
    EXPECT_EQ(v->items[0], PlainValue::Number(1));
    EXPECT_EQ(v->items[1], PlainValue::Number(-2500));
    EXPECT_EQ(v->items[2].text, u"a\"\\\n\u00e9");
    EXPECT_EQ(v->items[3], PlainValue::Boolean(true));
    EXPECT_EQ(v->items[4].kind, Kind::Null);
    EXPECT_EQ(v->items[5].kind, Kind::Undefined);
    EXPECT_TRUE(std::isnan(v->items[6].number));
    EXPECT_EQ(v->items[7].number, -INFINITY);
    ASSERT_EQ(v->items[8].kind, Kind::Object);
    EXPECT_EQ(v->items[8].keys, std::vector<std::u16string>{u"k"});
    EXPECT_EQ(v->items[8].items[0].items[0], PlainValue::Boolean(false));
    // UTF-8 beyond the basic plane becomes a surrogate pair; a lone surrogate escape stays one unit.
    EXPECT_EQ(ParsePageValue("\"\xF0\x9F\x98\x80\\udc00\"")->text, std::u16string(u"\U0001F600") + u"\xDC00");
    // Literals past the doubles read as JavaScript reads them.
    EXPECT_EQ(ParsePageValue("1e999")->number, INFINITY);
    EXPECT_EQ(ParsePageValue("-1e-999")->number, 0.0);
    EXPECT_TRUE(std::signbit(ParsePageValue("-1e-999")->number));
}

TEST(PageValues, RefusesMalformedTextWhole) {
    for (const char* text : {"",
                             " ",
                             "[1,]",
                             "[1 2]",
                             "{\"a\" 1}",
                             "{a:1}",
                             "01",
                             "1.",
                             ".5",
                             "+1",
                             "1e",
                             "\"abc",
                             "\"\\x\"",
                             "\"\\u12\"",
                             "\"\\u12g4\"",
                             "\"a\nb\"",
                             "tru",
                             "nul",
                             "undefine",
                             "[1]x",
                             "\"\xC0\xAF\"",
                             "\"\xED\xA0\x80\"",
                             "-",
                             "--1",
                             "Infinit",
                             "[",
                             "{"})
        EXPECT_FALSE(ParsePageValue(text)) << text;
    std::string deep(kMaxPageValueNesting, '[');
    deep += std::string(kMaxPageValueNesting, ']');
    EXPECT_TRUE(ParsePageValue(deep));
    EXPECT_FALSE(ParsePageValue("[" + deep + "]"));
}

TEST(PageValues, WrittenTextReadsBackAsTheSameValue) {
    PlainValue object = PlainValue::Of(Kind::Object);
    object.keys = {u"x\"y", u""};
    object.items = {PlainValue::Number(0.1), PlainValue::String(u"\u2028\x01\xD800")};
    const PlainValue value =
        ArrayOf({PlainValue(), PlainValue::Null(), PlainValue::Number(-1e300), PlainValue::Number(INFINITY),
                 PlainValue::String(u"\U0001F600 \"\\/"), PlainValue::Boolean(false), object, ArrayOf({})});
    const std::string text = WritePageValue(value);
    const std::optional<PlainValue> back = ParsePageValue(text);
    ASSERT_TRUE(back) << text;
    EXPECT_EQ(*back, value) << text;
    // JavaScript takes U+2028 in a string literal, but older readers end the line there.
    EXPECT_NE(text.find("\\u2028"), std::string::npos);
    EXPECT_EQ(WritePageValue(PlainValue::Number(std::nan(""))), "NaN");
    // Nesting past the reader's limit is written as null rather than as text it would refuse.
    PlainValue deep = ArrayOf({});
    for (int i = 0; i < kMaxPageValueNesting + 5; ++i) deep = ArrayOf({deep});
    EXPECT_TRUE(ParsePageValue(WritePageValue(deep)));
}

TEST(PlayerRoutes, OnlyThePlayersOwnAddressesLeadAnywhere) {
    EXPECT_EQ(RoutePlayerRequest("velmo-player://app/").route, PlayerRoute::Page);
    EXPECT_EQ(RoutePlayerRequest("velmo-player://app").route, PlayerRoute::Page);
    EXPECT_EQ(RoutePlayerRequest("velmo-player://app/movie#x").route, PlayerRoute::Movie);
    const PlayerRequest file = RoutePlayerRequest("velmo-player://app/player/core.ruffle.c8.js");
    EXPECT_EQ(file.route, PlayerRoute::PlayerFile);
    EXPECT_EQ(file.file, "core.ruffle.c8.js");
    const PlayerRequest call = RoutePlayerRequest("velmo-player://app/call?%5B%22f%22%5D");
    EXPECT_EQ(call.route, PlayerRoute::Call);
    EXPECT_EQ(call.query, "%5B%22f%22%5D");
    for (const char* refused :
         {"http://app/", "velmo-player://apple/", "velmo-player://other/movie", "velmo-player://app/player/../x",
          "velmo-player://app/player/.hidden", "velmo-player://app/player/a/b", "velmo-player://app/player/",
          "velmo-player://app/player/a%2Fb", "velmo-player://app/movie?x", "velmo-player://app/?x",
          "velmo-player://app/other", "file:///etc/passwd"})
        EXPECT_EQ(RoutePlayerRequest(refused).route, PlayerRoute::Refused) << refused;
    EXPECT_EQ(PlayerFileType("x.wasm"), "application/wasm");
    EXPECT_EQ(PlayerFileType("ruffle.js"), "text/javascript");
}

TEST(PlayerRoutes, ACallIsANameAndItsArgumentsPercentEncoded) {
    const std::optional<PlainCall> call = ParsePageCall("%5B%22Greet%22%2C%22w%C3%B6rld%22%2C3%2Cundefined%5D");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->name, u"Greet");
    ASSERT_EQ(call->args.size(), 3u);
    EXPECT_EQ(call->args[0].text, u"w\u00f6rld");
    EXPECT_EQ(call->args[1], PlainValue::Number(3));
    EXPECT_EQ(call->args[2].kind, Kind::Undefined);
    EXPECT_TRUE(ParsePageCall("[\"f\"]"));  // the page encodes, but plain text means the same
    for (const char* refused :
         {"", "%5B%5D", "%5B%22%22%5D", "%5B1%5D", "%22f%22", "%5B%22f%22", "%5", "%zz", "%5B%22f%22%5D%"})
        EXPECT_FALSE(ParsePageCall(refused)) << refused;
    EXPECT_EQ(PercentDecode("a%20b%2f"), "a b/");
    EXPECT_EQ(PercentDecode("%00"), std::string(1, '\0'));
}

}  // namespace
}  // namespace velmo::platform
