// The RegExp class: regular-expression values are host objects of this class, with no script
// methods or properties of their own; the String methods use them. The class also makes the
// values for the regular-expression constants of loaded modules.
#include "script/library/regexp_class.h"

#include <algorithm>

#include "platform/text.h"
#include "script/library/core_classes.h"
#include "script/runtime/arrays.h"
#include "script/runtime/errors.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/objects.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

// The whole warning, prefix included, is cut to this many code units.
constexpr size_t kMaxRegExpMessageUnits = 512;
constexpr std::u16string_view kMessagePrefix = u"RegExp runtime error: ";

// A dying RegExp value releases its pattern and compiled expression with it.
void FinalizeData(ClassRecord&, void* nativeData) { delete static_cast<RegExpData*>(nativeData); }

// The class held by the global "RegExp", provided it is still this class: native data of any other
// class must never be taken for a RegExpData.
ClassRecord* RegExpClass(Interpreter& interp) {
    const Value global = GlobalByName(interp, "RegExp");
    if (!global.Is(Tag::HostObject)) return nullptr;
    ClassRecord* cls = global.AsHost()->cls;
    return cls->FinalizeData == &FinalizeData ? cls : nullptr;
}

// The pattern as a literal writes it, flags included, so that a script with several expressions
// shows which one the library refused (its messages alone are often the same for all of them).
std::u16string LiteralForm(std::u16string_view pattern, uint32_t flags) {
    std::u16string text = u"/";
    text += pattern;
    text += u"/";
    if (flags & kRegExpGlobal) text += u'g';
    if (flags & kRegExpIgnoreCase) text += u'i';
    if (flags & kRegExpMultiLine) text += u'm';
    return text;
}

// `text` cut to at most `units` code units, never between the halves of a surrogate pair.
std::u16string_view CutTo(std::u16string_view text, size_t units) {
    if (text.size() <= units) return text;
    if (units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF) --units;
    return text.substr(0, units);
}

// "RegExp runtime error: " + the library's text + " (pattern /source/flags)", at most
// kMaxRegExpMessageUnits code units in all: a long pattern is shortened with "..." before the
// library's text is.
std::u16string CompileErrorText(std::u16string_view libraryText, std::u16string_view pattern, uint32_t flags) {
    constexpr std::u16string_view kOpen = u" (pattern ", kClose = u")", kEllipsis = u"...";
    const size_t room = kMaxRegExpMessageUnits - kMessagePrefix.size();
    std::u16string text(CutTo(libraryText, room));
    const std::u16string literal = LiteralForm(pattern, flags);
    if (text.size() + kOpen.size() + kEllipsis.size() + kClose.size() >= room) return text;
    const size_t left = room - text.size() - kOpen.size() - kClose.size();
    text += kOpen;
    if (literal.size() <= left) {
        text += literal;
    } else {
        text += CutTo(literal, left - kEllipsis.size());
        text += kEllipsis;
    }
    text += kClose;
    return text;
}

void ReportCompileError(Interpreter& interp, std::u16string_view libraryText, std::u16string_view pattern,
                        uint32_t flags) {
    const std::u16string text = CompileErrorText(libraryText, pattern, flags);
    Warn(interp, Msg::RegExpRuntimeError, platform::Utf16ToAnsi(text));
}

Value RegExpFactory(Interpreter& interp, std::u16string_view pattern, uint8_t flags) {
    return NewRegExp(interp, pattern,
                     (flags & (kRegExpGlobal | kRegExpIgnoreCase | kRegExpMultiLine)) | kRegExpFromConstant);
}

}  // namespace

Value NewRegExp(Interpreter& interp, std::u16string_view pattern, uint32_t flags) {
    auto data = std::make_unique<RegExpData>();
    // The library rejects an empty expression; "^" matches the empty string at the start instead.
    data->pattern = pattern.empty() ? std::u16string(u"^") : std::u16string(pattern);
    data->flags = flags;
    std::u16string error;
    data->compiled = CompiledRegExp::Compile(data->pattern, flags, error);
    if (!data->compiled) {
        ReportCompileError(interp, error, data->pattern, flags);
        return Value::Null();
    }
    ClassRecord* cls = RegExpClass(interp);
    if (!cls) return Value::Null();
    // Ownership passes to the host record (its finalizer) before anything can fail.
    return NewHostValue(interp, cls, data.release());
}

RegExpData* AsRegExp(Interpreter& interp, const Value& value) {
    if (!value.Is(Tag::HostObject)) return nullptr;
    const HostRecord* host = value.AsHost();
    if (!host->nativeData || host->cls != RegExpClass(interp)) return nullptr;
    return static_cast<RegExpData*>(host->nativeData);
}

bool SearchFrom(const RegExpData& re, std::u16string_view subject, uint64_t from, std::vector<MatchSpan>& spans) {
    const size_t start = static_cast<size_t>(std::min<uint64_t>(from, subject.size()));
    if (!re.compiled->Search(subject.substr(start), spans)) return false;
    for (MatchSpan& span : spans)
        if (span.Matched()) {
            span.start += static_cast<int64_t>(start);
            span.end += static_cast<int64_t>(start);
        }
    return true;
}

Value NewResultArray(Interpreter& interp, const std::vector<Value>& elements) {
    ArrayRecord* array = NewArray(interp, elements.size());
    for (size_t i = 0; i < elements.size(); ++i) PutElement(interp, array, elements[i], i);
    const Value result = Value::Array(array);
    OwnProperties(interp, result, true);
    return result;
}

Value ExecRegExp(Interpreter& interp, RegExpData& re, const Value& subject) {
    const std::u16string_view text = Text(subject.AsString());
    std::vector<MatchSpan> spans;
    if (!SearchFrom(re, text, re.lastIndex, spans)) {
        if (re.IsGlobal()) re.lastIndex = 0;
        return Value::Null();
    }
    std::vector<Value> elements;
    for (const MatchSpan& span : spans) {
        elements.push_back(span.Matched() ? StringValue(interp, text.substr(static_cast<size_t>(span.start),
                                                                            static_cast<size_t>(span.end - span.start)))
                                          : Value::Undefined());
    }
    const Value result = NewResultArray(interp, elements);
    ObjectRecord* props = OwnProperties(interp, result, true);
    SetOwn(interp, props, Intern(interp, "index"), Value::Integer(spans[0].start));
    SetOwn(interp, props, Intern(interp, "input"), subject);
    if (re.IsGlobal()) re.lastIndex = static_cast<uint32_t>(spans[0].end);
    return result;
}

void RegisterRegExpClass(Interpreter& interp) {
    ClassRecord* cls = NewClass(interp, "RegExp");
    cls->FinalizeData = &FinalizeData;
    PublishClass(interp, "RegExp", cls);
    SetRegExpFactory(interp, &RegExpFactory);
}

}  // namespace velmo::script::library
