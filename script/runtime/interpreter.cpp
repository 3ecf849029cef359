#include "script/runtime/internal/interpreter.h"

#include <algorithm>

#include "script/runtime/arrays.h"
#include "script/runtime/errors.h"
#include "script/runtime/objects.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script {

Interpreter::Interpreter(size_t stackCells) : stack_(stackCells), sp_(stackCells) {
    heap_.SetLateFinalizer(ClassRecordFinalizer());
    for (const char* name : {"__proto__", "prototype", "toSource", "toString", "valueOf"}) Intern(name);
}

Interpreter::~Interpreter() {
    // A last sweep with nothing marked finalizes every record, so host objects release their
    // native resources and classes their data (the heap then frees its chunks). Pins are ours.
    heap_.Sweep();
    for (PinRecord* pin = firstPin_; pin;) {
        PinRecord* next = pin->next;
        delete pin;
        pin = next;
    }
}

uint32_t Interpreter::Intern(std::string_view name) { return names_.Intern(name); }

Value& Interpreter::Global(uint32_t nameId) {
    while (nameId >= globals_.size()) {
        const size_t first = globals_.size();
        globals_.resize(first + kGlobalGrowth);
        for (size_t id = first; id < globals_.size(); ++id)
            globals_[id].payload.p = const_cast<NameEntry*>(names_.Entry(static_cast<uint32_t>(id)));
    }
    Value& slot = globals_[nameId];
    // Slots made before their name was interned learn their entry on first use.
    if (slot.tag == Tag::Undefined && !slot.payload.p) slot.payload.p = const_cast<NameEntry*>(names_.Entry(nameId));
    return slot;
}

ClassRecord* Interpreter::TypeClass(Tag tag) const {
    const auto index = static_cast<uint32_t>(tag);
    return index < kTypeClassCount ? typeClasses_[index] : nullptr;
}

void Interpreter::SetTypeClass(Tag tag, ClassRecord* cls) {
    const auto index = static_cast<uint32_t>(tag);
    VELMO_CHECK(index < kTypeClassCount);
    typeClasses_[index] = cls;
    if (tag == Tag::Integer) decimalIntegers_ = cls == nullptr;
}

PinRecord* Interpreter::Pin(Value value) {
    auto* pin = new PinRecord{value, kPinMarker, nullptr, lastPin_, nullptr};
    pin->self = pin;
    (lastPin_ ? lastPin_->next : firstPin_) = pin;
    lastPin_ = pin;
    return pin;
}

void Interpreter::Unpin(PinRecord* pin) {
    VELMO_CHECK(pin && pin->marker == kPinMarker && pin->self == pin);
    (pin->previous ? pin->previous->next : firstPin_) = pin->next;
    (pin->next ? pin->next->previous : lastPin_) = pin->previous;
    pin->marker = 0;
    delete pin;
}

void Interpreter::SetErrorText(std::string_view text) {
    // Every protected call (each comparator call of a sort, say) starts by clearing the text;
    // most often there is nothing to clear.
    if (text.empty() && errorText_.empty() && errorReport_.kind == ErrorKind::None && errorReport_.message.empty() &&
        errorReport_.calls.empty() && errorReport_.omittedCalls == 0)
        return;
    errorText_.assign(text.substr(0, kMaxErrorTextBytes));
    errorReport_.kind = errorText_.empty() ? ErrorKind::None : ErrorKind::Other;
    errorReport_.message = errorText_;
    errorReport_.calls.clear();
    errorReport_.omittedCalls = 0;
}

void Interpreter::SetErrorTextWhole(std::string_view text) {
    SetErrorText({});
    errorText_.assign(text);
    errorReport_.kind = errorText_.empty() ? ErrorKind::None : ErrorKind::Other;
    errorReport_.message = errorText_;
}

void Interpreter::MaybeCollect() {
    if (heap_.ShouldCollect()) Collect();
}

// ---- Marking ----
// MarkValue marks a record and queues it; the drain scans queued records for what they reach. Every
// record is queued once (Heap::Mark answers whether it was new) and nothing recurses, so deep
// chains of objects and arrays cannot exhaust the C++ stack.

void Interpreter::Collect() {
    for (const Value& v : constants_) MarkValue(v);
    for (const Value& v : globals_) MarkValue(v);
    for (ClassRecord* cls : typeClasses_) MarkClass(cls);
    for (PinRecord* pin = firstPin_; pin; pin = pin->next) MarkValue(pin->value);
    for (size_t i = sp_; i < stack_.size(); ++i) MarkValue(stack_[i]);
    MarkValue(result_);
    MarkValue(thrown_);
    MarkFrames();
    while (!markQueue_.empty()) {
        const Value v = markQueue_.back();
        markQueue_.pop_back();
        Scan(v);
    }
    heap_.Sweep();
    ++collections_;
}

void Interpreter::MarkValue(const Value& value) {
    switch (value.tag) {
        case Tag::String: {
            // Most strings reach nothing beyond their own block: they need no visit.
            const StringRecord* string = value.AsString();
            if (string && heap_.Mark(value.payload.p) && (string->props || SeparateCharsBlock(string)))
                markQueue_.push_back(value);
            break;
        }
        case Tag::Array:
        case Tag::Object:
        case Tag::HostObject:
        case Tag::Function:
            if (value.payload.p && heap_.Mark(value.payload.p)) markQueue_.push_back(value);
            break;
        default: break;  // nothing on the heap
    }
}

void Interpreter::MarkObjectRecord(ObjectRecord* object) {
    if (object) MarkValue(Value::Object(object));
}

void Interpreter::MarkClass(ClassRecord* cls) {
    if (!cls || !heap_.Mark(cls)) return;
    MarkObjectRecord(cls->prototype);
}

void Interpreter::Scan(const Value& value) {
    switch (value.tag) {
        case Tag::String: {
            const StringRecord* string = value.AsString();
            if (const void* chars = SeparateCharsBlock(string)) MarkBlock(chars);
            MarkObjectRecord(string->props);
            break;
        }
        case Tag::Array: ScanArray(value.AsArray()); break;
        case Tag::Object: ScanObject(value.AsObject()); break;
        case Tag::HostObject: {
            HostRecord* host = value.AsHost();
            MarkClass(host->cls);
            MarkObjectRecord(host->props);
            if (host->cls && host->cls->MarkData && host->nativeData)
                host->cls->MarkData(*this, *host->cls, host->nativeData);
            break;
        }
        case Tag::Function: {
            FunctionRecord* function = value.AsFunction();
            if (CodeRecord* code = function->code; code && heap_.Mark(code)) {
                MarkBlock(code->code);
                MarkBlock(code->lines);
                if (code->sourceFile) MarkValue(Value::String(code->sourceFile));
            }
            MarkObjectRecord(function->props);
            break;
        }
        default: break;
    }
}

void Interpreter::MarkFrames() {
    for (const Frame& frame : frames_) {
        MarkValue(Value::Function(frame.function));
        if (WithScopes* scopes = frame.withScopes) {
            MarkBlock(scopes);
            for (uint32_t i = 0; i < scopes->count; ++i) MarkValue(WithCells(scopes)[i]);
        }
    }
}

void Interpreter::ScanArray(ArrayRecord* array) {
    ScanElements(*this, array);
    MarkObjectRecord(array->props);
}

void Interpreter::ScanObject(ObjectRecord* object) { ScanSlots(*this, object); }

}  // namespace velmo::script
