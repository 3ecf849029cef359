// The plain call documents against the host's own codec: a plain value written here reads back
// through DecodeRequest as the script value it stands for, and a document the codec writes reads
// here as that value's plain form, so a movie played by a plain-value control sees what the real
// control would hand it.
#include <gtest/gtest.h>

#include <string>

#include "host/make_engine.h"
#include "host/movie/plain_documents.h"
#include "host/movie/value_codec.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/strings.h"

namespace velmo::host {
namespace {

using platform::PlainValue;
using Kind = PlainValue::Kind;

class PlainDocuments : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine_); }
    script::Interpreter& interp() { return engine_->Interp(); }
    // The codec's reply document of the global `name` after running `source`.
    std::u16string CodecDocument(const char* source) {
        EXPECT_EQ(engine_->RunSourceText(source), 1) << engine_->ErrorText();
        CodecBuffer buffer;
        EXPECT_TRUE(EncodeValue(interp(), buffer, interp().GlobalByName("v")));
        return buffer.Text();
    }
    std::unique_ptr<script::Engine> engine_ = MakeEngine();
    PlainCallDocuments documents_;
};

TEST_F(PlainDocuments, ReadsWhatTheCodecWrites) {
    const std::optional<PlainValue> v =
        documents_.ParseReply(CodecDocument("v = [1, 2.5, \"a<b&'\", \"\", true, null, undefined, {name: \"x\"}];"));
    ASSERT_TRUE(v);
    ASSERT_EQ(v->kind, Kind::Array);
    ASSERT_EQ(v->items.size(), 8u);
    EXPECT_EQ(v->items[0], PlainValue::Number(1));
    EXPECT_EQ(v->items[1], PlainValue::Number(2.5));
    EXPECT_EQ(v->items[2].text, u"a<b&'");
    EXPECT_EQ(v->items[3], PlainValue::String(u""));  // the codec's "null" word for an empty string
    EXPECT_EQ(v->items[4], PlainValue::Boolean(true));
    EXPECT_EQ(v->items[5].kind, Kind::Null);
    EXPECT_EQ(v->items[6].kind, Kind::Undefined);
    EXPECT_EQ(v->items[7].keys, std::vector<std::u16string>{u"name"});
    EXPECT_EQ(v->items[7].items[0].text, u"x");
    EXPECT_FALSE(documents_.ParseReply(u"<nothing/>"));
    EXPECT_FALSE(documents_.ParseReply(u""));
}

TEST_F(PlainDocuments, RequestsReadBackThroughTheCodec) {
    PlainValue object = PlainValue::Of(Kind::Object);
    object.keys = {u"q\"k"};
    object.items = {PlainValue::Number(-3)};
    const PlainValue args[] = {PlainValue::String(u"<\"'&>"), PlainValue::Number(1e21), PlainValue::Number(0.5),
                               object};
    const std::u16string request = documents_.RequestDocument(u"say\"hi", args);
    const DecodedRequest decoded = DecodeRequest(interp(), request);
    ASSERT_TRUE(decoded.ansiName);
    EXPECT_EQ(*decoded.ansiName, "say\"hi");
    ASSERT_EQ(decoded.args.size(), 5u);
    EXPECT_EQ(decoded.args[0].AsInteger(), 4);
    EXPECT_EQ(script::Text(decoded.args[1].AsString()), u"<\"'&>");
    EXPECT_TRUE(decoded.args[3].Is(script::Tag::Number));
    // And back through the plain reader: the same call.
    const std::optional<platform::PlainCall> call = documents_.ParseRequest(request);
    ASSERT_TRUE(call);
    EXPECT_EQ(call->name, u"say\"hi");
    ASSERT_EQ(call->args.size(), 4u);
    EXPECT_EQ(call->args[0], args[0]);
    EXPECT_EQ(call->args[2], args[2]);
    EXPECT_EQ(call->args[3], args[3]);
    EXPECT_FALSE(documents_.ParseRequest(u"<invoke><arguments/></invoke>"));  // no name
    EXPECT_FALSE(documents_.ParseRequest(u"<string>x</string>"));
}

TEST_F(PlainDocuments, SparseAndHugeArrayIndicesStayBounded) {
    const std::optional<PlainValue> v = documents_.ParseReply(
        u"<array><property id=\"2\"><true/></property><property id=\"4000000000\"><true/></property>"
        u"<property id=\"x\"><true/></property></array>");
    ASSERT_TRUE(v);
    ASSERT_EQ(v->items.size(), 3u);
    EXPECT_EQ(v->items[0].kind, Kind::Undefined);
    EXPECT_EQ(v->items[2], PlainValue::Boolean(true));
    // A property named twice keeps its last value, as an object's store does.
    const std::optional<PlainValue> o = documents_.ParseReply(
        u"<object><property id=\"a\"><number>1</number></property><property "
        u"id=\"a\"><number>2</number></property></object>");
    ASSERT_TRUE(o);
    ASSERT_EQ(o->items.size(), 1u);
    EXPECT_EQ(o->items[0], PlainValue::Number(2));
}

}  // namespace
}  // namespace velmo::host
