// The String methods that take a pattern, a String or a RegExp: "match", "replace", "search" and
// "split". Only "replace" runs script code (a replacement function, or the conversion of a
// replacement that is not text); everywhere else the texts viewed here stay valid throughout
// (allocation never collects). A pattern the library rejected loads as Null, which every method
// here answers as it answers "nothing matches": the subject is never lost.
#include <string>
#include <vector>

#include "script/library/regexp_class.h"
#include "script/library/string_methods.h"
#include "script/runtime/arrays.h"
#include "script/runtime/convert.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"

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

// What replaces each match is appended to `out` by `replace(out, spans)` (spans[0] the whole
// match, then the groups). When that may run script code, `s` must be text no script can reach (a
// copy) and `re` must stay alive (pinned) while this runs. A global expression starts at its last
// index and goes on past each match until none is left; otherwise only the first match from 0 is
// replaced. A global expression's last index returns to 0 however this ends, even when the
// replacement raises.
template <class Replace>
std::u16string ReplaceMatches(RegExpData& re, std::u16string_view s, Replace&& replace) {
    struct ResetLastIndex {
        RegExpData& re;
        ~ResetLastIndex() {
            if (re.IsGlobal()) re.lastIndex = 0;
        }
    } reset{re};
    std::u16string out;
    std::vector<MatchSpan> spans;
    size_t copied = 0;
    uint64_t at = re.IsGlobal() ? re.lastIndex : 0;
    while (at <= s.size() && SearchFrom(re, s, at, spans)) {
        const MatchSpan whole = spans[0];
        if (whole.start >= static_cast<int64_t>(copied)) out += Piece(s, static_cast<int64_t>(copied), whole.start);
        replace(out, spans);
        copied = static_cast<size_t>(whole.end);
        if (!re.IsGlobal()) break;
        at = whole.end == whole.start ? copied + StepAfterEmptyMatch(s, copied) : copied;
    }
    if (copied < s.size()) out += s.substr(copied);
    return out;
}

// The first occurrence of `p` in `s`, or every one when `all`; an empty `p` occurs nowhere. The
// same rules as ReplaceMatches for `s` and `replace`, which sees the occurrence as a whole match.
template <class Replace>
std::u16string ReplaceOccurrences(std::u16string_view s, std::u16string_view p, bool all, Replace&& replace) {
    std::u16string out;
    std::vector<MatchSpan> spans(1);
    size_t copied = 0;
    for (size_t at = s.find(p); !p.empty() && at != std::u16string_view::npos; at = s.find(p, copied)) {
        out += s.substr(copied, at - copied);
        spans[0] = {static_cast<int64_t>(at), static_cast<int64_t>(at + p.size())};
        replace(out, spans);
        copied = at + p.size();
        if (!all) break;
    }
    out += s.substr(copied);
    return out;
}

bool IsCallable(const Value& v) {
    return v.Is(Tag::Function) || (v.Is(Tag::HostObject) && v.AsHost()->cls->Call != nullptr);
}

// A replacement function, called for each match as f(match, group 1 .. group n, offset, subject)
// with Undefined for a group that took no part; the text of what it returns replaces the match.
// It may do anything a script can: raise (the error goes on to the caller of "replace" as it
// stands), collect, change the subject string in place, or run "replace" again. So the texts
// matched are owned copies, and every value held across the call is pinned; the arguments sit in
// a pinned holder array, since a host callee receives them from this vector, not from the stack.
class FunctionReplacer {
public:
    FunctionReplacer(Interpreter& interp, Value callee, Value subject, std::u16string_view text)
        : interp_(interp), callee_(interp, callee), subject_(interp, subject),
          holder_(interp, Value::Array(NewArray(interp, 0))), text_(text) {}

    void operator()(std::u16string& out, const std::vector<MatchSpan>& spans) {
        std::vector<Value> args{Value::Integer(static_cast<int64_t>(spans.size()) + 2)};
        for (const MatchSpan& span : spans) {
            args.push_back(span.Matched() ? StringValue(interp_, Piece(text_, span.start, span.end))
                                          : Value::Undefined());
        }
        args.push_back(Value::Integer(spans[0].start));
        args.push_back(subject_.Get());
        Reindex(interp_, holder_.Get().AsArray(), args);
        Value result;
        if (!CallCallable(interp_, callee_.Get(), Value::Null(), args.data(), result)) return;
        const Pinned kept(interp_, result);  // its toString may collect
        out += Text(ToString(interp_, kept.Get()).AsString());
    }

private:
    Interpreter& interp_;
    const Pinned callee_;
    const Pinned subject_;
    const Pinned holder_;
    std::u16string_view text_;  // not owned: the caller's copy of the subject
};

