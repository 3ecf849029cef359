#pragma once
// The typing rules of the arithmetic operators: two Integers stay Integer with wrapping 64-bit
// arithmetic (no overflow check); otherwise both sides go through ToNumber, any NaN gives NaN,
// and any Number makes the result a double. "+" first concatenates when either side is a String.

#include "script/runtime/interpreter.h"

namespace velmo::script {

Value Add(Interpreter& interp, const Value& a, const Value& b);
Value Subtract(Interpreter& interp, const Value& a, const Value& b);
Value Multiply(Interpreter& interp, const Value& a, const Value& b);

}  // namespace velmo::script
