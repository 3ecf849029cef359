#include "script/runtime/internal/arithmetic.h"

#include "script/runtime/convert.h"
#include "script/runtime/strings.h"

#include <cmath>

namespace velmo::script {

namespace {

// Wrapping 64-bit arithmetic, done in unsigned so that overflow is defined.
int64_t Wrap(uint64_t v) { return static_cast<int64_t>(v); }

double AsDouble(const Value& v) { return v.Is(Tag::Integer) ? static_cast<double>(v.AsInteger()) : v.AsNumber(); }

Value NumberOrNaN(double d) { return std::isnan(d) ? Value::NaN() : Value::Number(d); }

template <class IntegerOp, class DoubleOp>
Value Numeric(Interpreter& interp, const Value& a, const Value& b, IntegerOp integerOp, DoubleOp doubleOp) {
    if (a.Is(Tag::Integer) && b.Is(Tag::Integer)) return Value::Integer(integerOp(a.AsInteger(), b.AsInteger()));
    const Value x = ToNumber(interp, a), y = ToNumber(interp, b);
    if (x.Is(Tag::NaN) || y.Is(Tag::NaN)) return Value::NaN();
    if (x.Is(Tag::Integer) && y.Is(Tag::Integer)) return Value::Integer(integerOp(x.AsInteger(), y.AsInteger()));
    return NumberOrNaN(doubleOp(AsDouble(x), AsDouble(y)));
}

}  // namespace

Value Add(Interpreter& interp, const Value& a, const Value& b) {
    // Each side is copied once: strings built up in a loop copy their text at every step, so
    // that copy is all a concatenation should cost. The other side's text comes first, since
    // converting it may run script code; the string records stay where the caller keeps them.
    // Nothing collects between the conversion and the copy, so the converted record is read in
    // place. Integers, the commonest other side, are written straight into the copy when their
    // text is known to be their decimal digits.
    if (a.Is(Tag::String) && b.Is(Tag::String))
        return Value::String(NewStringConcat(interp, Text(a.AsString()), Text(b.AsString())));
    char16_t digits[kDecimalUnits];
    if (a.Is(Tag::String) && b.Is(Tag::Integer) && interp.DecimalIntegers())
        return Value::String(NewStringConcat(interp, Text(a.AsString()), DecimalText(b.AsInteger(), digits)));
    if (b.Is(Tag::String) && a.Is(Tag::Integer) && interp.DecimalIntegers())
        return Value::String(NewStringConcat(interp, DecimalText(a.AsInteger(), digits), Text(b.AsString())));
    if (a.Is(Tag::String)) {
        const Value right = ToString(interp, b);
        return Value::String(NewStringConcat(interp, Text(a.AsString()), Text(right.AsString())));
    }
    if (b.Is(Tag::String)) {
        const Value left = ToString(interp, a);
        return Value::String(NewStringConcat(interp, Text(left.AsString()), Text(b.AsString())));
    }
    return Numeric(
        interp, a, b, [](int64_t x, int64_t y) { return Wrap(static_cast<uint64_t>(x) + static_cast<uint64_t>(y)); },
        [](double x, double y) { return x + y; });
}

Value Subtract(Interpreter& interp, const Value& a, const Value& b) {
    return Numeric(
        interp, a, b, [](int64_t x, int64_t y) { return Wrap(static_cast<uint64_t>(x) - static_cast<uint64_t>(y)); },
        [](double x, double y) { return x - y; });
}

Value Multiply(Interpreter& interp, const Value& a, const Value& b) {
    return Numeric(
        interp, a, b, [](int64_t x, int64_t y) { return Wrap(static_cast<uint64_t>(x) * static_cast<uint64_t>(y)); },
        [](double x, double y) { return x * y; });
}

Value Divide(Interpreter& interp, const Value& a, const Value& b) {
    const Value x = ToNumber(interp, a), y = ToNumber(interp, b);
    if (x.Is(Tag::NaN) || y.Is(Tag::NaN)) return Value::NaN();
    return NumberOrNaN(AsDouble(x) / AsDouble(y));
}

Value Modulo(Interpreter& interp, const Value& a, const Value& b) {
    const Value x = ToNumber(interp, a), y = ToNumber(interp, b);
    if (x.Is(Tag::NaN) || y.Is(Tag::NaN)) return Value::NaN();
    if (x.Is(Tag::Integer) && y.Is(Tag::Integer)) {
        const int64_t dividend = x.AsInteger(), divisor = y.AsInteger();
        if (divisor == 0) return Value::NaN();
        if (divisor == -1) return Value::Integer(0);  // also where the hardware would trap
        return Value::Integer(dividend % divisor);
    }
    return NumberOrNaN(std::fmod(AsDouble(x), AsDouble(y)));
}

Value Negate(Interpreter& interp, const Value& a) {
    const Value x = ToNumber(interp, a);
    if (x.Is(Tag::Integer)) return Value::Integer(Wrap(0 - static_cast<uint64_t>(x.AsInteger())));
    if (x.Is(Tag::Number)) return Value::Number(-x.AsNumber());
    return x;
}

Value Shift(Interpreter& interp, const Value& a, const Value& b, ShiftKind kind) {
    const int64_t value = ToInteger64(interp, a);
    const unsigned count = static_cast<unsigned>(ToInt32(interp, b)) & 0xFF;
    const auto bits = static_cast<uint64_t>(value);
    switch (kind) {
        case ShiftKind::Left: return Value::Integer(count >= 64 ? 0 : Wrap(bits << count));
        case ShiftKind::RightUnsigned: return Value::Integer(count >= 64 ? 0 : Wrap(bits >> count));
        case ShiftKind::Right: return Value::Integer(count >= 64 ? (value < 0 ? -1 : 0) : value >> count);
    }
    return Value::Integer(0);
}

Value Bitwise(Interpreter& interp, const Value& a, const Value& b, BitwiseKind kind) {
    const int64_t x = ToInteger64(interp, a), y = ToInteger64(interp, b);
    switch (kind) {
        case BitwiseKind::And: return Value::Integer(x & y);
        case BitwiseKind::Or: return Value::Integer(x | y);
        case BitwiseKind::Xor: return Value::Integer(x ^ y);
    }
    return Value::Integer(0);
}

}  // namespace velmo::script
