// The Math class: only its class value exists, and it serves no tag. Every method computes in
// double and answers a Number, except where a method's comment says otherwise. The class data
// holds the ids of the method and constant names and the state of the random generator.
#include "script/library/core_classes.h"

#include <chrono>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>

#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

enum class MathKind : uint8_t { Unary, Binary, Round, Pow, Random, Max, Min };

struct MathMethod {
    const char* name;
    MathKind kind;
    double (*unary)(double);
    double (*binary)(double, double);
};

constexpr MathMethod kMethods[] = {
    {"abs", MathKind::Unary, [](double x) { return std::fabs(x); }, nullptr},
    {"acos", MathKind::Unary, [](double x) { return std::acos(x); }, nullptr},
    {"asin", MathKind::Unary, [](double x) { return std::asin(x); }, nullptr},
    {"atan", MathKind::Unary, [](double x) { return std::atan(x); }, nullptr},
    {"atan2", MathKind::Binary, nullptr, [](double y, double x) { return std::atan2(y, x); }},
    {"ceil", MathKind::Unary, [](double x) { return std::ceil(x); }, nullptr},
    {"cos", MathKind::Unary, [](double x) { return std::cos(x); }, nullptr},
    {"exp", MathKind::Unary, [](double x) { return std::exp(x); }, nullptr},
    {"floor", MathKind::Unary, [](double x) { return std::floor(x); }, nullptr},
    {"log", MathKind::Unary, [](double x) { return std::log(x); }, nullptr},
    {"max", MathKind::Max, nullptr, nullptr},
    {"min", MathKind::Min, nullptr, nullptr},
    {"pow", MathKind::Pow, nullptr, [](double x, double y) { return std::pow(x, y); }},
    {"random", MathKind::Random, nullptr, nullptr},
    {"round", MathKind::Round, nullptr, nullptr},
    {"sin", MathKind::Unary, [](double x) { return std::sin(x); }, nullptr},
    {"sqrt", MathKind::Unary, [](double x) { return std::sqrt(x); }, nullptr},
    {"tan", MathKind::Unary, [](double x) { return std::tan(x); }, nullptr},
};
constexpr size_t kMethodCount = std::size(kMethods);

struct MathConstant {
    const char* name;
    double value;
};
constexpr MathConstant kConstants[] = {
    {"E", 2.718281828459045},        {"LN10", 2.302585092994046},   {"LN2", 0.6931471805599453},
    {"LOG10E", 0.4342944819032518},  {"LOG2E", 1.4426950408889634}, {"PI", 3.141592653589793},
    {"SQRT1_2", 0.7071067811865476}, {"SQRT2", 1.4142135623730951},
};
constexpr size_t kConstantCount = std::size(kConstants);

struct MathData {
    uint32_t methodIds[kMethodCount];
    uint32_t constantIds[kConstantCount];
    uint64_t randomState;  // xorshift64*, our own generator; never 0
};

MathData& Data(ClassRecord& cls) { return *static_cast<MathData*>(cls.classData); }
void FreeData(void* classData) { delete static_cast<MathData*>(classData); }

// A double in [0, 1) from the top 53 bits of the generator's next output.
double NextRandom(uint64_t& state) {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<double>((state * 0x2545F4914F6CDD1DULL) >> 11) * 0x1.0p-53;
}

uint64_t TimeSeed() {
    uint64_t z = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    z += 0x9E3779B97F4A7C15ULL;  // one splitmix64 step spreads the clock's low bits over the word
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return z != 0 ? z : 1;
}

// Argument `k` through ToNumber: an Integer or Number cell, or nullopt when it is missing or
// anything else (NaN).
std::optional<Value> NumericArgument(Interpreter& interp, const Value* args, int64_t k) {
    if (k > args[0].AsInteger()) return std::nullopt;
    const Value n = ToNumber(interp, args[k]);
    if (!n.Is(Tag::Integer) && !n.Is(Tag::Number)) return std::nullopt;
    return n;
}

double AsDouble(const Value& numeric) {
    return numeric.Is(Tag::Integer) ? static_cast<double>(numeric.AsInteger()) : numeric.AsNumber();
}

