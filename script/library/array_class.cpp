// The Array class: construction, "length" and the methods of arrays. Elements live in the runtime's
// element stores (arrays.h), and every method walks the elements that exist rather than the
// indices up to the length, which may be far larger. New arrays are filled in the bucket order of
// their source, since that order decides theirs. The sort lives in array_sort.cpp.
#include "script/library/core_classes.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "script/library/array_sort.h"
#include "script/runtime/args.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/member_table.h"
#include "script/runtime/arrays.h"
#include "script/runtime/convert.h"
#include "script/runtime/errors.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

// A joined text longer than this is refused as out of memory rather than built.
constexpr uint64_t kMaxJoinUnits = uint64_t{1} << 28;
// Arrays nested deeper than this inside a text being built raise "stack overflow": each level
// is a native call of its own (join, ToString, join ...), and ten thousand levels overflowed the
// native stack.
constexpr size_t kMaxJoinDepth = 256;
// "push" stops before the length would pass this.
constexpr uint64_t kMaxPushLength = 0xFFFFFFFF;

// The length as a signed count, for the arithmetic of "slice" and "splice".
int64_t SignedLength(const ArrayRecord* array) {
    return array->length > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(array->length);
}

// A negative position counts from the end; still negative gives `floor`.
int64_t FromEnd(int64_t position, int64_t length, int64_t floor) {
    if (position >= 0) return position;
    position += length;
    return position < 0 ? floor : position;
}

// ---- Construction ----

// One Integer argument is a length (a negative one gives an empty array, never one of nearly 2^64
// holes); otherwise the arguments are the elements. An array literal passes its count negated, so
// that its single Integer element is not read as a length.
Value MakeArray(Interpreter& interp, const Value* args) {
    const int64_t count = args[0].AsInteger();
    ArrayRecord* array = nullptr;
    if (count == 1 && args[1].Is(Tag::Integer)) {
        array = NewArray(interp, args[1].AsInteger() > 0 ? static_cast<uint64_t>(args[1].AsInteger()) : 0);
    } else {
        const uint64_t elements = count < 0 ? static_cast<uint64_t>(-count) : static_cast<uint64_t>(count);
        array = NewArray(interp, elements);
        for (uint64_t i = 0; i < elements; ++i) PutElement(interp, array, args[i + 1], i);
    }
    const Value made = Value::Array(array);
    OwnProperties(interp, made, true);
    return made;
}

void Call(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) { *result = MakeArray(interp, args); }
void Construct(Interpreter& interp, ClassRecord&, Value* args, Value* result) { *result = MakeArray(interp, args); }

// ---- join ----

// Arrays whose text is being built: an array met again inside its own text (it holds itself,
// directly or deeper) contributes nothing, instead of recursing until the stack runs out.
std::vector<const ArrayRecord*>& Joining() {
    static std::vector<const ArrayRecord*> joining;
    return joining;
}

class JoinGuard {
public:
    explicit JoinGuard(const ArrayRecord* array) { Joining().push_back(array); }
    ~JoinGuard() { Joining().pop_back(); }
    JoinGuard(const JoinGuard&) = delete;
    JoinGuard& operator=(const JoinGuard&) = delete;
};

void AppendSeparators(std::u16string& text, std::u16string_view separator, uint64_t count) {
    if (separator.empty()) return;
    if (count > kMaxJoinUnits / separator.size() || text.size() + count * separator.size() > kMaxJoinUnits)
        throw std::bad_alloc();
    for (uint64_t i = 0; i < count; ++i) text.append(separator);
}

// Element i's text at position i, `separator` between positions; missing elements give nothing.
// Only existing elements are visited, in index order, each read again just before its turn since
// a toString may change the array meanwhile; the length is the one at the start.
Value Join(Interpreter& interp, const Value& receiver, std::u16string_view separator) {
    const ArrayRecord* record = receiver.AsArray();
    const uint64_t length = record->length;
    if (length == 0 || std::find(Joining().begin(), Joining().end(), record) != Joining().end())
        return StaticStringValue(interp, u"");
    if (Joining().size() >= kMaxJoinDepth) RaiseError(interp, Msg::StackOverflow);
    const JoinGuard guard(record);
    const Pinned array(interp, receiver);
    const std::vector<uint64_t> indices = ElementIndicesBelow(receiver.AsArray(), length);
    std::u16string text;
    uint64_t separators = 0;
    for (const uint64_t index : indices) {
        AppendSeparators(text, separator, index - separators);
        separators = index;
        const Value* cell = GetElement(array.Get().AsArray(), index);
        if (!cell) continue;
        const Value element = *cell;
        text += ToText(interp, element);
        if (text.size() > kMaxJoinUnits) throw std::bad_alloc();
    }
    AppendSeparators(text, separator, length - 1 - separators);
    return StringValue(interp, text);
}

