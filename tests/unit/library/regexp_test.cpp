// UTF-16 text through the library's wide characters and back: the positions of matches must come
// out in code units whatever the width of wchar_t. Then the warning for a rejected pattern, and a
// replacement function that collects or raises while "replace" holds its values.
#include "script/library/regexp_engine.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "script/library/core_classes.h"
#include "script/library/regexp_class.h"
#include "script/library/string_methods.h"
#include "script/runtime/errors.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

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

// ---- Rejected patterns ----

TEST(RegExpWarning, NamesThePatternWithItsFlagsAndStaysWithinTheLimit) {
    Interpreter interp;
    RegisterRegExpClass(interp);
    std::vector<std::u16string> lines;
    interp.SetTraceSink([&](std::string_view line) { lines.push_back(platform::AnsiToUtf16(line)); });

    EXPECT_TRUE(NewRegExp(interp, u"a(b", kRegExpGlobal | kRegExpMultiLine).Is(Tag::Null));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], u"RegExp runtime error: Unmatched marking parenthesis ( or \\(. (pattern /a(b/gm)");

    // A long pattern is shortened, the library's text kept whole, the total at most 512 units.
    EXPECT_TRUE(NewRegExp(interp, u"(" + std::u16string(600, u'x'), kRegExpIgnoreCase).Is(Tag::Null));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].size(), 512u);
    const std::u16string start = u"RegExp runtime error: Unmatched marking parenthesis ( or \\(. (pattern /(x";
    EXPECT_EQ(lines[1].substr(0, start.size()), start);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 6), u"xx...)");

    // Nor is a character outside the basic plane cut in half to make it fit.
    std::u16string faces = u"(a";  // puts a high surrogate right at the cut
    for (int i = 0; i < 300; ++i) faces += kFace;
    EXPECT_TRUE(NewRegExp(interp, faces, 0).Is(Tag::Null));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].size(), 511u);  // one unit short of the limit: the pair moved out whole
#ifndef _WIN32                         // the trace is 8-bit text, and the Windows code page has no such character
    EXPECT_EQ(lines[2].substr(lines[2].size() - 6), std::u16string(kFace) + u"...)");
#endif
}

// ---- Replacement functions ----

struct ReplacerProbe {
    std::vector<std::u16string> seen;  // every argument of every call, as text ("-" for Undefined)
    bool raiseOnSecond = false;
    bool finalized = false;
};
ReplacerProbe* gProbe = nullptr;

// Collects before it reads its arguments: anything "replace" did not keep reachable is gone by then.
void ProbeCall(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    interp.Collect();
    for (int64_t k = 1; k <= args[0].AsInteger(); ++k) {
        const Value& v = args[k];
        gProbe->seen.push_back(v.Is(Tag::String)    ? std::u16string(Text(v.AsString()))
                               : v.Is(Tag::Integer) ? platform::AnsiToUtf16(std::to_string(v.AsInteger()))
                                                    : u"-");
    }
    if (gProbe->raiseOnSecond && gProbe->seen.size() > 5) RaiseError(interp, Msg::StackOverflow);
    *result = Value::Integer(static_cast<int64_t>(gProbe->seen.size()));  // not text: converted
}
void ProbeFinalize(ClassRecord&, void*) {
    if (gProbe) gProbe->finalized = true;  // an engine torn down after its test has no probe
}

Value NewProbe(Interpreter& interp) {
    static int nativeData = 0;
    ClassRecord* cls = NewClass(interp, "Probe");
    cls->Call = &ProbeCall;
    cls->FinalizeData = &ProbeFinalize;
    return NewHostValue(interp, cls, &nativeData);
}

TEST(RegExpReplace, AFunctionSeesEveryArgumentAliveThroughCollections) {
    Interpreter interp;
    RegisterRegExpClass(interp);
    ReplacerProbe probe;
    gProbe = &probe;
    // Nothing but this call refers to the subject, the expression or the function.
    const Value re = NewRegExp(interp, u"([0-9])([0-9])?", kRegExpGlobal);
    Value args[] = {Value::Integer(2), re, NewProbe(interp)};
    StringCall call{interp, StringValue(interp, u"a1b22c"), Args(args)};
    const Value out = StringReplace(call);
    ASSERT_TRUE(out.Is(Tag::String));
    EXPECT_EQ(Text(out.AsString()), u"a5b10c");
    EXPECT_EQ(probe.seen, (std::vector<std::u16string>{u"1", u"1", u"-", u"1", u"a1b22c",  //
                                                       u"22", u"2", u"2", u"3", u"a1b22c"}));
    gProbe = nullptr;
}

TEST(RegExpReplace, ARaisingFunctionUnwindsAndLeavesNothingHeld) {
    Interpreter interp;
    RegisterRegExpClass(interp);
    ReplacerProbe probe;
    probe.raiseOnSecond = true;
    gProbe = &probe;
    {
        Value args[] = {Value::Integer(2), NewRegExp(interp, u"[0-9]", kRegExpGlobal), NewProbe(interp)};
        RegExpData* re = AsRegExp(interp, args[1]);
        ASSERT_NE(re, nullptr);
        re->lastIndex = 1;
        StringCall call{interp, StringValue(interp, u"1a2b3"), Args(args)};
        EXPECT_THROW(StringReplace(call), ScriptUnwind);
        EXPECT_EQ(probe.seen.size(), 6u);  // "2" at 2, then "3" at 4 raised
        EXPECT_EQ(re->lastIndex, 0u);      // as after any global replacement
    }
    // Once nothing refers to the function, it dies: the unwinding released every pin.
    interp.Collect();
    EXPECT_TRUE(probe.finalized);
    gProbe = nullptr;
}

}  // namespace
}  // namespace velmo::script::library
