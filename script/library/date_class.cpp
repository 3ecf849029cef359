// The Date class: a host class whose instances carry one double, the time value. The zone offset
// is read from the system once, at registration, and kept for the life of the interpreter.
// Getters answer Integers; for a time value outside the valid range (which the constructor may
// store from a Number as it is) they answer NaN, since such a value has no calendar fields.
#include "script/library/core_classes.h"

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/text.h"
#include "script/library/date_format.h"
#include "script/library/date_parse.h"
#include "script/library/date_time.h"
#include "script/runtime/args.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/member_table.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

enum class Kind {
    Parse,  // Date.parse, on the class only
    Utc,    // Date.UTC, on the class only
    Field,
    WeekDay,
    Milliseconds,
    ShortYear,
    ZoneOffset,
    Time,
    SetField,
    SetTime,
    SetShortYear,
    Text,
    GmtText
};

// One instance method. `field` and `fieldCount` describe the setters: the first field they
// replace and how many arguments they read from there on.
struct MethodSpec {
    const char* name;
    Kind kind;
    bool isUtc;
    DateField field;
    int fieldCount;
};
using F = DateField;
constexpr MethodSpec kMethods[] = {
    {"parse", Kind::Parse, false, F::Year, 0},
    {"UTC", Kind::Utc, true, F::Year, 0},
    {"getFullYear", Kind::Field, false, F::Year, 0},
    {"getUTCFullYear", Kind::Field, true, F::Year, 0},
    {"getMonth", Kind::Field, false, F::Month, 0},
    {"getUTCMonth", Kind::Field, true, F::Month, 0},
    {"getDate", Kind::Field, false, F::Date, 0},
    {"getUTCDate", Kind::Field, true, F::Date, 0},
    {"getHours", Kind::Field, false, F::Hours, 0},
    {"getUTCHours", Kind::Field, true, F::Hours, 0},
    {"getMinutes", Kind::Field, false, F::Minutes, 0},
    {"getUTCMinutes", Kind::Field, true, F::Minutes, 0},
    {"getSeconds", Kind::Field, false, F::Seconds, 0},
    {"getUTCSeconds", Kind::Field, true, F::Seconds, 0},
    {"getDay", Kind::WeekDay, false, F::Year, 0},
    {"getUTCDay", Kind::WeekDay, true, F::Year, 0},
    {"getMilliseconds", Kind::Milliseconds, false, F::Year, 0},
    {"getUTCMilliseconds", Kind::Milliseconds, true, F::Year, 0},
    {"getYear", Kind::ShortYear, false, F::Year, 0},
    {"getTimezoneOffset", Kind::ZoneOffset, false, F::Year, 0},
    {"getTime", Kind::Time, false, F::Year, 0},
    {"valueOf", Kind::Time, false, F::Year, 0},
    {"setFullYear", Kind::SetField, false, F::Year, 3},
    {"setUTCFullYear", Kind::SetField, true, F::Year, 3},
    {"setMonth", Kind::SetField, false, F::Month, 1},
    {"setUTCMonth", Kind::SetField, true, F::Month, 1},
    {"setDate", Kind::SetField, false, F::Date, 1},
    {"setUTCDate", Kind::SetField, true, F::Date, 1},
    {"setHours", Kind::SetField, false, F::Hours, 4},
    {"setUTCHours", Kind::SetField, true, F::Hours, 4},
    {"setMinutes", Kind::SetField, false, F::Minutes, 3},
    {"setUTCMinutes", Kind::SetField, true, F::Minutes, 3},
    {"setSeconds", Kind::SetField, false, F::Seconds, 1},
    {"setUTCSeconds", Kind::SetField, true, F::Seconds, 1},
    {"setMilliseconds", Kind::SetField, false, F::Milliseconds, 1},
    {"setUTCMilliseconds", Kind::SetField, true, F::Milliseconds, 1},
    {"setTime", Kind::SetTime, false, F::Year, 0},
    {"setYear", Kind::SetShortYear, false, F::Year, 0},
    {"toString", Kind::Text, false, F::Year, 0},
    {"toLocaleString", Kind::Text, false, F::Year, 0},
    {"toGMTString", Kind::GmtText, true, F::Year, 0},
};

// Class data: the method names interned at registration and the zone offset read then.
struct DateClassData {
    explicit DateClassData(Interpreter& interp) : members(interp, kMethods) {}
    double zoneOffsetMs = 0;  // UTC - local time
    MemberTable<MethodSpec> members;
};