Value JoinMethod(Interpreter& interp, const Value& receiver, Args args) {
    if (args.Count() == 0) return Join(interp, receiver, u",");
    std::u16string separator = ToText(interp, args[1]);
    separator.resize(std::min(separator.size(), separator.find(u'\0')));
    return Join(interp, receiver, separator);
}

// ---- Methods that change or copy elements ----

// Adds the elements of `from` below its length to `items`, shifted by `offset`.
void AddElements(std::vector<IndexedValue>& items, const ArrayRecord* from, uint64_t offset) {
    for (IndexedValue& element : ListElementsIn(from, 0, from->length)) {
        element.index += offset;
        items.push_back(element);
    }
}

// An argument that would carry the length past 2^64 - 1 ends the concatenation: it and the
// arguments after it are left out, so no index wraps around onto another element.
Value Concat(Interpreter& interp, const Value& receiver, Args args) {
    std::vector<IndexedValue> items;
    AddElements(items, receiver.AsArray(), 0);
    uint64_t length = receiver.AsArray()->length;
    for (uint64_t n = 1; n <= args.Count(); ++n) {
        const uint64_t adds = args[n].Is(Tag::Array) ? args[n].AsArray()->length : 1;
        if (adds > UINT64_MAX - length) break;
        if (args[n].Is(Tag::Array)) AddElements(items, args[n].AsArray(), length);
        else items.push_back({length, args[n]});
        length += adds;
    }
    ArrayRecord* result = NewArray(interp, length);
    PutElements(interp, result, items);
    return Value::Array(result);
}

// Takes the element at `index` out of the array; Undefined when there is none.
Value TakeElement(Interpreter& interp, ArrayRecord* array, uint64_t index) {
    const Value* cell = GetElement(array, index);
    const Value taken = cell ? *cell : Value::Undefined();
    RemoveElement(interp, array, index);
    return taken;
}

Value Pop(Interpreter& interp, const Value& receiver, Args) {
    ArrayRecord* array = receiver.AsArray();
    if (array->length == 0) return Value::Undefined();
    const Value taken = TakeElement(interp, array, array->length - 1);
    --array->length;
    return taken;
}

Value Push(Interpreter& interp, const Value& receiver, Args args) {
    ArrayRecord* array = receiver.AsArray();
    for (uint64_t n = 1; n <= args.Count() && array->length < kMaxPushLength; ++n) {
        PutElement(interp, array, args[n], array->length);
        ++array->length;
    }
    return Value::Integer(static_cast<int64_t>(array->length));
}

Value Reverse(Interpreter& interp, const Value& receiver, Args) {
    ReverseIndices(interp, receiver.AsArray());
    return Value::Undefined();
}

Value Shift(Interpreter& interp, const Value& receiver, Args) {
    ArrayRecord* array = receiver.AsArray();
    if (array->length == 0) return Value::Undefined();
    const Value taken = TakeElement(interp, array, 0);
    ShiftIndices(interp, array, -1);
    return taken;
}

Value Slice(Interpreter& interp, const Value& receiver, Args args) {
    ArrayRecord* array = receiver.AsArray();
    const int64_t length = SignedLength(array);
    int64_t begin = FromEnd(args.Integer(1).value_or(0), length, 0);
    int64_t end = args.Integer(2).value_or(length);
    end = FromEnd(end, length, begin);
    if (end < begin) std::swap(begin, end);
    const auto from = static_cast<uint64_t>(begin);
    std::vector<IndexedValue> items = ListElementsIn(array, from, static_cast<uint64_t>(end));
    for (IndexedValue& item : items) item.index -= from;
    ArrayRecord* result = NewArray(interp, static_cast<uint64_t>(end - begin));
    PutElements(interp, result, items);
    return Value::Array(result);
}

// The start is also kept at most at the length: new items stored past the end would lie beyond
// the length, out of every reader's reach. A second argument that is not an Integer removes
// nothing, since a count that cannot be read should not empty the array.
Value Splice(Interpreter& interp, const Value& receiver, Args args) {
    ArrayRecord* array = receiver.AsArray();
    const int64_t length = SignedLength(array);
    const int64_t start = std::min(FromEnd(args.Integer(1).value_or(0), length, 0), length);
    int64_t count = length - start;
    if (args.Count() >= 2) count = std::clamp<int64_t>(args.Integer(2).value_or(0), 0, length - start);
    const uint64_t items = args.Count() > 2 ? args.Count() - 2 : 0;
    const auto from = static_cast<uint64_t>(start), removed = static_cast<uint64_t>(count);

    ArrayRecord* result = NewArray(interp, removed);
    std::vector<IndexedValue> taken = ListElementsIn(array, from, from + removed);
    for (IndexedValue& element : taken) {
        RemoveElement(interp, array, element.index);
        element.index -= from;
    }
    PutElements(interp, result, taken);
    MoveIndicesFrom(interp, array, from + removed, static_cast<int64_t>(items) - count);
    for (uint64_t i = 0; i < items; ++i) PutElement(interp, array, args[i + 3], from + i);
    array->length = array->length - removed + items;
    return Value::Array(result);
}

