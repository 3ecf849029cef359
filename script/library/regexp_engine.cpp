// Boost.Regex through its POSIX-style wide interface. Subjects are searched with REG_STARTEND over
// their whole length, so a zero code unit inside script text is matched like any other character
// instead of ending the subject early.
#include "script/library/regexp_engine.h"

#include <boost/cregex.hpp>

#include <algorithm>

namespace velmo::script::library {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Extended syntax without locale collation and with backslash escapes inside bracket lists; "i"
// adds case-insensitive matching and "m" newline-sensitive matching.
int CompileFlags(uint32_t flags) {
    int f = boost::REG_EXTENDED | boost::REG_NOCOLLATE | boost::REG_ESCAPE_IN_LISTS;
    if (flags & kRegExpIgnoreCase) f |= boost::REG_ICASE;
    if (flags & kRegExpMultiLine) f |= boost::REG_NEWLINE;
    return f;
}

}  // namespace

WideText ToWideText(std::u16string_view text16) {
    WideText out;
    out.text.reserve(text16.size());
    out.unitAt.reserve(text16.size() + 1);
    for (size_t i = 0; i < text16.size(); ++i) {
        out.unitAt.push_back(static_cast<uint32_t>(i));
        const char32_t c = text16[i];
        if (!kWideIsUtf16 && IsHighSurrogate(c) && i + 1 < text16.size() && IsLowSurrogate(text16[i + 1])) {
            out.text.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (text16[i + 1] - 0xDC00)));
            ++i;
            continue;
        }
        out.text.push_back(static_cast<wchar_t>(c));
    }
    out.unitAt.push_back(static_cast<uint32_t>(text16.size()));
    return out;
}

std::u16string FromWide(std::wstring_view wide) {
    std::u16string out;
    for (const wchar_t w : wide) {
        const auto c = static_cast<uint32_t>(w);
        if (!kWideIsUtf16 && c > 0xFFFF && c <= 0x10FFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

struct CompiledRegExp::Impl {
    boost::regex_tW re{};
    ~Impl() { boost::regfreeW(&re); }
};

CompiledRegExp::CompiledRegExp(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
CompiledRegExp::~CompiledRegExp() = default;

std::unique_ptr<CompiledRegExp> CompiledRegExp::Compile(std::u16string_view pattern, uint32_t flags,
                                                        std::u16string& error) {
    // The pattern is zero-terminated text for the library: it ends at its first zero code unit.
    const WideText wide = ToWideText(pattern);
    boost::regex_tW re{};
    const int status = boost::regcompW(&re, wide.text.c_str(), CompileFlags(flags));
    if (status != 0) {
        // A failed compile has already released what it built; the message comes from the table.
        wchar_t text[512] = {};
        boost::regerrorW(status, &re, text, std::size(text));
        error = FromWide(text);
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->re = re;
    return std::unique_ptr<CompiledRegExp>(new CompiledRegExp(std::move(impl)));
}

bool CompiledRegExp::Search(std::u16string_view subject, std::vector<MatchSpan>& spans) const {
    spans.clear();
    const WideText wide = ToWideText(subject);
    std::vector<boost::regmatch_t> table(kMatchTableEntries);
    table[0].rm_so = 0;
    table[0].rm_eo = static_cast<boost::regoff_t>(wide.text.size());
    // Anything but success (no match, or the library giving up on a too complex search) is no match.
    if (boost::regexecW(&impl_->re, wide.text.c_str(), table.size(), table.data(), boost::REG_STARTEND) != 0)
        return false;
    const size_t used = std::min<size_t>(impl_->re.re_nsub + 1, kMatchTableEntries);
    for (size_t k = 0; k < used; ++k) {
        const boost::regmatch_t& m = table[k];
        MatchSpan span;
        if (m.rm_so >= 0 && m.rm_eo >= m.rm_so && static_cast<size_t>(m.rm_eo) <= wide.text.size()) {
            span.start = wide.unitAt[static_cast<size_t>(m.rm_so)];
            span.end = wide.unitAt[static_cast<size_t>(m.rm_eo)];
        }
        spans.push_back(span);
    }
    return true;
}

}  // namespace velmo::script::library