DateClassData& Data(ClassRecord& cls) { return *static_cast<DateClassData*>(cls.classData); }

// An Integer as it is, a Number rounded down; absent and other arguments give nothing.
std::optional<double> NumericArg(Args args, uint32_t index) {
    const Value* v = args.At(index);
    if (v && v->Is(Tag::Integer)) return static_cast<double>(v->AsInteger());
    if (v && v->Is(Tag::Number)) return std::floor(v->AsNumber());
    return std::nullopt;
}

double CurrentTime() { return static_cast<double>(platform::CurrentTimeMs()); }

// A time value as an Integer, truncated; NaN where no 64-bit integer can hold it.
Value TimeResult(double t) {
    constexpr double kInt64Bound = 9.2e18;
    if (!(std::fabs(t) < kInt64Bound)) return Value::NaN();
    return Value::Integer(static_cast<int64_t>(std::trunc(t)));
}

// A Number as it is, an Integer widened, a String read as a date (the current time when it is
// not one), anything else the current time.
double ToTimeValue(const DateClassData& data, const Value& v) {
    if (v.Is(Tag::Number)) return v.AsNumber();
    if (v.Is(Tag::Integer)) return static_cast<double>(v.AsInteger());
    if (v.Is(Tag::String)) {
        const std::optional<double> t = ParseDateText(platform::Utf16ToAnsi(Text(v.AsString())), data.zoneOffsetMs);
        if (t) return *t;
    }
    return CurrentTime();
}

// Year, month, date, hours, minutes, seconds, ms from the arguments over their defaults, with no
// two-digit-year rule; a time outside the valid range becomes 0.
double MakeFromFields(Args args) {
    CalendarFields fields;
    for (int i = 0; i < kDateFieldCount; ++i)
        if (const std::optional<double> v = NumericArg(args, static_cast<uint32_t>(i) + 1)) fields.field[i] = *v;
    const double t = ComposeTime(fields);
    return IsValidTime(t) ? t : 0;
}

double NewTimeValue(const DateClassData& data, Args args) {
    if (args.Count() == 0) return CurrentTime();
    if (args.Count() == 1) return ToTimeValue(data, args[1]);
    return MakeFromFields(args) + data.zoneOffsetMs;
}

Value NewDate(Interpreter& interp, ClassRecord& cls, double t) {
    auto time = std::make_unique<double>(t);
    const Value date = NewHostValue(interp, &cls, time.get());
    time.release();  // the instance owns it now; FinalizeData frees it
    return date;
}

void Construct(Interpreter& interp, ClassRecord& cls, Value* args, Value* result) {
    *result = NewDate(interp, cls, NewTimeValue(Data(cls), Args(args)));
}

void Call(Interpreter& interp, ClassRecord& cls, void*, Value* result, Value* args) {
    Construct(interp, cls, args, result);
}

void FinalizeData(ClassRecord&, void* nativeData) { delete static_cast<double*>(nativeData); }

void FreeClassData(void* classData) { delete static_cast<DateClassData*>(classData); }

// ---- Getters and setters ----

// The fields of `t` seen in UTC or in local time.
std::optional<CalendarFields> FieldsOf(const DateClassData& data, double t, bool isUtc) {
    return BreakDown(isUtc ? t : t - data.zoneOffsetMs);
}

Value Get(const DateClassData& data, const MethodSpec& m, double t) {
    if (m.kind == Kind::ZoneOffset)
        return Value::Integer(static_cast<int64_t>(std::trunc(data.zoneOffsetMs / kMsPerMinute)));
    if (m.kind == Kind::Time) return TimeResult(t);
    const double viewed = m.isUtc ? t : t - data.zoneOffsetMs;
    const std::optional<CalendarFields> f = BreakDown(viewed);
    if (!f || !IsValidTime(t)) return Value::NaN();
    switch (m.kind) {
        case Kind::WeekDay: return Value::Integer(WeekDay(viewed));
        case Kind::Milliseconds: return Value::Integer(static_cast<int64_t>(FloorMod(std::floor(t), kMsPerSecond)));
        case Kind::ShortYear: {
            const auto year = static_cast<int64_t>((*f)[DateField::Year]);
            return Value::Integer(year >= 1900 && year < 2000 ? year - 1900 : year);
        }
        default: return Value::Integer(static_cast<int64_t>((*f)[m.field]));
    }
}