// round: floor(x + 0.5) as an Integer; a result past the 64-bit range (or infinite, or not a
// number) stays the Number it is instead of overflowing the conversion.
Value Round(double x) {
    if (std::isinf(x)) return Value::Number(x);
    const double r = std::floor(x + 0.5);
    if (r >= -9223372036854775808.0 && r < 9223372036854775808.0) return Value::Integer(static_cast<int64_t>(r));
    return Value::Number(r);
}

// pow of two Integers is an Integer when the double result is integral and below 2^53 in
// magnitude, where a double is still exact; a negative exponent thus keeps its fraction.
Value Pow(const Value& x, const Value& y) {
    const double r = std::pow(AsDouble(x), AsDouble(y));
    if (x.Is(Tag::Integer) && y.Is(Tag::Integer) && std::trunc(r) == r && std::fabs(r) < 9007199254740992.0)
        return Value::Integer(static_cast<int64_t>(r));
    return Value::Number(r);
}

// max and min: every argument is converted before any NaN decides; ties keep the first.
Value Extreme(Interpreter& interp, const Value* args, bool isMax) {
    const int64_t count = args[0].AsInteger();
    bool sawNaN = count < 1;
    double best = 0;
    for (int64_t k = 1; k <= count; ++k) {
        const std::optional<Value> n = NumericArgument(interp, args, k);
        const double d = n ? AsDouble(*n) : 0;
        if (!n || std::isnan(d)) sawNaN = true;
        else if (k == 1 || (isMax ? d > best : d < best)) best = d;
    }
    return sawNaN ? Value::NaN() : Value::Number(best);
}

Value Compute(Interpreter& interp, const MathMethod& m, MathData& data, const Value* args) {
    switch (m.kind) {
        case MathKind::Random: return Value::Number(NextRandom(data.randomState));
        case MathKind::Max: return Extreme(interp, args, true);
        case MathKind::Min: return Extreme(interp, args, false);
        default: break;
    }
    const std::optional<Value> x = NumericArgument(interp, args, 1);
    if (m.kind == MathKind::Unary || m.kind == MathKind::Round) {
        if (!x) return Value::NaN();
        return m.kind == MathKind::Round ? Round(AsDouble(*x)) : Value::Number(m.unary(AsDouble(*x)));
    }
    const std::optional<Value> y = NumericArgument(interp, args, 2);
    if (!x || !y) return Value::NaN();
    return m.kind == MathKind::Pow ? Pow(*x, *y) : Value::Number(m.binary(AsDouble(*x), AsDouble(*y)));
}

bool CallMethod(Interpreter& interp, ClassRecord& cls, void*, uint32_t nameId, Value* result, Value* args) {
    if (nameId == kToStringNameId) {
        *result = StaticStringValue(interp, u"[object Math]");
        return true;
    }
    MathData& data = Data(cls);
    for (size_t i = 0; i < kMethodCount; ++i) {
        if (data.methodIds[i] != nameId) continue;
        *result = Compute(interp, kMethods[i], data, args);
        return true;
    }
    return false;
}

// The constants read as Numbers; a write to one of their names is accepted and changes nothing.
bool Property(Interpreter&, ClassRecord& cls, void*, uint32_t nameId, bool isSet, Value* io) {
    const MathData& data = Data(cls);
    for (size_t i = 0; i < kConstantCount; ++i) {
        if (data.constantIds[i] != nameId) continue;
        if (!isSet) *io = Value::Number(kConstants[i].value);
        return true;
    }
    return false;
}

}  // namespace

void RegisterMathClass(Interpreter& interp) {
    auto data = std::make_unique<MathData>();
    for (size_t i = 0; i < kMethodCount; ++i) data->methodIds[i] = Intern(interp, kMethods[i].name);
    for (size_t i = 0; i < kConstantCount; ++i) data->constantIds[i] = Intern(interp, kConstants[i].name);
    data->randomState = TimeSeed();
    ClassRecord* cls = NewClass(interp, "Math");
    cls->CallMethod = &CallMethod;
    cls->Property = &Property;
    cls->classData = data.release();
    cls->FreeClassData = &FreeData;
    PublishClass(interp, "Math", cls);
}

}  // namespace velmo::script::library
