#pragma once
// Conversions and comparisons of values. The primitive cases are complete here; conversions of
// objects (ToPrimitive through "toString"/"valueOf") go through the class operations and, for
// script functions, through the interpreter's calls.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "script/runtime/interpreter_api.h"

namespace velmo::script {

// The integer reader shared by ToNumber and parseInt: white space, one sign, white space again,
// a radix prefix when the radix is 0 ("0x" → 16, a leading "0" → 8, else 10) or an optional "0x"
// when it is 16, then digits below the radix. A value past 64 bits goes on as a double.
struct IntegerRead {
    enum class Kind { None, Integer, Overflowed } kind = Kind::None;
    int64_t integer = 0;
    double overflowed = 0;
    size_t stop = 0;  // where reading stopped
};
// `radix` is 0 or 2 to 36; any other radix reads nothing.
IntegerRead ReadInteger(std::u16string_view text, int radix);

// The white space the readers skip: ASCII white space and the Unicode space characters.
bool IsWideSpace(char16_t c);

bool ToBoolean(const Value& v);

// Primitive operands only (objects are first made primitive by the caller): Integer, Number or
// NaN. The text of a String is read with the integer reader, re-read as a decimal float when the
// reader stops at '.', 'E', 'e', 'D' or 'd'; trailing garbage after a valid prefix is ignored.
Value ToNumberPrimitive(const Value& v);
Value StringToNumber(std::u16string_view text);

// 64-bit and 32-bit integers of a numeric value (after ToNumber): Integer as is, a double
// truncated toward zero, infinities and NaN 0.
int64_t ToInteger64Numeric(const Value& numeric);
int32_t ToInt32Numeric(const Value& numeric);

// Text of the primitive kinds: "undefined" for Undefined and Null, "true"/"false", decimal
// integers, "%g" for doubles (infinities as "Infinity"/"-Infinity", NaN doubles and the NaN tag
// as "NaN"), the interned text of a Name ("???" when unknown). nullopt for every other tag.
std::optional<std::u16string> PrimitiveText(Interpreter& interp, const Value& v);

// typeof.
std::u16string_view TypeOf(const Value& v);

// Loose equality of two primitives (the caller has replaced objects by their primitives) and of
// two references of the same tag. Two Arrays are equal only when they are the same array.
bool LooseEquals(const Value& a, const Value& b);
// Strict equality: same tag and same value (an Integer and a Number of the same value too);
// references by identity.
bool StrictEquals(const Value& a, const Value& b);

// "<" on primitives: Strings by code units, everything else numerically; NaN makes it false.
// Returns nullopt when either side is NaN (every relation is then false).
std::optional<int> ComparePrimitives(const Value& a, const Value& b);

// ---- Conversions of any value ----
// These may call "toString" and "valueOf" (through InvokeMethod, so a failing method counts as
// absent) and raise "Can't convert to primitive type" or "Can't convert to object".

enum class Hint { None = 0, Number = 3, String = 4 };

Value ToPrimitive(Interpreter& interp, const Value& v, Hint hint);
Value ToNumber(Interpreter& interp, const Value& v);
int64_t ToInteger64(Interpreter& interp, const Value& v);
int32_t ToInt32(Interpreter& interp, const Value& v);
// A String value; objects without a usable "toString" give "object", other tags "unknown".
Value ToString(Interpreter& interp, const Value& v);
std::u16string ToText(Interpreter& interp, const Value& v);
// The decimal digits of `v` (a '-' first when negative), written into `buffer`.
inline constexpr size_t kDecimalUnits = 20;  // "-9223372036854775808"
std::u16string_view DecimalText(int64_t v, char16_t (&buffer)[kDecimalUnits]);
Value ToObject(Interpreter& interp, const Value& v);
// The equality operator: objects against primitives are made primitive first.
bool Equals(Interpreter& interp, const Value& a, const Value& b);
// The relational operators: nullopt when either side is NaN.
std::optional<int> Compare(Interpreter& interp, const Value& a, const Value& b);

}  // namespace velmo::script
