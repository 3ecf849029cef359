// The pattern reader behind Number's "format": only the first valid conversion takes the receiver,
// and whatever else the pattern holds reaches the output as text, never the formatter.
#include "script/library/number_format.h"

#include <gtest/gtest.h>

#include <string>

namespace velmo::script::library {
namespace {

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

FormatReceiver IntegerReceiver(int64_t value) {
    FormatReceiver r;
    r.isInteger = true;
    r.integer = value;
    r.number = static_cast<double>(value);
    const std::string digits = std::to_string(value);
    r.text.assign(digits.begin(), digits.end());
    return r;
}

FormatReceiver NumberReceiver(double value, int64_t truncated, std::u16string text) {
    FormatReceiver r;
    r.number = value;
    r.integer = truncated;
    r.text = std::move(text);
    return r;
}

std::string Format(std::u16string_view pattern, const FormatReceiver& r) {
    return Narrow(FormatWithPattern(ParseFormatPattern(pattern), r));
}

TEST(FormatPattern, SplitsAroundTheFirstConversionWithItsPieces) {
    const FormatPattern p = ParseFormatPattern(u"x=%-+08.3llf%%!");
    ASSERT_TRUE(p.conversion.has_value());
    EXPECT_EQ(p.before, u"x=");
    EXPECT_EQ(p.conversion->flags, "-+0");
    EXPECT_EQ(p.conversion->width, 8);
    EXPECT_EQ(p.conversion->precision, 3);
    EXPECT_EQ(p.conversion->conversion, 'f');
    EXPECT_EQ(p.after, u"%!");

    const FormatPattern dotOnly = ParseFormatPattern(u"%.f");
    ASSERT_TRUE(dotOnly.conversion.has_value());
    EXPECT_EQ(dotOnly.conversion->precision, 0);
    EXPECT_EQ(dotOnly.conversion->width, -1);
}

TEST(FormatPattern, InvalidOrLaterConversionsStayText) {
    // An unknown conversion, a "*" that would take an argument of its own, a trailing "%".
    for (const std::u16string_view text : {u"%y", u"%*d", u"%.*f", u"50%", u"%5", u"%p"}) {
        const FormatPattern p = ParseFormatPattern(text);
        EXPECT_FALSE(p.conversion.has_value()) << Narrow(std::u16string(text));
        EXPECT_EQ(p.before, text);
    }
    const FormatPattern twice = ParseFormatPattern(u"%d and %s %%");
    ASSERT_TRUE(twice.conversion.has_value());
    EXPECT_EQ(twice.conversion->conversion, 'd');
    EXPECT_EQ(twice.after, u" and %s %");
    // Fields too wide to print are refused rather than passed on.
    EXPECT_FALSE(ParseFormatPattern(u"%99999999999d").conversion.has_value());
    EXPECT_FALSE(ParseFormatPattern(u"%.2000f").conversion.has_value());
    EXPECT_TRUE(ParseFormatPattern(u"%1024d").conversion.has_value());
}

TEST(FormatPattern, ConversionsTakeTheReceiverInTheKindTheyNeed) {
    const FormatReceiver pi = NumberReceiver(3.14159, 3, u"3.14159");
    EXPECT_EQ(Format(u"[%d] %.2f", pi), "[3] %.2f");
    EXPECT_EQ(Format(u"%#X", IntegerReceiver(255)), "0XFF");
    EXPECT_EQ(Format(u"%I64d", IntegerReceiver(9007199254740993)), "9007199254740993");
    EXPECT_EQ(Format(u"%-6s|", IntegerReceiver(12)), "12    |");
    EXPECT_EQ(Format(u"%.3s", pi), "3.1");
}

TEST(FormatPattern, CountConversionPrintsAndStoresNothing) {
    EXPECT_EQ(Format(u"a%nb", IntegerReceiver(0x1000)), "ab");
    EXPECT_EQ(Format(u"%n%d", IntegerReceiver(7)), "%d");
    EXPECT_EQ(Format(u"%hhn", NumberReceiver(2.5, 2, u"2.5")), "");
}

}  // namespace
}  // namespace velmo::script::library
