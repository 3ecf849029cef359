// The global functions: classes that have only a Call operation, registered from one table in a
// fixed order, and the global values "NaN" and "Infinity".
#include "script/library/core_classes.h"

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"
#include "script/runtime/trace_output.h"

namespace velmo::script::library {

namespace {

int64_t ArgCount(const Value* args) { return args[0].AsInteger(); }

// parseInt(text, radix): the integer reader on the text; a radix outside 0 and 2 to 36 reads
// nothing, so it gives NaN.
void ParseInt(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    *result = Value::NaN();
    if (ArgCount(args) < 1) return;
    // Copied out before the radix is converted: that conversion may run script code.
    const std::u16string text =
        args[1].Is(Tag::String) ? std::u16string(Text(args[1].AsString())) : ToText(interp, args[1]);
    int radix = 0;
    if (ArgCount(args) >= 2) {
        const int64_t given = args[2].Is(Tag::Integer) ? args[2].AsInteger() : ToInt32(interp, args[2]);
        radix = given >= 0 && given <= 36 ? static_cast<int>(given) : -1;
    }
    const IntegerRead read = ReadInteger(text, radix);
    if (read.kind == IntegerRead::Kind::Integer) *result = Value::Integer(read.integer);
    else if (read.kind == IntegerRead::Kind::Overflowed) *result = Value::Number(read.overflowed);
}

void ParseFloat(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    *result = Value::NaN();
    if (ArgCount(args) < 1) return;
    const Value n = ToNumber(interp, args[1]);
    *result = n.Is(Tag::Integer) ? Value::Number(static_cast<double>(n.AsInteger())) : n;
}

constexpr std::u16string_view kUnescaped = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789@*_+-./";
constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

size_t EscapedLength(char16_t c) {
    if (c < 128 && kUnescaped.find(c) != std::u16string_view::npos) return 1;
    return c < 256 ? 3 : 6;
}

void Escape(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    if (ArgCount(args) < 1) {
        *result = StaticStringValue(interp, u"");
        return;
    }
    const std::u16string text = ToText(interp, args[1]);
    size_t length = 0;
    for (const char16_t c : text) length += EscapedLength(c);
    std::u16string out;
    out.reserve(length);
    for (const char16_t c : text) {
        const size_t n = EscapedLength(c);
        if (n == 1) {
            out.push_back(c);
            continue;
        }
        out += n == 3 ? u"%" : u"%u";
        for (int shift = n == 3 ? 4 : 12; shift >= 0; shift -= 4) out.push_back(kHexDigits[(c >> shift) & 0xF]);
    }
    *result = StringValue(interp, out);
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The code unit of `digits` hexadecimal digits at `at`, or -1 when any is missing or not hex.
int32_t HexAt(std::u16string_view text, size_t at, size_t digits) {
    if (at + digits > text.size()) return -1;
    int32_t value = 0;
    for (size_t i = at; i < at + digits; ++i) {
        const int d = HexValue(text[i]);
        if (d < 0) return -1;
        value = value * 16 + d;
    }
    return value;
}

void Unescape(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    *result = Value::Undefined();
    if (ArgCount(args) < 1) return;
    const std::u16string text = ToText(interp, args[1]);
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const bool wide = text[i] == u'%' && i + 1 < text.size() && text[i + 1] == u'u';
        const int32_t unit = text[i] != u'%' ? -1 : wide ? HexAt(text, i + 2, 4) : HexAt(text, i + 1, 2);
        if (unit < 0) {
            out.push_back(text[i++]);
            continue;
        }
        out.push_back(static_cast<char16_t>(unit));
        i += wide ? 6 : 3;
    }
    *result = StringValue(interp, out);
}

// A Number whose double is not a number is reported as NaN too: it prints and compares as NaN.
void IsNaN(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    *result = Value::Undefined();
    if (ArgCount(args) < 1) return;
    const Value n = args[1].Is(Tag::Integer) || args[1].Is(Tag::Number) ? args[1] : ToNumber(interp, args[1]);
    *result = Value::Boolean(n.Is(Tag::NaN) || (n.Is(Tag::Number) && std::isnan(n.AsNumber())));
}

// A Number whose double is not a number is not finite either.
void IsFinite(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    *result = Value::Undefined();
    if (ArgCount(args) < 1) return;
    const Value n = ToNumber(interp, args[1]);
    *result = Value::Boolean(n.Is(Tag::Integer) || (n.Is(Tag::Number) && std::isfinite(n.AsNumber())));
}

// trace(...): the text of every argument, with no separator, as one line of the trace output.
// Nothing is converted while no output is open, so a closed trace runs no toString methods.
void Trace(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    *result = Value::Undefined();
    if (!Trace(interp).IsOpen()) return;
    std::u16string line;
    for (int64_t i = 1; i <= args[0].AsInteger(); ++i) line += ToText(interp, args[i]);
    Trace(interp).WriteLine(platform::Utf16ToAnsi(line));
}

struct GlobalFunction {
    const char* name;
    CallOp call;
};
constexpr GlobalFunction kGlobalFunctions[] = {
    {"parseInt", &ParseInt}, {"parseFloat", &ParseFloat}, {"escape", &Escape}, {"unescape", &Unescape},
    {"isNaN", &IsNaN},       {"isFinite", &IsFinite},     {"trace", &Trace},
};

}  // namespace

void RegisterGlobalFunctions(Interpreter& interp) {
    for (const GlobalFunction& f : kGlobalFunctions) {
        ClassRecord* cls = NewClass(interp, f.name);
        cls->Call = f.call;
        PublishClass(interp, f.name, cls);
    }
    GlobalByName(interp, "NaN") = Value::NaN();
    GlobalByName(interp, "Infinity") = Value::Number(std::numeric_limits<double>::infinity());
}

}  // namespace velmo::script::library
