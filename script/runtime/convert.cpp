#include "script/runtime/convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/text.h"
#include "script/runtime/calls.h"
#include "script/runtime/errors.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/strings.h"

namespace velmo::script {

bool IsWideSpace(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

namespace {

int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

size_t SkipSpace(std::u16string_view t, size_t i) {
    while (i < t.size() && IsWideSpace(t[i])) ++i;
    return i;
}

// Reads a decimal floating literal at the start of `text` (after white space and a sign): digits,
// an optional fraction and an optional exponent, at least one digit before the exponent. Hex
// floats, "inf" and "nan" are not decimal literals and read nothing.
std::optional<double> ReadDecimalFloat(std::u16string_view text) {
    size_t i = SkipSpace(text, 0);
    std::string ascii;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) ascii.push_back(static_cast<char>(text[i++]));
    i = SkipSpace(text, i);
    size_t digits = 0;
    const auto takeDigits = [&] {
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
            ascii.push_back(static_cast<char>(text[i++]));
            ++digits;
        }
    };
    takeDigits();
    if (i < text.size() && text[i] == u'.') {
        ascii.push_back('.');
        ++i;
        takeDigits();
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == u'-' || text[j] == u'+')) exponent.push_back(static_cast<char>(text[j++]));
        const size_t firstDigit = j;
        while (j < text.size() && text[j] >= u'0' && text[j] <= u'9') exponent.push_back(static_cast<char>(text[j++]));
        if (j > firstDigit) ascii += exponent;  // "12e" reads as 12
    }
    const char* begin = ascii.data() + (ascii[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [end, error] = std::from_chars(begin, ascii.data() + ascii.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: the sign decides between infinity and zero.
        const bool negative = ascii[0] == '-';
        const bool tiny = ascii.find("e-") != std::string::npos;
        return tiny ? (negative ? -0.0 : 0.0) : (negative ? -HUGE_VAL : HUGE_VAL);
    }
    if (error != std::errc() || end == begin) return std::nullopt;
    return value;
}

std::u16string Ascii(const char* text) {
    std::u16string out;
    for (const char* p = text; *p; ++p) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    return out;
}

}  // namespace

IntegerRead ReadInteger(std::u16string_view text, int radix) {
    IntegerRead read;
    if (radix != 0 && (radix < 2 || radix > 36)) return read;
    size_t i = SkipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    i = SkipSpace(text, i);
    const bool hexPrefix = i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X');
    if (radix == 0) {
        radix = hexPrefix ? 16 : (i < text.size() && text[i] == u'0') ? 8 : 10;
        if (hexPrefix) i += 2;
    } else if (radix == 16 && hexPrefix) {
        i += 2;
    }
    int64_t value = 0;
    double wide = 0;
    bool overflowed = false, any = false;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit >= radix) break;
        any = true;
        if (!overflowed && value > (std::numeric_limits<int64_t>::max() - digit) / radix) {
            overflowed = true;
            wide = static_cast<double>(value);
        }
        if (overflowed) wide = wide * radix + digit;
        else value = value * radix + digit;
    }
    read.stop = i;
    if (!any) return read;
    read.kind = overflowed ? IntegerRead::Kind::Overflowed : IntegerRead::Kind::Integer;
    read.integer = negative ? -value : value;
    read.overflowed = negative ? -wide : wide;
    return read;
}

bool ToBoolean(const Value& v) {
    switch (v.tag) {
        case Tag::Boolean: return v.AsBoolean();
        case Tag::Integer: return v.AsInteger() != 0;
        case Tag::String: return v.AsString()->length > 0;
        case Tag::Number: return v.AsNumber() != 0 && !std::isnan(v.AsNumber());
        case Tag::Array:
        case Tag::Object:
        case Tag::HostObject:
        case Tag::Function: return true;
        default: return false;
    }
}

Value StringToNumber(std::u16string_view text) {
    if (text.empty()) return Value::Integer(0);
    const IntegerRead read = ReadInteger(text, 0);
    const char16_t stop = read.stop < text.size() ? text[read.stop] : u'\0';
    if (stop == u'.' || stop == u'e' || stop == u'E' || stop == u'd' || stop == u'D') {
        const std::optional<double> d = ReadDecimalFloat(text);
        return d ? Value::Number(*d) : Value::NaN();
    }
    switch (read.kind) {
        case IntegerRead::Kind::None: return Value::NaN();
        case IntegerRead::Kind::Integer: return Value::Integer(read.integer);
        case IntegerRead::Kind::Overflowed: return Value::Number(read.overflowed);
    }
    return Value::NaN();
}