// Rebuilds the time from `fields` seen in UTC or local time and keeps it when it is valid.
void StoreFields(const DateClassData& data, double& t, const CalendarFields& fields, bool isUtc) {
    const double composed = ComposeTime(fields) + (isUtc ? 0 : data.zoneOffsetMs);
    if (IsValidTime(composed)) t = composed;
}

// The first argument is required; each later one, when absent or not a number, keeps its field.
// A date whose time value is already invalid has no fields to keep and stays as it is.
void SetFields(const DateClassData& data, const MethodSpec& m, double& t, Args args) {
    std::optional<CalendarFields> fields = FieldsOf(data, t, m.isUtc);
    if (!fields || !NumericArg(args, 1)) return;
    const int first = static_cast<int>(m.field);
    for (int i = 0; i < m.fieldCount && first + i < kDateFieldCount; ++i)
        if (const std::optional<double> v = NumericArg(args, static_cast<uint32_t>(i) + 1))
            fields->field[first + i] = *v;
    StoreFields(data, t, *fields, m.isUtc);
}

void SetShortYear(const DateClassData& data, double& t, Args args) {
    std::optional<double> year = NumericArg(args, 1);
    std::optional<CalendarFields> fields = FieldsOf(data, t, false);
    if (!fields || !year) return;
    (*fields)[DateField::Year] = (*year >= 0 && *year < 100) ? *year + 1900 : *year;
    StoreFields(data, t, *fields, false);
}

Value Set(const DateClassData& data, const MethodSpec& m, double& t, Args args) {
    if (m.kind == Kind::SetTime) {
        const Value* v = args.At(1);
        if (v && v->Is(Tag::Integer) && IsValidTime(static_cast<double>(v->AsInteger())))
            t = static_cast<double>(v->AsInteger());
        if (v && v->Is(Tag::Number) && IsValidTime(v->AsNumber())) t = v->AsNumber();
    } else if (m.kind == Kind::SetShortYear) {
        SetShortYear(data, t, args);
    } else {
        SetFields(data, m, t, args);
    }
    return TimeResult(t);
}

// ---- Method dispatch ----

bool ClassMethod(Interpreter& interp, const DateClassData& data, uint32_t nameId, Value* result, Args args) {
    const MethodSpec* m = data.members.Find(nameId);
    if (m && m->kind == Kind::Parse) {
        *result = args.Count() == 0 ? Value::Integer(0) : TimeResult(ToTimeValue(data, args[1]));
    } else if (m && m->kind == Kind::Utc) {
        *result = TimeResult(MakeFromFields(args));
    } else if (nameId == kToStringNameId) {
        *result = StaticStringValue(interp, u"[object Date]");
    } else {
        return false;
    }
    return true;
}

// An instance method: the class-only entries are not methods of a date.
const MethodSpec* FindMethod(const DateClassData& data, uint32_t nameId) {
    const MethodSpec* m = data.members.Find(nameId);
    return m && m->kind != Kind::Parse && m->kind != Kind::Utc ? m : nullptr;
}

bool CallMethod(Interpreter& interp, ClassRecord& cls, void* self, uint32_t nameId, Value* result, Value* args) {
    const DateClassData& data = Data(cls);
    if (!self) return ClassMethod(interp, data, nameId, result, Args(args));
    double& t = *static_cast<double*>(self);
    const MethodSpec* m = FindMethod(data, nameId);
    if (!m) return false;
    switch (m->kind) {
        case Kind::Text: *result = StringValue(interp, LocalDateText(t, data.zoneOffsetMs)); break;
        case Kind::GmtText: *result = StringValue(interp, GmtDateText(t)); break;
        case Kind::SetField:
        case Kind::SetTime:
        case Kind::SetShortYear: *result = Set(data, *m, t, Args(args)); break;
        default: *result = Get(data, *m, t); break;
    }
    return true;
}

}  // namespace

void RegisterDateClass(Interpreter& interp) {
    auto data = std::make_unique<DateClassData>(interp);
    data->zoneOffsetMs = static_cast<double>(platform::ZoneBiasMinutes()) * kMsPerMinute;
    ClassRecord* cls = NewClass(interp, "Date");
    cls->Call = &Call;
    cls->Construct = &Construct;
    cls->CallMethod = &CallMethod;
    cls->FinalizeData = &FinalizeData;
    cls->classData = data.release();
    cls->FreeClassData = &FreeClassData;
    PublishClass(interp, "Date", cls);
}

}  // namespace velmo::script::library
