// The String class: the class of tag String and the global "String". Its operations receive
// `self` as a pointer to the receiver's cell, or null on the class value. Methods never change
// the receiver; each returns a new owned string unless it answers with a number or an array.
#include "script/library/core_classes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cwctype>
#include <memory>
#include <string>

#include "script/library/string_methods.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/member_table.h"
#include "script/runtime/convert.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

// ---- Helpers ----

Value NewText(StringCall& c, std::u16string_view text) { return StringValue(c.interp, text); }

// Converts arguments `from` to `to` (those present) to Strings in place, so that they stay
// reachable; the receiver is held meanwhile, since a "toString" method may collect.
void ArgsToStrings(StringCall& c, uint32_t from, uint32_t to) {
    Pinned keep(c.interp, c.receiver);
    for (uint32_t k = from; k <= to && c.args.Has(k); ++k) c.args[k] = ToString(c.interp, c.args[k]);
}

std::u16string_view ArgTextTemp(StringCall& c, uint32_t k) { return c.args.Has(k) ? Text(c.args[k].AsString()) : u""; }

// The low 16 bits of a number written in decimal: leading white space, an optional sign, digits.
char16_t DecimalCodeUnit(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && IsWideSpace(text[i])) ++i;
    const bool negative = i < text.size() && text[i] == u'-';
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) ++i;
    uint32_t value = 0;  // only the low 16 bits matter, so wrapping is harmless
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) value = value * 10 + (text[i] - u'0');
    return static_cast<char16_t>(negative ? 0u - value : value);
}

char16_t CodeUnitOf(const Value& v) {
    switch (v.tag) {
        case Tag::Integer: return static_cast<char16_t>(static_cast<uint64_t>(v.AsInteger()) & 0xFFFF);
        case Tag::String: return DecimalCodeUnit(Text(v.AsString()));
        case Tag::Number: {
            const double d = std::trunc(v.AsNumber());
            if (!std::isfinite(d)) return 0;
            double low = std::fmod(d, 65536.0);
            if (low < 0) low += 65536.0;
            return static_cast<char16_t>(low);
        }
        default: return 0;
    }
}

// ---- Characters and pieces ----

Value FromCharCode(StringCall& c) {
    std::u16string text;
    for (uint32_t k = 1; k <= c.args.Count(); ++k) text.push_back(CodeUnitOf(c.args[k]));
    return NewText(c, text);
}

// A negative index is out of range too: nothing is ever read before the string.
Value CharAt(StringCall& c) {
    const std::u16string_view s = c.TextTemp();
    const std::optional<int64_t> k = c.args.Integer(1);
    if (!k || *k < 0 || static_cast<uint64_t>(*k) >= s.size()) return NewText(c, u"");
    return NewText(c, s.substr(static_cast<size_t>(*k), 1));
}

Value CharCodeAt(StringCall& c) {
    const std::u16string_view s = c.TextTemp();
    int64_t k = 0;
    if (c.args.Has(1)) k = c.args.Integer(1).value_or(static_cast<int64_t>(s.size()));
    if (k < 0 || static_cast<uint64_t>(k) >= s.size()) return Value::NaN();
    return Value::Integer(s[static_cast<size_t>(k)]);
}

Value Concat(StringCall& c) {
    ArgsToStrings(c, 1, c.args.Count());
    std::u16string text(c.TextTemp());
    for (uint32_t k = 1; k <= c.args.Count(); ++k) text += Text(c.args[k].AsString());
    return NewText(c, text);
}

Value IndexOf(StringCall& c) {
    ArgsToStrings(c, 1, 1);
    const std::u16string_view s = c.TextTemp();
    const std::u16string_view t = c.args.Has(1) ? ArgTextTemp(c, 1) : u"undefined";
    const int64_t from = c.args.Integer(2).value_or(0);
    if (from < 0 || static_cast<uint64_t>(from) > s.size()) return Value::Integer(-1);
    const size_t at = s.find(t, static_cast<size_t>(from));
    return Value::Integer(at == std::u16string_view::npos ? -1 : static_cast<int64_t>(at));
}