Value ToNumberPrimitive(const Value& v) {
    switch (v.tag) {
        case Tag::Null: return Value::Integer(0);
        case Tag::Boolean: return Value::Integer(v.AsBoolean() ? 1 : 0);
        case Tag::Integer:
        case Tag::Number:
        case Tag::NaN: return v;
        case Tag::String: return StringToNumber(Text(v.AsString()));
        default: return Value::NaN();
    }
}

int64_t ToInteger64Numeric(const Value& numeric) {
    if (numeric.Is(Tag::Integer)) return numeric.AsInteger();
    if (!numeric.Is(Tag::Number)) return 0;
    const double d = numeric.AsNumber();
    if (std::isnan(d) || std::isinf(d)) return 0;
    // Past the 64-bit range the cast is undefined; such doubles saturate instead.
    if (d >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
}

int32_t ToInt32Numeric(const Value& numeric) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ToInteger64Numeric(numeric))));
}

std::optional<std::u16string> PrimitiveText(Interpreter& interp, const Value& v) {
    switch (v.tag) {
        case Tag::Undefined:
        case Tag::Null: return u"undefined";
        case Tag::Boolean: return v.AsBoolean() ? u"true" : u"false";
        case Tag::Integer: return Ascii(std::to_string(v.AsInteger()).c_str());
        case Tag::NaN: return u"NaN";
        case Tag::String: return std::u16string(Text(v.AsString()));
        case Tag::Name: return platform::AnsiToUtf16(interp.Names().Text(v.AsNameId()));
        case Tag::Number: {
            const double d = v.AsNumber();
            if (std::isnan(d)) return u"NaN";
            if (std::isinf(d)) return d > 0 ? u"Infinity" : u"-Infinity";
            char text[32];
            std::snprintf(text, sizeof text, "%g", d);
            return Ascii(text);
        }
        default: return std::nullopt;
    }
}

std::u16string_view TypeOf(const Value& v) {
    switch (v.tag) {
        case Tag::Undefined: return u"undefined";
        case Tag::Null:
        case Tag::Array:
        case Tag::Object:
        case Tag::HostObject: return u"object";
        case Tag::Boolean: return u"boolean";
        case Tag::Integer:
        case Tag::Number:
        case Tag::NaN: return u"number";
        case Tag::String: return u"string";
        case Tag::Function: return u"function";
        default: return u"";
    }
}

namespace {

bool NumericEquals(const Value& a, const Value& b) {
    if (a.Is(Tag::NaN) || b.Is(Tag::NaN)) return false;
    if (a.Is(Tag::Integer) && b.Is(Tag::Integer)) return a.AsInteger() == b.AsInteger();
    const double x = a.Is(Tag::Integer) ? static_cast<double>(a.AsInteger()) : a.AsNumber();
    const double y = b.Is(Tag::Integer) ? static_cast<double>(b.AsInteger()) : b.AsNumber();
    return x == y;
}

bool IsComparablePrimitive(const Value& v) { return v.Is(Tag::String) || v.Is(Tag::Boolean) || v.IsNumeric(); }

}  // namespace

bool StrictEquals(const Value& a, const Value& b) {
    // 1 === 1.0: the integer and the double forms of one number are one value.
    if (a.tag != b.tag)
        return (a.Is(Tag::Integer) || a.Is(Tag::Number)) && (b.Is(Tag::Integer) || b.Is(Tag::Number)) &&
               NumericEquals(a, b);
    switch (a.tag) {
        case Tag::Undefined:
        case Tag::Null:
        case Tag::Reserved8:
        case Tag::Reserved9: return true;
        case Tag::NaN: return false;
        case Tag::Boolean: return a.AsBoolean() == b.AsBoolean();
        case Tag::Integer: return a.AsInteger() == b.AsInteger();
        case Tag::Number: return a.AsNumber() == b.AsNumber();
        case Tag::Name: return a.AsNameId() == b.AsNameId();
        case Tag::String: return SameText(a.AsString(), b.AsString());
        case Tag::HostObject:
            return a.AsHost() == b.AsHost() ||
                   (a.AsHost()->cls == b.AsHost()->cls && a.AsHost()->nativeData == b.AsHost()->nativeData);
        default: return a.payload.p == b.payload.p;  // Array, Object, Function, marks: identity
    }
}

