// The String methods that take a pattern, a String or a RegExp: "match", "replace", "search" and
// "split". None of them converts its arguments, so none runs script code: the texts viewed here
// stay valid throughout (allocation never collects).
#include <string>
#include <vector>

#include "script/library/regexp_class.h"
#include "script/library/string_methods.h"
#include "script/runtime/convert.h"

namespace velmo::script::library {

namespace {

constexpr int64_t kNoLimit = 2147483647;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// How far the search moves past an empty match at `at`: one code unit, or both units of a
// surrogate pair, so that no replacement or piece ever lands between the halves of a character.
size_t StepAfterEmptyMatch(std::u16string_view s, size_t at) {
    return at + 1 < s.size() && IsHighSurrogate(s[at]) && IsLowSurrogate(s[at + 1]) ? 2 : 1;
}

std::u16string_view Piece(std::u16string_view s, int64_t from, int64_t to) {
    return s.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
}

Value NewText(StringCall& c, std::u16string_view text) { return StringValue(c.interp, text); }

// ---- "$" sequences ----

// The group number after a "$" at r[i]: two digits when they name an entry of the match table,
// else one. Returns how many digits were taken, 0 when none follows.
size_t ReadGroupNumber(std::u16string_view r, size_t i, size_t entries, size_t& group) {
    auto digit = [&](size_t k) { return k < r.size() && r[k] >= u'0' && r[k] <= u'9'; };
    if (!digit(i + 1)) return 0;
    group = r[i + 1] - u'0';
    if (digit(i + 2)) {
        const size_t two = group * 10 + (r[i + 2] - u'0');
        if (two < entries) {
            group = two;
            return 2;
        }
    }
    return 1;
}

// Appends `r` with "$$", "$&", "$'", "$`" and "$n" expanded for the match in `spans`. A group
// that took no part, or that the expression does not have, adds nothing.
void AppendExpanded(std::u16string& out, std::u16string_view r, std::u16string_view s,
                    const std::vector<MatchSpan>& spans) {
    const MatchSpan& whole = spans[0];
    for (size_t i = 0; i < r.size(); ++i) {
        const char16_t next = i + 1 < r.size() ? r[i + 1] : u'\0';
        size_t group = 0, digits = 0;
        if (r[i] != u'$' || i + 1 == r.size()) {
            out += r[i];
        } else if (next == u'$') {
            out += u'$', ++i;
        } else if (next == u'&') {
            out += Piece(s, whole.start, whole.end), ++i;
        } else if (next == u'\'') {
            out += s.substr(static_cast<size_t>(whole.end)), ++i;
        } else if (next == u'`') {
            out += s.substr(0, static_cast<size_t>(whole.start)), ++i;
        } else if ((digits = ReadGroupNumber(r, i, spans.size(), group)) > 0) {
            if (group < spans.size() && spans[group].Matched()) out += Piece(s, spans[group].start, spans[group].end);
            i += digits;
        } else {
            out += u'$';
        }
    }
}

// ---- Replacement ----

// A global expression starts at its last index and goes on past each match until none is left,
// then its last index returns to 0; otherwise only the first match from 0 is replaced.
std::u16string ReplaceRegExp(RegExpData& re, std::u16string_view s, std::u16string_view r) {
    std::u16string out;
    std::vector<MatchSpan> spans;
    size_t copied = 0;
    uint64_t at = re.IsGlobal() ? re.lastIndex : 0;
    while (at <= s.size() && SearchFrom(re, s, at, spans)) {
        const MatchSpan whole = spans[0];
        if (whole.start >= static_cast<int64_t>(copied)) out += Piece(s, static_cast<int64_t>(copied), whole.start);
        AppendExpanded(out, r, s, spans);
        copied = static_cast<size_t>(whole.end);
        if (!re.IsGlobal()) break;
        at = whole.end == whole.start ? copied + StepAfterEmptyMatch(s, copied) : copied;
    }
    if (re.IsGlobal()) re.lastIndex = 0;
    if (copied < s.size()) out += s.substr(copied);
    return out;
}

std::u16string ReplaceText(std::u16string_view s, std::u16string_view p, std::u16string_view r, bool all) {
    std::u16string out;
    size_t copied = 0;
    for (size_t at = s.find(p); !p.empty() && at != std::u16string_view::npos; at = s.find(p, copied)) {
        out += s.substr(copied, at - copied);
        out += r;
        copied = at + p.size();
        if (!all) break;
    }
    out += s.substr(copied);
    return out;
}

// ---- Splitting ----

std::vector<Value> SplitUnits(StringCall& c, std::u16string_view s, int64_t limit) {
    std::vector<Value> pieces;
    for (size_t i = 0; i < s.size() && static_cast<int64_t>(pieces.size()) < limit; ++i)
        pieces.push_back(NewText(c, s.substr(i, 1)));
    return pieces;
}

std::vector<Value> SplitText(StringCall& c, std::u16string_view s, std::u16string_view sep, int64_t limit) {
    std::vector<Value> pieces;
    size_t start = 0;
    for (size_t at = s.find(sep); at != std::u16string_view::npos && static_cast<int64_t>(pieces.size()) < limit;
         at = s.find(sep, start)) {
        pieces.push_back(NewText(c, s.substr(start, at - start)));
        start = at + sep.size();
    }
    if (static_cast<int64_t>(pieces.size()) < limit) pieces.push_back(NewText(c, s.substr(start)));
    return pieces;
}

// Pieces lie between successive matches, searched forward from 0 (the last index is not used). An
// empty match at the start of a piece, or at the very end, separates nothing: the search moves on.
std::vector<Value> SplitRegExp(StringCall& c, const RegExpData& re, std::u16string_view s, int64_t limit) {
    std::vector<Value> pieces;
    std::vector<MatchSpan> spans;
    size_t start = 0, at = 0;
    while (static_cast<int64_t>(pieces.size()) < limit && at <= s.size() && SearchFrom(re, s, at, spans)) {
        const MatchSpan whole = spans[0];
        const auto matchStart = static_cast<size_t>(whole.start);
        if (whole.start == whole.end && (matchStart == start || matchStart >= s.size())) {
            if (matchStart >= s.size()) break;
            at = matchStart + StepAfterEmptyMatch(s, matchStart);
            continue;
        }
        pieces.push_back(NewText(c, s.substr(start, matchStart - start)));
        start = static_cast<size_t>(whole.end);
        at = start;
    }
    if (static_cast<int64_t>(pieces.size()) < limit) pieces.push_back(NewText(c, s.substr(start)));
    return pieces;
}

}  // namespace

// A non-global expression gives ExecRegExp's result (Null when nothing matches); a global one an
// Array of every whole match, possibly empty; anything but a RegExp an empty Array.
Value StringMatch(StringCall& c) {
    RegExpData* re = c.Has(1) ? AsRegExp(c.interp, c.args[1]) : nullptr;
    if (!re) return NewResultArray(c.interp, {});
    if (!re->IsGlobal()) return ExecRegExp(c.interp, *re, c.receiver);
    const std::u16string_view s = c.TextTemp();
    std::vector<Value> found;
    std::vector<MatchSpan> spans;
    size_t at = 0;
    // An empty match at the very end is the last one: stepping past the end would find it again.
    while (SearchFrom(*re, s, at, spans)) {
        found.push_back(NewText(c, Piece(s, spans[0].start, spans[0].end)));
        at = static_cast<size_t>(spans[0].end);
        if (spans[0].start == spans[0].end) {
            if (at >= s.size()) break;
            at += StepAfterEmptyMatch(s, at);
        }
    }
    re->lastIndex = 0;
    return NewResultArray(c.interp, found);
}

Value StringReplace(StringCall& c) {
    if (c.Count() < 2 || !c.args[2].Is(Tag::String)) return NewText(c, u"");
    const std::u16string_view s = c.TextTemp();
    const std::u16string_view r = Text(c.args[2].AsString());
    if (c.args[1].Is(Tag::String)) {
        const bool all = c.Has(3) && ToBoolean(c.args[3]);
        return NewText(c, ReplaceText(s, Text(c.args[1].AsString()), r, all));
    }
    if (RegExpData* re = AsRegExp(c.interp, c.args[1])) return NewText(c, ReplaceRegExp(*re, s, r));
    return NewText(c, u"");
}

Value StringSearch(StringCall& c) {
    if (!c.Has(1)) return Value::Integer(-1);
    const std::u16string_view s = c.TextTemp();
    if (c.args[1].Is(Tag::String)) {
        const size_t at = s.find(Text(c.args[1].AsString()));
        return Value::Integer(at == std::u16string_view::npos ? -1 : static_cast<int64_t>(at));
    }
    RegExpData* re = AsRegExp(c.interp, c.args[1]);
    if (!re) return Value::Integer(-1);
    std::vector<MatchSpan> spans;
    const bool found = SearchFrom(*re, s, re->lastIndex, spans);
    if (re->IsGlobal()) re->lastIndex = found ? static_cast<uint32_t>(spans[0].end) : 0;
    return Value::Integer(found ? spans[0].start : -1);
}

// A negative limit gives no pieces at all.
Value StringSplit(StringCall& c) {
    int64_t limit = kNoLimit;
    c.IntegerArg(2, limit);
    const std::u16string_view s = c.TextTemp();
    std::vector<Value> pieces;
    if (c.Has(1) && c.args[1].Is(Tag::String)) {
        const std::u16string_view sep = Text(c.args[1].AsString());
        pieces = sep.empty() ? SplitUnits(c, s, limit) : SplitText(c, s, sep, limit);
    } else if (const RegExpData* re = c.Has(1) ? AsRegExp(c.interp, c.args[1]) : nullptr) {
        pieces = SplitRegExp(c, *re, s, limit);
    } else {
        pieces.push_back(NewText(c, s));
    }
    return NewResultArray(c.interp, pieces);
}

}  // namespace velmo::script::library
