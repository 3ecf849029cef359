#include "script/runtime/arithmetic.h"

#include "script/runtime/convert.h"
#include "script/runtime/strings.h"

namespace velmo::script {

namespace {

// Wrapping 64-bit arithmetic, done in unsigned so that overflow is defined.
int64_t Wrap(uint64_t v) { return static_cast<int64_t>(v); }

double AsDouble(const Value& v) { return v.Is(Tag::Integer) ? static_cast<double>(v.AsInteger()) : v.AsNumber(); }

template <class IntegerOp, class DoubleOp>
Value Numeric(Interpreter& interp, const Value& a, const Value& b, IntegerOp integerOp, DoubleOp doubleOp) {
    if (a.Is(Tag::Integer) && b.Is(Tag::Integer)) return Value::Integer(integerOp(a.AsInteger(), b.AsInteger()));
    const Value x = ToNumber(interp, a), y = ToNumber(interp, b);
    if (x.Is(Tag::NaN) || y.Is(Tag::NaN)) return Value::NaN();
    if (x.Is(Tag::Integer) && y.Is(Tag::Integer)) return Value::Integer(integerOp(x.AsInteger(), y.AsInteger()));
    return Value::Number(doubleOp(AsDouble(x), AsDouble(y)));
}

}  // namespace

Value Add(Interpreter& interp, const Value& a, const Value& b) {
    if (a.Is(Tag::String) || b.Is(Tag::String)) {
        std::u16string text = ToText(interp, a);
        text += ToText(interp, b);
        return StringValue(interp, text);
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

}  // namespace velmo::script