bool LooseEquals(const Value& a, const Value& b) {
    if (a.tag == b.tag) return StrictEquals(a, b);
    const auto nullish = [](const Value& v) { return v.Is(Tag::Undefined) || v.Is(Tag::Null); };
    if (nullish(a) && nullish(b)) return true;
    if (a.IsNumeric() && b.IsNumeric()) return NumericEquals(a, b);
    if (IsComparablePrimitive(a) && IsComparablePrimitive(b))
        return NumericEquals(ToNumberPrimitive(a), ToNumberPrimitive(b));
    return false;
}

std::optional<int> ComparePrimitives(const Value& a, const Value& b) {
    if (a.Is(Tag::String) && b.Is(Tag::String)) return StringCompare(Text(a.AsString()), Text(b.AsString()));
    const Value x = ToNumberPrimitive(a), y = ToNumberPrimitive(b);
    if (x.Is(Tag::NaN) || y.Is(Tag::NaN)) return std::nullopt;
    if (x.Is(Tag::Integer) && y.Is(Tag::Integer))
        return x.AsInteger() < y.AsInteger() ? -1 : (x.AsInteger() > y.AsInteger() ? 1 : 0);
    const double dx = x.Is(Tag::Integer) ? static_cast<double>(x.AsInteger()) : x.AsNumber();
    const double dy = y.Is(Tag::Integer) ? static_cast<double>(y.AsInteger()) : y.AsNumber();
    if (std::isnan(dx) || std::isnan(dy)) return std::nullopt;
    return dx < dy ? -1 : (dx > dy ? 1 : 0);
}

}  // namespace velmo::script

// ---- Conversions of any value ----