Value LastIndexOf(StringCall& c) {
    ArgsToStrings(c, 1, 1);
    const std::u16string_view s = c.TextTemp();
    const std::u16string_view t = c.args.Has(1) ? ArgTextTemp(c, 1) : u"undefined";
    if (t.size() > s.size()) return Value::Integer(-1);
    const auto last = static_cast<int64_t>(s.size() - t.size());
    const int64_t from = std::min(c.args.Integer(2).value_or(last), last);
    if (from < 0) return Value::Integer(-1);
    const size_t at = s.rfind(t, static_cast<size_t>(from));
    return Value::Integer(at == std::u16string_view::npos ? -1 : static_cast<int64_t>(at));
}

// A position counted from the end when negative, then kept within 0 .. n.
int64_t FromEnd(int64_t k, int64_t n) {
    if (k < 0) k += n;
    return k < 0 ? 0 : (k > n ? n : k);
}

Value Slice(StringCall& c) {
    const std::u16string_view s = c.TextTemp();
    const auto n = static_cast<int64_t>(s.size());
    const std::optional<int64_t> first = c.args.Integer(1);
    const std::optional<int64_t> end = c.args.Has(2) ? c.args.Integer(2) : n;
    if (!first || !end) return NewText(c, u"");
    const int64_t b = FromEnd(*first, n);
    const int64_t e = FromEnd(*end, n);
    if (b >= e) return NewText(c, u"");
    return NewText(c, s.substr(static_cast<size_t>(b), static_cast<size_t>(e - b)));
}

Value Substr(StringCall& c) {
    const std::u16string_view s = c.TextTemp();
    const auto n = static_cast<int64_t>(s.size());
    const std::optional<int64_t> first = c.args.Integer(1);
    if (!first) return NewText(c, u"");
    const int64_t b = FromEnd(*first, n);
    int64_t len = c.args.Integer(2).value_or(n - b);
    if (len < 0) len = 0;
    return NewText(c, s.substr(static_cast<size_t>(b), static_cast<size_t>(std::min(len, n - b))));
}

// The bounds are not exchanged: b > e gives the empty string.
Value Substring(StringCall& c) {
    const std::u16string_view s = c.TextTemp();
    const auto n = static_cast<int64_t>(s.size());
    const std::optional<int64_t> first = c.args.Integer(1);
    if (!first) return NewText(c, u"");
    int64_t b = *first;
    int64_t e = c.args.Integer(2).value_or(n);
    if (b < 0) b = 0;
    if (e > n) e = n;
    if (b > e) return NewText(c, u"");
    return NewText(c, s.substr(static_cast<size_t>(b), static_cast<size_t>(e - b)));
}

// Case mapping is the C library's wide mapping, one code unit at a time, so it follows the
// platform (and its current locale) as the rest of the system's text handling does.
template <bool kUpper>
Value MapCase(StringCall& c) {
    std::u16string text(c.TextTemp());
    for (char16_t& unit : text) {
        const auto w = static_cast<std::wint_t>(unit);
        unit = static_cast<char16_t>(kUpper ? std::towupper(w) : std::towlower(w));
    }
    return NewText(c, text);
}

// ---- HTML ----

// "<OPEN attribute="a">s</CLOSE>" or "<OPEN>s</CLOSE>"; the whole text is returned however long.
struct HtmlForm {
    std::u16string_view before;  // up to the attribute value, or the whole opening tag
    bool takesAttribute;
    std::u16string_view after;
};
constexpr HtmlForm kHtmlForms[] = {
    {u"<A NAME=\"", true, u"</A>"},       {u"<BIG>", false, u"</BIG>"},
    {u"<BLINK>", false, u"</BLINK>"},     {u"<B>", false, u"</B>"},
    {u"<TT>", false, u"</TT>"},           {u"<FONT COLOR=\"", true, u"</FONT>"},
    {u"<FONT SIZE=\"", true, u"</FONT>"}, {u"<I>", false, u"</I>"},
    {u"<A HREF=\"", true, u"</A>"},       {u"<SMALL>", false, u"</SMALL>"},
    {u"<STRIKE>", false, u"</STRIKE>"},   {u"<SUB>", false, u"</SUB>"},
    {u"<SUP>", false, u"</SUP>"},
};

template <size_t kForm>
Value Html(StringCall& c) {
    const HtmlForm& form = kHtmlForms[kForm];
    std::u16string text(form.before);
    if (form.takesAttribute) {
        ArgsToStrings(c, 1, 1);
        text += ArgTextTemp(c, 1);
        text += u"\">";
    }
    text += c.TextTemp();
    text += form.after;
    return NewText(c, text);
}

