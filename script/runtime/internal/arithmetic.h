#pragma once
// The typing rules of the arithmetic operators: two Integers stay Integer with wrapping 64-bit
// arithmetic (no overflow check); otherwise both sides go through ToNumber, any NaN gives NaN,
// and any Number makes the result a double. "+" first concatenates when either side is a String.
// A double result that is not a number becomes the NaN value, so that NaN has one form.

#include "script/runtime/internal/interpreter.h"

namespace velmo::script {

// The operands must be rooted (the loop passes its stack cells): converting one side may run
// script code and collect while the other side's string is still to be copied.
Value Add(Interpreter& interp, const Value& a, const Value& b);
Value Subtract(Interpreter& interp, const Value& a, const Value& b);
Value Multiply(Interpreter& interp, const Value& a, const Value& b);
// Always a Number (or NaN): IEEE division of the two doubles.
Value Divide(Interpreter& interp, const Value& a, const Value& b);
// Two Integers: the 64-bit remainder with the sign of the dividend (a zero divisor gives NaN, the
// most negative integer by -1 gives 0). Otherwise C's fmod as a Number: x % +-Infinity is x, an
// infinite dividend or a zero divisor gives NaN.
Value Modulo(Interpreter& interp, const Value& a, const Value& b);
Value Negate(Interpreter& interp, const Value& a);

enum class ShiftKind { Left, Right, RightUnsigned };
// ToInteger64(a) shifted over 64 bits by the low 8 bits of ToInt32(b); 64 or more shifts every bit
// out (an arithmetic right shift leaves the sign).
Value Shift(Interpreter& interp, const Value& a, const Value& b, ShiftKind kind);
enum class BitwiseKind { And, Or, Xor };
Value Bitwise(Interpreter& interp, const Value& a, const Value& b, BitwiseKind kind);

}  // namespace velmo::script