namespace velmo::script {

namespace {

bool IsReference(const Value& v) {
    return v.Is(Tag::Array) || v.Is(Tag::Object) || v.Is(Tag::HostObject) || v.Is(Tag::Function);
}

// Calls method `nameId` of an Object through InvokeMethod; the result when it ran.
std::optional<Value> TryObjectMethod(Interpreter& interp, const Value& object, uint32_t nameId) {
    Value args[1] = {Value::Integer(0)};
    if (!InvokeMethod(interp, object, nameId, args)) return std::nullopt;
    return interp.Result();
}

// Asks a host class's CallMethod; the result when it handled the name.
std::optional<Value> TryHostMethod(Interpreter& interp, const Value& host, uint32_t nameId) {
    ClassRecord& cls = *host.AsHost()->cls;
    Value args[1] = {Value::Integer(0)};
    Value result;
    if (!cls.CallMethod || !cls.CallMethod(interp, cls, host.AsHost()->nativeData, nameId, &result, args))
        return std::nullopt;
    return result;
}

Value StaticText(Interpreter& interp, std::u16string_view text) { return StaticStringValue(interp, text); }

}  // namespace

Value ToPrimitive(Interpreter& interp, const Value& v, Hint hint) {
    if (v.IsPrimitive()) return v;
    switch (v.tag) {
        case Tag::Array:
        case Tag::Function: return ToString(interp, v);
        case Tag::Object: {
            if (hint == Hint::String) {
                if (const auto s = TryObjectMethod(interp, v, interp.idToString()); s && s->IsPrimitive()) return *s;
                if (const auto n = TryObjectMethod(interp, v, interp.idValueOf()); n && n->IsPrimitive()) return *n;
                RaiseError(interp, Msg::CantConvertToPrimitive);
            }
            if (const auto n = TryObjectMethod(interp, v, interp.idValueOf()); n && n->IsPrimitive()) return *n;
            return ToString(interp, v);
        }
        case Tag::HostObject: {
            if (!v.AsHost()->cls->CallMethod) RaiseError(interp, Msg::CantConvertToPrimitive);
            if (hint == Hint::String) {
                if (const auto s = TryHostMethod(interp, v, interp.idToString())) return *s;
                if (const auto n = TryHostMethod(interp, v, interp.idValueOf())) return *n;
                RaiseError(interp, Msg::CantConvertToPrimitive);
            }
            if (const auto n = TryHostMethod(interp, v, interp.idValueOf())) return *n;
            return ToString(interp, v);
        }
        default: RaiseError(interp, Msg::CantConvertToPrimitive);
    }
}

Value ToNumber(Interpreter& interp, const Value& v) {
    if (IsReference(v)) return ToNumberPrimitive(ToPrimitive(interp, v, Hint::Number));
    return ToNumberPrimitive(v);
}

int64_t ToInteger64(Interpreter& interp, const Value& v) { return ToInteger64Numeric(ToNumber(interp, v)); }
int32_t ToInt32(Interpreter& interp, const Value& v) { return ToInt32Numeric(ToNumber(interp, v)); }

Value ToString(Interpreter& interp, const Value& v) {
    switch (v.tag) {
        case Tag::String: return v;
        case Tag::Undefined:
        case Tag::Null: return StaticText(interp, u"undefined");
        case Tag::Object: {
            const auto s = TryObjectMethod(interp, v, interp.idToString());
            return s && s->Is(Tag::String) ? *s : StaticText(interp, u"object");
        }
        case Tag::HostObject: {
            const auto s = TryHostMethod(interp, v, interp.idToString());
            return s && s->Is(Tag::String) ? *s : StaticText(interp, u"object");
        }
        case Tag::Array:
        case Tag::Function:
        case Tag::Boolean:
        case Tag::Integer:
        case Tag::Number:
        case Tag::NaN: {
            // The class's own text when it is registered; the primitive texts otherwise.
            if (ClassRecord* cls = interp.TypeClass(v.tag); cls && cls->CallMethod) {
                Value self = v, result, args[1] = {Value::Integer(0)};
                if (cls->CallMethod(interp, *cls, &self, interp.idToString(), &result, args) && result.Is(Tag::String))
                    return result;
            }
            if (const auto text = PrimitiveText(interp, v)) return StringValue(interp, *text);
            return StaticText(interp, v.Is(Tag::Function) ? u"function" : u"object");
        }
        case Tag::Name: return StringValue(interp, *PrimitiveText(interp, v));
        default: return StaticText(interp, u"unknown");
    }
}

std::u16string_view DecimalText(int64_t v, char16_t (&buffer)[kDecimalUnits]) {
    // The magnitude in unsigned arithmetic, so that the most negative integer has one too.
    uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    size_t start = kDecimalUnits;
    do {
        buffer[--start] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (v < 0) buffer[--start] = u'-';
    return {buffer + start, kDecimalUnits - start};
}

std::u16string ToText(Interpreter& interp, const Value& v) {
    return std::u16string(Text(ToString(interp, v).AsString()));
}

Value ToObject(Interpreter& interp, const Value& v) {
    switch (v.tag) {
        case Tag::String: {
            ClassRecord* cls = interp.TypeClass(Tag::String);
            if (!cls || !cls->Construct) RaiseError(interp, Msg::CantConvertToObject);
            Value args[2] = {Value::Integer(1), v}, result;
            cls->Construct(interp, *cls, args, &result);
            return result;
        }
        case Tag::Boolean:
        case Tag::Integer:
        case Tag::Number:
        case Tag::Array:
        case Tag::Object:
        case Tag::HostObject:
        case Tag::Function:
        case Tag::NaN: return v;
        default: RaiseError(interp, Msg::CantConvertToObject);
    }
}

bool Equals(Interpreter& interp, const Value& a, const Value& b) {
    const auto primitiveKind = [](const Value& v) { return v.Is(Tag::String) || v.Is(Tag::Boolean) || v.IsNumeric(); };
    if (a.Is(Tag::Object) && primitiveKind(b)) return Equals(interp, ToPrimitive(interp, a, Hint::None), b);
    if (b.Is(Tag::Object) && primitiveKind(a)) return Equals(interp, a, ToPrimitive(interp, b, Hint::None));
    return LooseEquals(a, b);
}

std::optional<int> Compare(Interpreter& interp, const Value& a, const Value& b) {
    if (a.Is(Tag::String) && b.Is(Tag::String)) return ComparePrimitives(a, b);
    return ComparePrimitives(ToNumber(interp, a), ToNumber(interp, b));
}

}  // namespace velmo::script
