// The tolerant XML reader: how end tags close elements, what fails the whole document, entities, attribute
// quoting, opaque sections, name case, cut-short and NUL-bearing input, deep nesting and the empty node.
#include <gtest/gtest.h>

#include <string>

#include "host/xml/xml_entities.h"
#include "host/xml/xml_parser.h"

namespace velmo::host {
namespace {

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }

XmlError ErrorOf(std::u16string_view text) { return ParseXml(text).error; }

bool Refused(std::u16string_view text) {
    const XmlDocument d = ParseXmlDocument(text);
    return d.Root().IsEmpty();
}

// The first element's first text or attribute value, copied out before its document goes.
std::optional<std::u16string> FirstText(std::u16string_view text) {
    const XmlDocument d = ParseXmlDocument(text);
    const std::optional<std::u16string_view> t = d.Root().Child(0).Text(0);
    return t ? std::optional<std::u16string>(*t) : std::nullopt;
}

std::optional<std::u16string> FirstAttribute(std::u16string_view text, std::u16string_view name) {
    const XmlDocument d = ParseXmlDocument(text);
    const std::optional<std::u16string_view> v = d.Root().Child(0).AttributeValue(name);
    return v ? std::optional<std::u16string>(*v) : std::nullopt;
}

TEST(XmlParser, AnEndTagClosesTheNearestElementOfItsNameWithEverythingInside) {
    const XmlParseResult r = ParseXml(u"<a><b>x</a><c/>");
    EXPECT_EQ(r.error, XmlError::MismatchedEndTag);  // tolerated
    const XmlNode& doc = r.document.Root();
    ASSERT_EQ(doc.ChildCount(), 2u);  // c is a sibling of a, not a child of b
    const XmlNode& a = doc.Child(0);
    EXPECT_EQ(a.Name(), u"a");
    ASSERT_EQ(a.ChildCount(), 1u);
    EXPECT_EQ(a.Child(0).Name(), u"b");
    EXPECT_EQ(a.Child(0).Text(0), u"x");
    EXPECT_EQ(doc.Child(1).Name(), u"c");
    EXPECT_EQ(&a.Child(0).Parent(), &a);

    const XmlParseResult open = ParseXml(u"<a>x");  // missing end tags are accepted as read
    EXPECT_EQ(open.error, XmlError::None);
    EXPECT_EQ(open.document.Root().Child(0).Text(0), u"x");
}

TEST(XmlParser, AnEndTagNamingNoOpenElementFailsTheDocument) {
    EXPECT_TRUE(Refused(u"<a>1</b>"));
    EXPECT_EQ(ErrorOf(u"<a>1</b>"), XmlError::UnmatchedEndTag);
    EXPECT_EQ(ErrorOf(u"<ab>x</a>"), XmlError::UnmatchedEndTag);  // a prefix of the name is not the name
    EXPECT_EQ(ErrorOf(u"<a>x</ab>"), XmlError::UnmatchedEndTag);
    // With nothing open, an end tag closes nothing; refusing it keeps the rest of the text from vanishing.
    EXPECT_EQ(ErrorOf(u"<a/></a><b/>"), XmlError::UnmatchedEndTag);
}

TEST(XmlParser, MarkupThatCannotStandWhereItIsFailsWithItsCode) {
    const struct {
        std::u16string_view text;
        XmlError want;
    } rows[] = {
        {u"<a>x > y</a>", XmlError::UnexpectedToken},  // a bare ">" in content
        {u"<a>x /></a>", XmlError::UnexpectedToken},
        {u"<a b=>", XmlError::UnexpectedToken},
        {u"<a =b>", XmlError::UnexpectedToken},
        {u"<a 'b'>", XmlError::UnexpectedToken},
        {u"<a <!--c-->>", XmlError::UnexpectedToken},  // a section inside a start tag
        {u"<>", XmlError::MissingTagName},
        {u"<", XmlError::MissingTagName},
        {u"<?", XmlError::MissingTagName},
        {u"<a></>", XmlError::MalformedEndTag},
        {u"<a></a", XmlError::MalformedEndTag},
        {u"<a></a b>", XmlError::MalformedEndTag},
    };
    for (const auto& row : rows) {
        const XmlParseResult r = ParseXml(row.text);
        EXPECT_EQ(r.error, row.want) << Narrow(row.text);
        EXPECT_TRUE(r.document.Root().IsEmpty()) << Narrow(row.text);
    }
}

TEST(XmlParser, TextRunsDecodeTheFivePredefinedEntitiesAndNothingElse) {
    EXPECT_EQ(FirstText(u"<s>&LT;&amp;</s>"), u"<&");
    EXPECT_EQ(FirstText(u"<s>&Quot;&apos;&gT;</s>"), u"\"'>");
    EXPECT_EQ(FirstText(u"<s>&amp;lt;</s>"), u"&lt;");  // decoded once only
    for (std::u16string_view bad :
         {u"<s>&nbsp;</s>", u"<s>&#60;</s>", u"<s>a &amp</s>", u"<s>a & b</s>", u"<s>x &am", u"<a b='&x;'/>"}) {
        EXPECT_EQ(ErrorOf(bad), XmlError::UnknownEntity) << Narrow(bad);
        EXPECT_TRUE(Refused(bad)) << Narrow(bad);
    }
    EXPECT_EQ(DecodeXmlEntities(u"&"), std::nullopt);  // cut short at the end of the text
}

TEST(XmlParser, TextRunsKeepInnerSpacingAndInterleaveWithChildren) {
    EXPECT_EQ(FirstText(u"<s>  a  b  </s>"), u"a  b");
    const XmlDocument d = ParseXmlDocument(u"<a>one<b/>two=three 'q' <c/>\t\r\n</a>");
    const XmlNode& a = d.Root().Child(0);
    ASSERT_EQ(a.Texts().size(), 2u);  // white space alone makes no text
    EXPECT_EQ(a.Text(1), u"two=three 'q'");
    const std::vector<XmlItem> want = {
        {XmlItemKind::Text, 0}, {XmlItemKind::Element, 0}, {XmlItemKind::Text, 1}, {XmlItemKind::Element, 1}};
    EXPECT_EQ(a.Order(), want);
}

TEST(XmlParser, AttributesTakeQuotedBareOrNoValues) {
    const XmlDocument d = ParseXmlDocument(u"<a b='1' c=2 flag t=\"x > y\" u='say \"hi\"' v='&lt;p&gt;'/>");
    const XmlNode& a = d.Root().Child(0);
    EXPECT_EQ(a.AttributeValue(u"b"), u"1");
    EXPECT_EQ(a.AttributeValue(u"c"), u"2");
    EXPECT_EQ(a.AttributeValue(u"t"), u"x > y");
    EXPECT_EQ(a.AttributeValue(u"u"), u"say \"hi\"");
    EXPECT_EQ(a.AttributeValue(u"v"), u"<p>");
    ASSERT_EQ(a.Attributes().size(), 6u);
    EXPECT_EQ(a.Attributes()[2].name, u"flag");
    EXPECT_FALSE(a.Attributes()[2].value.has_value());
    EXPECT_EQ(a.AttributeValue(u"flag"), std::nullopt);
    EXPECT_EQ(a.AttributeValue(u"missing"), std::nullopt);

    const XmlDocument loneDoc = ParseXmlDocument(u"<a b>");
    const XmlNode& lone = loneDoc.Root().Child(0);
    ASSERT_EQ(lone.Attributes().size(), 1u);
    EXPECT_EQ(lone.Attributes()[0].name, u"b");

    // A quote without its partner before "<" or the end is an ordinary character of a bare value.
    EXPECT_EQ(FirstAttribute(u"<a b=\"x/>", u"b"), u"\"x");
    EXPECT_EQ(FirstAttribute(u"<a id='1' ID='2'/>", u"Id"), u"1");
}

TEST(XmlParser, OpaqueSectionsAreCopiedRawAndCloseWithCase) {
    const XmlDocument cdata = ParseXmlDocument(u"<a><![CDATA[<x>&amp;]]></a>");
    const XmlNode& a = cdata.Root().Child(0);
    ASSERT_EQ(a.Sections().size(), 1u);
    EXPECT_EQ(a.Sections()[0].content, u"<x>&amp;");
    EXPECT_EQ(a.Sections()[0].openMarker, u"<![CDATA[");
    EXPECT_TRUE(a.Texts().empty());

    EXPECT_EQ(ErrorOf(u"<p><script>x</script></p>"), XmlError::UnmatchedEndTag);
    const XmlDocument script = ParseXmlDocument(u"<p><SCRIPT>x</Script></p>");
    EXPECT_EQ(script.Root().Child(0).Sections().at(0).content, u"x");
    EXPECT_EQ(ErrorOf(u"<a><!-- never closed </a>"), XmlError::UnmatchedEndTag);

    // The run before a section is neither trimmed nor decoded; the run after it is a new text.
    const XmlDocument comment = ParseXmlDocument(u"<a>&bad; <!-- c -->y</a>");
    const XmlNode& c = comment.Root().Child(0);
    EXPECT_EQ(c.Text(0), u"&bad; ");
    EXPECT_EQ(c.Sections()[0].content, u" c ");
    EXPECT_EQ(c.Text(1), u"y");

    const XmlDocument doctype = ParseXmlDocument(u"<!doctype html><a/>");
    EXPECT_EQ(doctype.Root().Sections()[0].content, u" html");
    EXPECT_EQ(doctype.Root().Child(0).Name(), u"a");
}

TEST(XmlParser, ADeclarationEndingInQuestionMarkHasNoContent) {
    const XmlDocument d = ParseXmlDocument(u"<?xml version=\"1.0\"?><invoke name='f'/>");
    const XmlNode& doc = d.Root();
    ASSERT_EQ(doc.ChildCount(), 2u);
    EXPECT_TRUE(doc.Child(0).IsDeclaration());
    EXPECT_EQ(doc.Child(0).AttributeValue(u"version"), u"1.0");
    EXPECT_EQ(doc.Child(0).Attributes().size(), 1u);  // the "?" is not an attribute
    size_t index = 0;
    EXPECT_FALSE(doc.FindChild(u"invoke", index).IsDeclaration());
    EXPECT_EQ(FirstAttribute(u"<?pi a=1?>", u"a"), u"1");
    const XmlDocument bare = ParseXmlDocument(u"<?pi a?>");
    EXPECT_EQ(bare.Root().Child(0).Attributes().at(0).name, u"a");
}

TEST(XmlParser, NamesCompareWithoutCaseFoldingOnlyAToZ) {
    const XmlParseResult r = ParseXml(u"<A><b></B></a>");
    EXPECT_EQ(r.error, XmlError::None);
    EXPECT_EQ(r.document.Root().ChildNamed(u"a").ChildNamed(u"B").Name(), u"b");
    EXPECT_EQ(ErrorOf(u"<\u00C9>x</\u00E9>"), XmlError::UnmatchedEndTag);
    const XmlDocument accented = ParseXmlDocument(u"<\u00C9/>");
    EXPECT_TRUE(accented.Root().ChildNamed(u"\u00E9").IsEmpty());
}

TEST(XmlParser, CutShortAndNulBearingInputIsReadOnlyAsFarAsItGoes) {
    EXPECT_EQ(FirstAttribute(u"<a b='1", u"b"), u"'1");
    const XmlDocument cut = ParseXmlDocument(u"<a b");
    EXPECT_EQ(cut.Root().Child(0).Attributes().size(), 1u);
    const std::u16string whole = u"<a>xyz</a>";
    EXPECT_EQ(FirstText(std::u16string_view(whole).substr(0, 5)), u"xy");

    const std::u16string nul(u"<a\0b>x\0 y</a\0b>", 15);
    const XmlParseResult r = ParseXml(nul);
    EXPECT_EQ(r.error, XmlError::None);
    EXPECT_EQ(r.document.Root().Child(0).Name(), std::u16string_view(u"a\0b", 3));
    EXPECT_EQ(r.document.Root().Child(0).Text(0), std::u16string_view(u"x\0 y", 4));

    const XmlParseResult none = ParseXml(std::nullopt);
    EXPECT_EQ(none.error, XmlError::NoText);
    EXPECT_TRUE(none.document.Root().IsEmpty());
    const XmlDocument blank = ParseXmlDocument(u"");  // no elements, but a document
    EXPECT_FALSE(blank.Root().IsEmpty());
    EXPECT_EQ(blank.Root().ChildCount(), 0u);
}

TEST(XmlParser, DeepNestingNeitherExhaustsTheStackNorLosesLevels) {
    constexpr size_t kDepth = 100000;  // far beyond what recursion on an 8 MiB stack survives
    std::u16string text;
    for (size_t i = 0; i < kDepth; ++i) text += u"<a>";
    text += u"x";
    for (size_t i = 0; i < kDepth; ++i) text += u"</A>";
    const XmlParseResult r = ParseXml(text);
    EXPECT_EQ(r.error, XmlError::None);
    const XmlNode* node = &r.document.Root();
    size_t depth = 0;
    while (node->ChildCount() == 1) node = &node->Child(0), ++depth;
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(node->Text(0), u"x");
}

TEST(XmlParser, QueriesAnswerTheEmptyNodeOrNothingWhenTheyFindNothing) {
    const XmlNode& empty = EmptyXmlNode();
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty.Child(0).IsEmpty());
    EXPECT_TRUE(empty.Parent().IsEmpty());
    EXPECT_EQ(empty.Text(0), std::nullopt);
    EXPECT_EQ(empty.AttributeValue(u"a"), std::nullopt);

    const XmlDocument d = ParseXmlDocument(u"<r><p id=0/><q/><P id=1/><p id=2/></r>");
    const XmlNode& r = d.Root().Child(0);
    EXPECT_FALSE(d.Root().IsEmpty());
    EXPECT_TRUE(d.Root().Parent().IsEmpty());
    EXPECT_TRUE(r.Child(4).IsEmpty());
    size_t index = 1;
    EXPECT_EQ(r.FindChild(u"p", index).AttributeValue(u"id"), u"1");
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(r.FindChild(u"p", index).AttributeValue(u"id"), u"2");
    EXPECT_TRUE(r.FindChild(u"p", index).IsEmpty());
    EXPECT_EQ(index, 4u);  // left alone when nothing more is found
    EXPECT_EQ(r.ChildNamed(u"p", 1).AttributeValue(u"id"), u"1");
    EXPECT_TRUE(r.ChildNamed(u"p", 3).IsEmpty());
}

}  // namespace
}  // namespace velmo::host
