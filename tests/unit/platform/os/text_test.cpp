// The headless 8-bit conversion: UTF-8 where valid, Latin-1 for stray bytes, never a failure.
#include <gtest/gtest.h>

#include "platform/text.h"

#ifdef _WIN32
#define SKIP_ON_WINDOWS() GTEST_SKIP() << "Windows converts through the system code page, not the headless UTF-8 rule"
#else
#define SKIP_ON_WINDOWS() (void)0
#endif

namespace velmo::platform {
namespace {

TEST(AnsiText, ValidUtf8RoundTripsThroughUtf16) {
    SKIP_ON_WINDOWS();
    const std::string samples[] = {"", "plain", "caf\xC3\xA9", "\xE2\x82\xAC 5", "\xF0\x9F\x8E\xAC movie"};
    for (const std::string& s : samples) EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(s)), s) << s;
    EXPECT_EQ(AnsiToUtf16("\xF0\x9F\x8E\xAC"), std::u16string(u"\xD83C\xDFAC"));  // one supplementary character
}

TEST(AnsiText, InvalidSequencesDecodeAsLatin1BytesOneByOne) {
    SKIP_ON_WINDOWS();
    EXPECT_EQ(AnsiToUtf16("\xE9t\xE9"), u"\u00E9t\u00E9");
    EXPECT_EQ(AnsiToUtf16("\xC3"), u"\u00C3");                      // cut short at the end
    EXPECT_EQ(AnsiToUtf16("\xC0\xAF"), u"\u00C0\u00AF");            // overlong '/' must not become a separator
    EXPECT_EQ(AnsiToUtf16("\xED\xA0\x80"), u"\u00ED\u00A0\u0080");  // encoded surrogate
    EXPECT_EQ(AnsiToUtf16("\xF4\x90\x80\x80"), u"\u00F4\u0090\u0080\u0080");  // past U+10FFFF
}

TEST(AnsiText, UnpairedSurrogatesBecomeTheDefaultCharacter) {
    EXPECT_EQ(Utf16ToAnsi(u"a\xD800"
                          "b"),
              "a?b");
    EXPECT_EQ(Utf16ToAnsi(u"\xDC00"), "?");
}

TEST(AnsiText, CaseInsensitiveEqualityCoversAccentedLetters) {
    SKIP_ON_WINDOWS();
    EXPECT_TRUE(AnsiEqualNoCase("Application", "APPLICATION"));
    EXPECT_TRUE(AnsiEqualNoCase("\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"));  // ÉTÉ / été
    EXPECT_TRUE(AnsiEqualNoCase("\xD0\x94", "\xD0\xB4"));                    // Cyrillic De
    EXPECT_FALSE(AnsiEqualNoCase("movie.swf", "movie.swf2"));
    EXPECT_FALSE(AnsiEqualNoCase("a", "b"));
    EXPECT_FALSE(AnsiEqualNoCase("\xC3\x97", "\xC3\xB7"));  // × and ÷ are not a case pair
}

}  // namespace
}  // namespace velmo::platform