std::u16string ReplaceThroughFunction(StringCall& c, const Value& pattern, RegExpData* re, bool all) {
    const std::u16string s(c.TextTemp());
    FunctionReplacer replacer(c.interp, c.args[2], c.receiver, s);
    if (re) return ReplaceMatches(*re, s, replacer);
    const std::u16string p(Text(pattern.AsString()));
    return ReplaceOccurrences(s, p, all, replacer);
}

// Replacement text: taken literally for a text pattern, with its "$" sequences expanded for a
// RegExp. Nothing here runs script code.
std::u16string ReplaceWithText(StringCall& c, const Value& pattern, RegExpData* re, const Value& r, bool all) {
    const std::u16string_view s = c.TextTemp();
    const std::u16string_view text = Text(r.AsString());
    if (re)
        return ReplaceMatches(*re, s, [&](std::u16string& out, const std::vector<MatchSpan>& spans) {
            AppendExpanded(out, text, s, spans);
        });
    return ReplaceOccurrences(s, Text(pattern.AsString()), all,
                              [&](std::u16string& out, const std::vector<MatchSpan>&) { out += text; });
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
// Array of every whole match, possibly empty; anything but a RegExp an empty Array. The Null of a
// pattern the library rejected gets that empty Array too, not Null: its flags are gone with it,
// and an empty Array is safe to index where a script expects a result.
Value StringMatch(StringCall& c) {
    RegExpData* re = c.args.Has(1) ? AsRegExp(c.interp, c.args[1]) : nullptr;
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

// Where nothing can be replaced the answer is an unchanged copy of the subject, not the empty
// string that would lose it: with no replacement argument, or a pattern that is neither text nor a
// RegExp (above all the Null of a literal the library rejected). A replacement that is neither
// text nor callable is converted to text.
Value StringReplace(StringCall& c) {
    const Pinned subject(c.interp, c.receiver);
    const Value pattern = c.args.Has(1) ? c.args[1] : Value::Undefined();
    RegExpData* re = AsRegExp(c.interp, pattern);
    if (c.args.Count() < 2 || (!re && !pattern.Is(Tag::String))) return NewText(c, c.TextTemp());
    const Pinned patternKept(c.interp, pattern);
    const bool all = c.args.Has(3) && ToBoolean(c.args[3]);
    if (IsCallable(c.args[2])) return NewText(c, ReplaceThroughFunction(c, pattern, re, all));
    const Value replacement = ToString(c.interp, c.args[2]);  // may run script: texts are read after
    return NewText(c, ReplaceWithText(c, pattern, re, replacement, all));
}

// Anything but text or a RegExp (the Null of a rejected pattern among them) is found nowhere: -1.
Value StringSearch(StringCall& c) {
    if (!c.args.Has(1)) return Value::Integer(-1);
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

// A limit of 0 or less gives no pieces at all, whatever the separator: without a usable one (none,
// or the Null of a pattern the library rejected) the answer is what a separator that occurs nowhere
// gives, the whole subject as one piece within the limit.
Value StringSplit(StringCall& c) {
    const int64_t limit = c.args.Integer(2).value_or(kNoLimit);
    const std::u16string_view s = c.TextTemp();
    std::vector<Value> pieces;
    if (c.args.Has(1) && c.args[1].Is(Tag::String)) {
        const std::u16string_view sep = Text(c.args[1].AsString());
        pieces = sep.empty() ? SplitUnits(c, s, limit) : SplitText(c, s, sep, limit);
    } else if (const RegExpData* re = c.args.Has(1) ? AsRegExp(c.interp, c.args[1]) : nullptr) {
        pieces = SplitRegExp(c, *re, s, limit);
    } else if (limit > 0) {
        pieces.push_back(NewText(c, s));
    }
    return NewResultArray(c.interp, pieces);
}

}  // namespace velmo::script::library
