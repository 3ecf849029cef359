// Type texts and structure layouts of native calls: the sizes, offsets and alignment the C
// compilers give the same structures, the XML the compiler writes read back, and descriptions a
// script could have written by hand that must be refused with a reason instead of crashing or
// allocating without bound.
#include <gtest/gtest.h>

#include <map>

#include "host/classes/native_layout.h"
#include "host/classes/native_types.h"
#include "host/make_engine.h"
#include "platform/text.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/strings.h"

namespace velmo::host {
namespace {

TEST(NativeType, ReadsTheDeclarationTextsAndRefusesEverythingElse) {
    const struct {
        std::string_view text;
        NativeKind kind;
        bool isUnsigned;
        bool isPointer;
    } good[] = {
        {"int", NativeKind::Int, false, false},
        {"unsigned char", NativeKind::Char, true, false},
        {"unsigned int64*", NativeKind::Int64, true, true},
        {"String", NativeKind::String, false, false},
        {"Boolean*", NativeKind::Boolean, false, true},
        {"void", NativeKind::Void, false, false},
        {"pointer*", NativeKind::Pointer, false, true},
        {"unsigned long", NativeKind::Long, true, false},
    };
    for (const auto& row : good) {
        const std::optional<NativeType> type = ParseNativeType(row.text);
        ASSERT_TRUE(type) << row.text;
        EXPECT_EQ(type->kind, row.kind) << row.text;
        EXPECT_EQ(type->isUnsigned, row.isUnsigned) << row.text;
        EXPECT_EQ(type->isPointer, row.isPointer) << row.text;
        EXPECT_EQ(NativeTypeText(*type), row.text);
    }
    const std::optional<NativeType> point = ParseNativeType("Point*");
    ASSERT_TRUE(point);
    EXPECT_EQ(point->kind, NativeKind::Struct);
    EXPECT_EQ(point->structName, "Point");
    // Types are case-sensitive words: "string" is a structure name, not String.
    EXPECT_EQ(ParseNativeType("string")->kind, NativeKind::Struct);
    for (const std::string_view bad : {"", "*", "unsigned", "unsigned float", "unsigned Point", "unsigned String",
                                       "int**", " int", "int *", "unsigned  int", "struct", "1abc", "a-b"})
        EXPECT_FALSE(ParseNativeType(bad)) << '"' << bad << '"';
}

// Layouts from texts held in a map, as globals hold them.
class Layouts : public ::testing::Test {
protected:
    LayoutResult Parse(std::u16string_view xml) {
        return ParseNativeLayout(xml, [this](std::string_view name) -> std::optional<std::u16string> {
            const auto found = globals.find(std::string(name));
            if (found == globals.end()) return std::nullopt;
            return found->second;
        });
    }
    static std::vector<size_t> Offsets(const NativeStruct& layout) {
        std::vector<size_t> offsets;
        for (const NativeField& field : layout.fields) offsets.push_back(field.offset);
        return offsets;
    }
    std::map<std::string, std::u16string> globals;
};

TEST_F(Layouts, MembersTakeTheOffsetsOfNaturalAlignment) {
    const struct {
        std::u16string_view xml;
        std::vector<size_t> offsets;
        size_t size;
        size_t alignment;
    } rows[] = {
        {u"<P type=\"struct\"><x type=\"int\"></x><y type=\"int\"></y><w type=\"double\"></w>"
         u"<name type=\"char\" count=\"16\"></name></P>",
         {0, 4, 8, 16},
         32,
         8},
        {u"<S type=\"struct\"><a type=\"char\"></a><b type=\"int64\"></b><c type=\"char\"></c></S>", {0, 8, 16}, 24, 8},
        {u"<S type=\"struct\"><a type=\"char\"></a><b type=\"short\"></b><c type=\"char\"></c></S>", {0, 2, 4}, 6, 2},
        {u"<S type=\"struct\"><a type=\"unsigned char\" count=\"3\"></a></S>", {0}, 3, 1},
        {u"<S type=\"struct\"><s type=\"short\" count=\"3\"></s><d type=\"double\"></d></S>", {0, 8}, 16, 8},
        {u"<S type=\"struct\"><b type=\"Boolean\"></b><t type=\"String\"></t><f type=\"float\"></f></S>",
         {0, 8, 16},
         24,
         8},
        {u"<S type=\"struct\"><c type=\"char\"></c><p type=\"short*\"></p><l type=\"long\"></l></S>",
         {0, 8, 16},
         24,
         8},
    };
    for (const auto& row : rows) {
        const LayoutResult result = Parse(row.xml);
        ASSERT_TRUE(result.layout) << platform::Utf16ToAnsi(row.xml) << ": " << result.error;
        EXPECT_EQ(Offsets(*result.layout), row.offsets) << platform::Utf16ToAnsi(row.xml);
        EXPECT_EQ(result.layout->size, row.size) << platform::Utf16ToAnsi(row.xml);
        EXPECT_EQ(result.layout->alignment, row.alignment) << platform::Utf16ToAnsi(row.xml);
    }
}

TEST_F(Layouts, NestedAndNamedStructuresPlaceByTheirOwnAlignment) {
    globals["RGB"] = u"<RGB type=\"struct\"><r type=\"unsigned char\"></r><g type=\"short\"></g></RGB>";
    // An inline structure, a named one inline and as an array, and a pointer to one.
    const LayoutResult result = Parse(
        u"<O type=\"struct\"><c type=\"char\"></c><in type=\"struct\"><s type=\"short\"></s><t type=\"int64\"></t></in>"
        u"<rgb type=\"RGB\" count=\"2\"></rgb><p type=\"RGB*\"></p><q type=\"struct*\"><z type=\"int\"></z></q></O>");
    ASSERT_TRUE(result.layout) << result.error;
    const NativeStruct& o = *result.layout;
    EXPECT_EQ(Offsets(o), (std::vector<size_t>{0, 8, 24, 32, 40}));
    EXPECT_EQ(o.size, 48u);
    EXPECT_EQ(o.fields[1].layout->size, 16u);
    EXPECT_EQ(o.fields[2].elementBytes, 4u);
    EXPECT_EQ(o.fields[2].count, 2u);
    EXPECT_TRUE(o.fields[3].type.isPointer);
    EXPECT_EQ(o.fields[3].elementBytes, 8u);
    ASSERT_TRUE(o.fields[3].layout);
    EXPECT_EQ(o.fields[3].layout->fields[1].offset, 2u);
    EXPECT_EQ(o.fields[4].layout->fields[0].name, "z");
}

TEST_F(Layouts, TheCompilersDescriptionsReadBack) {
    std::unique_ptr<script::Engine> engine = MakeEngine({});
    ASSERT_EQ(
        engine->RunSourceText("struct { unsigned char r; unsigned char g; } RGB;"
                              "struct { RGB *p; struct { int a; } *inner; RGB c[2]; char n[5]; double d; } Outer;"),
        1);
    for (const char* name : {"RGB", "Outer"})
        globals[name] = std::u16string(script::Text(script::GlobalByName(engine->Interp(), name).AsString()));
    const LayoutResult result = Parse(globals["Outer"]);
    ASSERT_TRUE(result.layout) << result.error;
    EXPECT_EQ(Offsets(*result.layout), (std::vector<size_t>{0, 8, 16, 20, 32}));
    EXPECT_EQ(result.layout->size, 40u);
    EXPECT_EQ(result.layout->fields[1].layout->fields[0].name, "a");
}

TEST_F(Layouts, BadDescriptionsAreRefusedWithTheirReason) {
    globals["Self"] = u"<Self type=\"struct\"><next type=\"Self*\"></next></Self>";
    std::u16string deep = u"<D type=\"struct\">";
    for (int i = 0; i < kMaxLayoutDepth + 1; ++i) deep += u"<m type=\"struct\">";
    deep += u"<x type=\"int\"></x>";
    std::u16string many = u"<M type=\"struct\">";
    for (size_t i = 0; i <= kMaxLayoutFields; ++i)
        many += u"<f" + platform::AnsiToUtf16(std::to_string(i)) + u" type=\"int\"/>";
    const struct {
        std::u16string xml;
        std::string error;
    } rows[] = {
        {u"", "the text is no structure description"},
        {u"plain text", "the text is no structure description"},
        {u"<P><x type=\"int\"></x></P>", "the text is no structure description"},
        {u"<P type=\"struct\"></P>", "structure \"P\" has no members"},
        {u"<P type=\"struct\"><x></x></P>", "member \"x\" has no type"},
        {u"<P type=\"struct\"><x type=\"void\"></x></P>", "member \"x\" has the unknown type \"void\""},
        {u"<P type=\"struct\"><x type=\"int\" count=\"0\"></x></P>", "member \"x\" has a bad count \"0\""},
        {u"<P type=\"struct\"><x type=\"int\" count=\"3x\"></x></P>", "member \"x\" has a bad count \"3x\""},
        {u"<P type=\"struct\"><x type=\"int\" count=\"-1\"></x></P>", "member \"x\" has a bad count \"-1\""},
        {u"<P type=\"struct\"><x type=\"int\" count=\"99999999999999999999\"></x></P>",
         "member \"x\" has a bad count \"99999999999999999999\""},
        {u"<P type=\"struct\"><x type=\"int\"></x><x type=\"char\"></x></P>", "member \"x\" is declared twice"},
        {u"<P type=\"struct\"><x type=\"Missing\"></x></P>", "no structure \"Missing\" is declared"},
        {u"<P type=\"struct\"><x type=\"Self\"></x></P>", "structures nest deeper than 8"},
        {u"<P type=\"struct\"><x type=\"double\" count=\"65536\"></x><y type=\"double\" count=\"65536\"></y>"
         u"<z type=\"char\"></z></P>",
         "structure \"P\" is larger than 1048576 bytes"},
        {deep, "structures nest deeper than 8"},
        {many, "more than 1024 members"},
    };
    for (const auto& row : rows) {
        const LayoutResult result = Parse(row.xml);
        EXPECT_FALSE(result.layout) << row.error;
        EXPECT_EQ(result.error, row.error);
    }
    // The limits themselves are allowed: exactly 1 MiB, depth 8.
    EXPECT_TRUE(Parse(u"<P type=\"struct\"><x type=\"double\" count=\"65536\"></x>"
                      u"<y type=\"double\" count=\"65536\"></y></P>")
                    .layout);
    std::u16string eight = u"<D type=\"struct\">";
    for (int i = 0; i < kMaxLayoutDepth; ++i) eight += u"<m type=\"struct\">";
    eight += u"<x type=\"int\"></x>";
    EXPECT_TRUE(Parse(eight).layout) << Parse(eight).error;
}

}  // namespace
}  // namespace velmo::host
