// Boost.Regex through its POSIX-style wide interface, the form the regular expressions use, in our
// own mingw build of Debian's sources: a bad build shows here. Windows only: on Linux GoogleTest
// includes the C library's <regex.h>, whose flag macros clash with Boost's names.
#include <boost/cregex.hpp>
#include <gtest/gtest.h>

namespace {

// Extended syntax, no locale collation, and backslash escapes inside bracket lists.
constexpr int kFlags = 0x301;

TEST(BoostRegex, WideInterfaceCompilesMatchesAndReportsErrors) {
    boost::regex_tW re;
    boost::regmatch_t match[1];
    ASSERT_EQ(boost::regcompW(&re, L"a+", kFlags), 0);
    ASSERT_EQ(boost::regexecW(&re, L"caaat", 1, match, 0), 0);
    EXPECT_EQ(match[0].rm_so, 1);
    EXPECT_EQ(match[0].rm_eo, 4);
    EXPECT_EQ(boost::regexecW(&re, L"cbt", 1, match, 0), static_cast<int>(boost::REG_NOMATCH));
    boost::regfreeW(&re);

    // With escapes in lists, "\]" is a bracket in the list rather than its end.
    ASSERT_EQ(boost::regcompW(&re, L"[\\]x]+", kFlags), 0);
    ASSERT_EQ(boost::regexecW(&re, L"a]x]b", 1, match, 0), 0);
    EXPECT_EQ(match[0].rm_so, 1);
    EXPECT_EQ(match[0].rm_eo, 4);
    boost::regfreeW(&re);

    // A failed compile frees what it made; the error text comes from the library's own table.
    const int status = boost::regcompW(&re, L"(a", kFlags);
    EXPECT_EQ(status, static_cast<int>(boost::REG_EPAREN));
    wchar_t text[128] = {};
    EXPECT_GT(boost::regerrorW(status, &re, text, 128), 1u);
    EXPECT_NE(text[0], L'\0');
}

}  // namespace
