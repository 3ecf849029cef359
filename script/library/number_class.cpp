// The Number class: the class of the Integer, Number and NaN tags. Its operations receive `self`
// as a pointer to the receiver's cell, or null on the class value. The class data holds the ids
// of the names only this class answers to, interned once at registration.
#include "script/library/core_classes.h"

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "script/library/number_format.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

struct NumberIds {
    uint32_t maxValue, minValue, nan, negativeInfinity, positiveInfinity, format, toInteger;
};

const NumberIds& Ids(const ClassRecord& cls) { return *static_cast<const NumberIds*>(cls.classData); }
void FreeIds(void* classData) { delete static_cast<NumberIds*>(classData); }

int64_t ArgCount(const Value* args) { return args[0].AsInteger(); }

std::optional<Value> Constant(const NumberIds& ids, uint32_t nameId) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    if (nameId == ids.maxValue) return Value::Number(1.7976931348623157e308);
    // The smallest normal double, not the smallest denormal.
    if (nameId == ids.minValue) return Value::Number(2.2250738585072014e-308);
    if (nameId == ids.nan) return Value::NaN();
    if (nameId == ids.negativeInfinity) return Value::Number(-kInfinity);
    if (nameId == ids.positiveInfinity) return Value::Number(kInfinity);
    return std::nullopt;
}

// The constants read as values; a write to one of their names is accepted and changes nothing.
bool Property(Interpreter&, ClassRecord& cls, void*, uint32_t nameId, bool isSet, Value* io) {
    const std::optional<Value> constant = Constant(Ids(cls), nameId);
    if (!constant) return false;
    if (!isSet) *io = *constant;
    return true;
}

std::u16string IntegerText(int64_t value, int radix) {
    constexpr char16_t kDigits[] = u"0123456789abcdefghijklmnopqrstuvwxyz";
    // The magnitude in unsigned arithmetic, so that the most negative integer has one too.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::u16string digits;
    do {
        digits.insert(digits.begin(), kDigits[magnitude % static_cast<uint64_t>(radix)]);
        magnitude /= static_cast<uint64_t>(radix);
    } while (magnitude != 0);
    return value < 0 ? u"-" + digits : digits;
}

// A radix outside 2 to 36 has no digits to write with; such a radix writes decimal.
int RadixArgument(const Value* args) {
    if (ArgCount(args) < 1 || !args[1].Is(Tag::Integer)) return 10;
    const int64_t radix = args[1].AsInteger();
    return radix >= 2 && radix <= 36 ? static_cast<int>(radix) : 10;
}

// Integers in `radix`; doubles with "%g" whatever the radix; NaN as "NaN".
std::u16string NumberText(Interpreter& interp, const Value& receiver, int radix) {
    if (receiver.Is(Tag::Integer)) return IntegerText(receiver.AsInteger(), radix);
    if (std::optional<std::u16string> text = PrimitiveText(interp, receiver)) return *text;
    return u"NaN";
}

// format(pattern): anything but a String pattern answers as toString does (so an Integer argument
// is a radix there).
Value Format(Interpreter& interp, const Value& receiver, const Value* args) {
    if (ArgCount(args) < 1 || !args[1].Is(Tag::String))
        return StringValue(interp, NumberText(interp, receiver, RadixArgument(args)));
    if (!receiver.Is(Tag::Integer) && !receiver.Is(Tag::Number)) return StaticStringValue(interp, u"NaN");
    FormatReceiver r;
    r.isInteger = receiver.Is(Tag::Integer);
    r.integer = ToInteger64Numeric(receiver);
    r.number = r.isInteger ? static_cast<double>(r.integer) : receiver.AsNumber();
    r.text = NumberText(interp, receiver, 10);
    return StringValue(interp, FormatWithPattern(ParseFormatPattern(Text(args[1].AsString())), r));
}

// A double past the 64-bit range (or infinite) has no Integer form: it stays a Number rather than
// overflowing the conversion.
Value ToIntegerValue(const Value& receiver) {
    if (receiver.Is(Tag::Integer)) return receiver;
    if (!receiver.Is(Tag::Number) || std::isnan(receiver.AsNumber())) return Value::NaN();
    const double truncated = std::trunc(receiver.AsNumber());
    if (truncated >= -9223372036854775808.0 && truncated < 9223372036854775808.0)
        return Value::Integer(static_cast<int64_t>(truncated));
    return Value::Number(truncated);
}

// "format" needs a receiver: on the class value it is not handled.
bool CallMethod(Interpreter& interp, ClassRecord& cls, void* self, uint32_t nameId, Value* result, Value* args) {
    const Value* receiver = static_cast<const Value*>(self);
    const NumberIds& ids = Ids(cls);
    if (nameId == kToStringNameId) {
        *result = receiver ? StringValue(interp, NumberText(interp, *receiver, RadixArgument(args)))
                           : StaticStringValue(interp, u"[type Function]");
    } else if (nameId == ids.format && receiver) {
        *result = Format(interp, *receiver, args);
    } else if (nameId == ids.toInteger) {
        *result = receiver ? ToIntegerValue(*receiver) : Value::NaN();
    } else if (nameId == kValueOfNameId) {
        *result = receiver ? *receiver : GlobalByName(interp, "Number");
    } else {
        return false;
    }
    return true;
}

Value MakeNumber(Interpreter& interp, const Value* args) {
    return ArgCount(args) < 1 ? Value::Integer(0) : ToNumber(interp, args[1]);
}

void Call(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) { *result = MakeNumber(interp, args); }
void Construct(Interpreter& interp, ClassRecord&, Value* args, Value* result) { *result = MakeNumber(interp, args); }

}  // namespace

void RegisterNumberClass(Interpreter& interp) {
    auto ids = std::make_unique<NumberIds>(NumberIds{Intern(interp, "MAX_VALUE"), Intern(interp, "MIN_VALUE"),
                                                     Intern(interp, "NaN"), Intern(interp, "NEGATIVE_INFINITY"),
                                                     Intern(interp, "POSITIVE_INFINITY"), Intern(interp, "format"),
                                                     Intern(interp, "toInteger")});
    ClassRecord* cls = NewClass(interp, "Number");
    cls->Call = &Call;
    cls->Construct = &Construct;
    cls->CallMethod = &CallMethod;
    cls->Property = &Property;
    cls->classData = ids.release();
    cls->FreeClassData = &FreeIds;
    PublishClass(interp, "Number", cls);
    for (const Tag tag : {Tag::Integer, Tag::Number, Tag::NaN}) SetTypeClass(interp, tag, cls);
    DeclareDecimalIntegers(interp);  // NumberText: IntegerText in radix 10
}

}  // namespace velmo::script::library