// ---- The class ----

struct MethodEntry {
    const char* name;
    StringMethod method;   // null for "length", which is a property
    bool onClass = false;  // called on the class value ("String.fromCharCode"), not on a string
};
constexpr MethodEntry kMembers[] = {
    {"length", nullptr},
    {"charAt", &CharAt},
    {"charCodeAt", &CharCodeAt},
    {"concat", &Concat},
    {"fromCharCode", &FromCharCode, true},
    {"indexOf", &IndexOf},
    {"lastIndexOf", &LastIndexOf},
    {"match", &StringMatch},
    {"replace", &StringReplace},
    {"search", &StringSearch},
    {"slice", &Slice},
    {"split", &StringSplit},
    {"substr", &Substr},
    {"substring", &Substring},
    {"toLowerCase", &MapCase<false>},
    {"toUpperCase", &MapCase<true>},
    {"anchor", &Html<0>},
    {"big", &Html<1>},
    {"blink", &Html<2>},
    {"bold", &Html<3>},
    {"fixed", &Html<4>},
    {"fontColor", &Html<5>},
    {"fontSize", &Html<6>},
    {"italics", &Html<7>},
    {"link", &Html<8>},
    {"small", &Html<9>},
    {"strike", &Html<10>},
    {"sub", &Html<11>},
    {"sup", &Html<12>},
};
using Members = MemberTable<MethodEntry>;
void FreeClassData(void* data) { delete static_cast<Members*>(data); }
const MethodEntry* FindMethod(const ClassRecord& cls, uint32_t nameId) {
    return static_cast<const Members*>(cls.classData)->Find(nameId);
}

bool Property(Interpreter&, ClassRecord& cls, void* self, uint32_t nameId, bool isSet, Value* io) {
    const Value* receiver = static_cast<const Value*>(self);
    if (!receiver || !receiver->Is(Tag::String)) return false;
    const MethodEntry* entry = FindMethod(cls, nameId);
    if (!entry || entry->method) return false;
    if (!isSet) *io = Value::Integer(receiver->AsString()->length);
    return true;  // a store to "length" is accepted and changes nothing
}

void Call(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    *result = args[0].AsInteger() == 0 ? StringValue(interp, u"") : ToString(interp, args[1]);
}

// `new String(x)`: an owned copy that has its own property object from the start.
void Construct(Interpreter& interp, ClassRecord&, Value* args, Value* result) {
    const Value text = args[0].AsInteger() == 0 ? StaticStringValue(interp, u"") : ToString(interp, args[1]);
    *result = StringValue(interp, Text(text.AsString()));
    OwnProperties(interp, *result, true);
}

bool CallOnClass(Interpreter& interp, ClassRecord& cls, uint32_t nameId, Value* result, Value* args) {
    if (const MethodEntry* entry = FindMethod(cls, nameId); entry && entry->onClass) {
        StringCall call{interp, Value::Undefined(), Args(args)};
        *result = entry->method(call);
        return true;
    }
    if (nameId == kToStringNameId) {
        *result = StaticStringValue(interp, u"[Object String]");
        return true;
    }
    if (nameId == kValueOfNameId) {
        *result = GlobalByName(interp, "String");
        return true;
    }
    return false;
}

bool CallMethod(Interpreter& interp, ClassRecord& cls, void* self, uint32_t nameId, Value* result, Value* args) {
    const Value* receiver = static_cast<const Value*>(self);
    if (!receiver) return CallOnClass(interp, cls, nameId, result, args);
    if (!receiver->Is(Tag::String)) return false;
    if (nameId == kToStringNameId || nameId == kValueOfNameId) {
        *result = *receiver;
        return true;
    }
    const MethodEntry* entry = FindMethod(cls, nameId);
    if (!entry || !entry->method) return false;
    StringCall call{interp, *receiver, Args(args)};
    *result = entry->method(call);
    return true;
}

}  // namespace

void RegisterStringClass(Interpreter& interp) {
    ClassRecord* cls = NewClass(interp, "String");
    cls->classData = new Members(interp, kMembers);
    cls->FreeClassData = &FreeClassData;
    cls->Call = &Call;
    cls->Construct = &Construct;
    cls->CallMethod = &CallMethod;
    cls->Property = &Property;
    PublishClass(interp, "String", cls);
    SetTypeClass(interp, Tag::String, cls);
}

}  // namespace velmo::script::library
