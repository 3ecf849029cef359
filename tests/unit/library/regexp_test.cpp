// UTF-16 text through the library's wide characters and back: the positions of matches must come
// out in code units whatever the width of wchar_t.
#include "script/library/regexp_engine.h"

#include <gtest/gtest.h>

#include <string>

namespace velmo::script::library {
namespace {

constexpr char16_t kFace[] = u"\xD83D\xDE00";  // one character outside the basic plane

std::unique_ptr<CompiledRegExp> MustCompile(std::u16string_view pattern, uint32_t flags = 0) {
    std::u16string error;
    auto re = CompiledRegExp::Compile(pattern, flags, error);
    EXPECT_TRUE(re) << "pattern rejected";
    return re;
}

TEST(RegExpWideText, PairsBecomeOneWideCharacterOnlyWhereWcharHas32Bits) {
    const std::u16string text = u"a" + std::u16string(kFace) + u"b";
    const WideText wide = ToWideText(text);
    if constexpr (sizeof(wchar_t) == 4) {
        ASSERT_EQ(wide.text.size(), 3u);
        EXPECT_EQ(static_cast<uint32_t>(wide.text[1]), 0x1F600u);
        EXPECT_EQ(wide.unitAt, (std::vector<uint32_t>{0, 1, 3, 4}));
    } else {
        ASSERT_EQ(wide.text.size(), 4u);
        EXPECT_EQ(wide.unitAt, (std::vector<uint32_t>{0, 1, 2, 3, 4}));
    }
    EXPECT_EQ(FromWide(wide.text), text);
}

TEST(RegExpWideText, UnpairedSurrogatesAndZeroUnitsSurviveTheRoundTrip) {
    const std::u16string text{u'\xDE00', u'x', u'\xD83D', u'\0', u'\xD83D'};
    const WideText wide = ToWideText(text);
    EXPECT_EQ(wide.text.size(), text.size());
    EXPECT_EQ(wide.unitAt.back(), text.size());
    EXPECT_EQ(FromWide(wide.text), text);
    EXPECT_TRUE(ToWideText(u"").text.empty());
    EXPECT_EQ(ToWideText(u"").unitAt, std::vector<uint32_t>{0});
}

TEST(CompiledRegExp, MatchPositionsAreCodeUnitsAfterSurrogatePairs) {
    auto re = MustCompile(u"b(c)(x)?");
    ASSERT_TRUE(re);
    const std::u16string subject = std::u16string(kFace) + u"a" + kFace + u"bc";
    std::vector<MatchSpan> spans;
    ASSERT_TRUE(re->Search(subject, spans));
    ASSERT_EQ(spans.size(), 3u);  // the whole match and both groups, the last unmatched
    EXPECT_EQ(spans[0].start, 5);
    EXPECT_EQ(spans[0].end, 7);
    EXPECT_EQ(spans[1].start, 6);
    EXPECT_FALSE(spans[2].Matched());

    // A match covering a pair ends after its second half.
    auto around = MustCompile(u"a.*b");
    ASSERT_TRUE(around && around->Search(subject, spans));
    EXPECT_EQ(spans[0].start, 2);
    EXPECT_EQ(spans[0].end, 6);
}

TEST(CompiledRegExp, SubjectsAreSearchedPastZeroUnitsAndToTheirEnd) {
    auto re = MustCompile(u"b$");
    ASSERT_TRUE(re);
    std::vector<MatchSpan> spans;
    const std::u16string subject{u'a', u'\0', u'b'};
    ASSERT_TRUE(re->Search(subject, spans));
    EXPECT_EQ(spans[0].start, 2);
    EXPECT_FALSE(re->Search(u"ba", spans));
    EXPECT_TRUE(spans.empty());
}

TEST(CompiledRegExp, TheMatchTableKeepsAtMost256Entries) {
    std::u16string pattern;
    for (int i = 0; i < 300; ++i) pattern += u"(a)";
    auto re = MustCompile(pattern);
    ASSERT_TRUE(re);
    std::vector<MatchSpan> spans;
    ASSERT_TRUE(re->Search(std::u16string(300, u'a'), spans));
    ASSERT_EQ(spans.size(), kMatchTableEntries);
    EXPECT_EQ(spans[255].start, 254);
}

}  // namespace
}  // namespace velmo::script::library