Value Sort(Interpreter& interp, const Value& receiver, Args args) {
    SortArray(interp, receiver, args.Count() >= 1 ? &args[1] : nullptr);
    return Value::Undefined();
}

// The last argument lands at index 0 and the first at index k - 1.
Value Unshift(Interpreter& interp, const Value& receiver, Args args) {
    ArrayRecord* array = receiver.AsArray();
    const uint64_t k = args.Count();
    ShiftIndices(interp, array, static_cast<int64_t>(k));
    for (uint64_t n = 1; n <= k; ++n) PutElement(interp, array, args[n], k - n);
    return Value::Integer(static_cast<int64_t>(array->length));
}

// ---- The class ----

using Method = Value (*)(Interpreter&, const Value& receiver, Args args);
struct MethodEntry {
    const char* name;
    Method method;  // null for "length", which is a property
};
constexpr MethodEntry kMembers[] = {
    {"concat", &Concat},   {"join", &JoinMethod}, {"pop", &Pop},       {"push", &Push},
    {"reverse", &Reverse}, {"shift", &Shift},     {"slice", &Slice},   {"splice", &Splice},
    {"sort", &Sort},       {"unshift", &Unshift}, {"length", nullptr},
};

using Members = MemberTable<MethodEntry>;
const Members& ClassMembers(const ClassRecord& cls) { return *static_cast<const Members*>(cls.classData); }
void FreeMembers(void* classData) { delete static_cast<Members*>(classData); }

bool CallMethod(Interpreter& interp, ClassRecord& cls, void* self, uint32_t nameId, Value* result, Value* args) {
    const Value* receiver = static_cast<const Value*>(self);
    if (!receiver || !receiver->Is(Tag::Array)) {
        if (receiver || nameId != kToStringNameId) return false;
        *result = StaticStringValue(interp, u"[object Array]");
        return true;
    }
    const Value array = *receiver;
    if (nameId == kToStringNameId) {
        *result = Join(interp, array, u",");
        return true;
    }
    const MethodEntry* entry = ClassMembers(cls).Find(nameId);
    if (!entry || !entry->method) return false;
    *result = entry->method(interp, array, Args(args));
    return true;
}

// Writes take an Integer, or a Number truncated, when not negative; any other value (a negative
// count, NaN, a double too large for a length) is accepted and changes nothing.
void WriteLength(Interpreter& interp, ArrayRecord* array, const Value& value) {
    if (value.Is(Tag::Integer) && value.AsInteger() >= 0) {
        SetLength(interp, array, static_cast<uint64_t>(value.AsInteger()));
    } else if (value.Is(Tag::Number) && value.AsNumber() >= 0 && value.AsNumber() < 18446744073709551616.0) {
        SetLength(interp, array, static_cast<uint64_t>(std::trunc(value.AsNumber())));
    }
}

bool Property(Interpreter& interp, ClassRecord& cls, void* self, uint32_t nameId, bool isSet, Value* io) {
    const MethodEntry* entry = ClassMembers(cls).Find(nameId);
    if (!entry || entry->method) return false;
    const Value* receiver = static_cast<const Value*>(self);
    if (!receiver) {
        if (!isSet) *io = Value::Integer(1);
        return true;
    }
    if (!receiver->Is(Tag::Array)) return false;
    ArrayRecord* array = receiver->AsArray();
    if (isSet) WriteLength(interp, array, *io);
    else *io = Value::Integer(static_cast<int64_t>(array->length));
    return true;
}

}  // namespace

void RegisterArrayClass(Interpreter& interp) {
    ClassRecord* cls = NewClass(interp, "Array");
    cls->classData = new Members(interp, kMembers);
    cls->FreeClassData = &FreeMembers;
    cls->Call = &Call;
    cls->Construct = &Construct;
    cls->CallMethod = &CallMethod;
    cls->Property = &Property;
    PublishClass(interp, "Array", cls);
    SetTypeClass(interp, Tag::Array, cls);
}

}  // namespace velmo::script::library
